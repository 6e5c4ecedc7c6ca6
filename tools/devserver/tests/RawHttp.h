#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sends bytes exactly as given (no client tidies the path or the framing) and returns what
// the server answers before it closes the connection.
namespace RawHttp {

QByteArray exchange(quint16 port, const QByteArray& request);

// The status code of a raw answer's first line; 0 when there is none.
int statusOf(const QByteArray& answer);

} // namespace RawHttp
