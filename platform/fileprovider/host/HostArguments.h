#pragma once

#include "platform/fileprovider/host/HostSession.h"

#include <QFile>

// Argument and file helpers the host's commands share.
namespace HostArguments {

// The identifier a path argument names; nothing (and the usage error printed) otherwise.
std::optional<QString> identifier(HostSession& session, const QString& argument, int* exitCode);
// Like identifier(), but only for an item below the root (a server path).
std::optional<QString> itemPath(HostSession& session, const QString& argument, int* exitCode);
// The parent's identifier and the name of a server path.
QString parentIdentifierOf(const QString& path);
QString nameOf(const QString& path);
// Moves a file the extension handed over to where the command was told to put it.
bool moveFile(const QString& from, const QString& to, QString* error);
// The extension called a completion more than once.
int completedTwice(HostSession& session);

} // namespace HostArguments
