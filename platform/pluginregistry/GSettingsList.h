#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The text form of a GVariant string array as gsettings prints and reads it: ['a', 'b'] or
// @as [].
namespace GSettingsList {

std::optional<QStringList> parse(const QString& text);
QString format(const QStringList& items);

} // namespace GSettingsList
