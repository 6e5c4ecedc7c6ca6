#pragma once

#include <QByteArray>
#include <QString>

// Text rules of the web links, apart from any file system.
namespace ShareLink {

// One path piece percent-encoded byte by byte, keeping only the characters a URL path allows
// unencoded (letters, digits and -._~!$&'()*+,:=@).
QString encodePiece(const QByteArray& piece);

// site + "/files/" (a folder) or "/view/" (anything else) + every piece of the path inside the
// filespace, each encoded.
QString linkFor(const QString& site, const QByteArray& pathInFilespace, bool isDirectory);

// An absolute path with "." and ".." steps and doubled slashes resolved by text alone (a
// relative one is taken from the working folder first).
QByteArray cleanAbsolute(const QByteArray& path);

// What the file manager passed: a local path, or a file:// URI (decoded); empty for a URI of
// another host.
QByteArray pathFromArgument(const QByteArray& argument);

} // namespace ShareLink
