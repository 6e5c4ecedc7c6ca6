#include "findersync/ShareLink.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace ShareLink {

namespace {

bool isAllowedInPath(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    static constexpr QByteArrayView kMarks("-._~!$&'()*+,:=@");
    return kMarks.contains(c);
}

} // namespace

QString encodePiece(const QByteArray& piece) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString encoded;
    encoded.reserve(piece.size() * 3);
    for (const char c : piece) {
        if (isAllowedInPath(c)) {
            encoded.append(QLatin1Char(c));
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        encoded.append(QLatin1Char('%'));
        encoded.append(QLatin1Char(kHex[byte >> 4]));
        encoded.append(QLatin1Char(kHex[byte & 0xF]));
    }
    return encoded;
}

QString linkFor(const QString& site, const QByteArray& pathInFilespace, bool isDirectory) {
    QStringList pieces;
    for (const QByteArray& piece : pathInFilespace.split('/')) {
        if (!piece.isEmpty())
            pieces.append(encodePiece(piece));
    }
    const QString kind = isDirectory ? QStringLiteral("/files") : QStringLiteral("/view");
    return site + kind + QLatin1Char('/') + pieces.join(QLatin1Char('/'));
}

QByteArray cleanAbsolute(const QByteArray& path) {
    const QByteArray absolute =
        path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path;
    QList<QByteArray> kept;
    for (const QByteArray& step : absolute.split('/')) {
        if (step.isEmpty() || step == ".")
            continue;
        if (step == "..") {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(step);
    }
    QByteArray clean;
    for (const QByteArray& step : kept)
        clean += '/' + step;
    return clean.isEmpty() ? QByteArray("/") : clean;
}

QByteArray pathFromArgument(const QByteArray& argument) {
    if (argument.startsWith("file://")) {
        QByteArray rest = argument.mid(7);
        // file://localhost/x and file:///x both name /x.
        if (rest.startsWith("localhost/"))
            rest = rest.mid(9);
        // Another host's file is nothing of ours.
        if (!rest.startsWith('/'))
            return {};
        return QByteArray::fromPercentEncoding(rest);
    }
    return argument;
}

} // namespace ShareLink
