#pragma once

#include <QString>

// `kelvane kelvane://…` without a desktop session: hands the link to the running instance.
namespace OpenLinkCommand {
int run(const QString& link);
} // namespace OpenLinkCommand
