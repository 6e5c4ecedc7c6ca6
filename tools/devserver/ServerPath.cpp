#include "tools/devserver/ServerPath.h"

#include "tools/devserver/ApiRefusal.h"

ServerPath ServerPath::parse(const QString& text) {
    if (!text.startsWith('/'))
        throw ApiRefusal::badRequest("Invalid path (must start with /): " + text);
    ServerPath path;
    if (text == QLatin1String("/"))
        return path;
    for (const QString& piece : text.mid(1).split('/')) {
        if (piece.isEmpty() || piece == QLatin1String(".") || piece == QLatin1String("..") ||
            piece.contains(QChar(0)))
            throw ApiRefusal::badRequest("Invalid path: " + text);
        path.pieces_.append(piece);
    }
    return path;
}

ServerPath ServerPath::parent() const {
    ServerPath up = *this;
    if (!up.pieces_.isEmpty())
        up.pieces_.removeLast();
    return up;
}

bool ServerPath::isWithin(const ServerPath& other) const {
    return pieces_.size() >= other.pieces_.size() &&
           pieces_.mid(0, other.pieces_.size()) == other.pieces_;
}

QString ServerPath::text() const {
    return '/' + pieces_.join('/');
}
