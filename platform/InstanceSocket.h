#pragma once

#include <QJsonObject>
#include <QString>
#include <chrono>
#include <optional>

// The client side of the running instance's channel (one JSON line out, one JSON line back)
// for programs that do not link Qt Network. Blocking, within the limit.
namespace InstanceSocket {

// The reply, or nothing when no instance answered within the limit.
std::optional<QJsonObject> ask(const QString& socketPath, const QJsonObject& request,
                               std::chrono::milliseconds limit);

} // namespace InstanceSocket
