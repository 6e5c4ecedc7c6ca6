#include "tools/devserver/tests/RawHttp.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

namespace RawHttp {

namespace {

constexpr int kDeadlineMs = 20'000;

// True once the answer holds its headers and as many body bytes as they announce; the server
// may keep the connection open after that.
bool isComplete(const QByteArray& answer) {
    const qsizetype headerEnd = answer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QByteArray headers = answer.left(headerEnd).toLower();
    const qsizetype field = headers.indexOf("\r\ncontent-length:");
    if (field < 0)
        return false;
    const qsizetype valueStart = field + qsizetype(sizeof "\r\ncontent-length:") - 1;
    const qsizetype lineEnd = headers.indexOf("\r\n", valueStart);
    const qint64 length =
        headers.mid(valueStart, lineEnd < 0 ? -1 : lineEnd - valueStart).trimmed().toLongLong();
    return answer.size() - (headerEnd + 4) >= length;
}

} // namespace

QByteArray exchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kDeadlineMs))
        return {};
    socket.write(request);
    socket.waitForBytesWritten(kDeadlineMs);
    QByteArray answer;
    const QDeadlineTimer deadline(kDeadlineMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !isComplete(answer) &&
           !deadline.hasExpired()) {
        socket.waitForReadyRead(int(deadline.remainingTime()));
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

int statusOf(const QByteArray& answer) {
    const QList<QByteArray> words = answer.left(answer.indexOf('\r')).split(' ');
    return words.size() >= 2 && words[0].startsWith("HTTP/") ? words[1].toInt() : 0;
}

} // namespace RawHttp
