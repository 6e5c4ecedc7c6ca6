#pragma once

#include <QString>
#include <QStringList>

// A path of the files API: "/" is the workspace root, whose folders are the filespaces
// ("/Team"), and everything below lies inside one of them ("/Team/Projects/Plan.md").
class ServerPath {
public:
    // Throws ApiRefusal (400) for a path that is not absolute or holds an empty, ".", ".." or
    // NUL piece, so no path can name anything outside the filespaces.
    static ServerPath parse(const QString& text);

    bool isRoot() const { return pieces_.isEmpty(); }
    bool isFilespaceRoot() const { return pieces_.size() == 1; }
    QString filespace() const { return pieces_.value(0); }
    // Below the filespace folder; empty for the root and the filespace roots.
    QStringList inside() const { return pieces_.mid(1); }
    QString name() const { return pieces_.isEmpty() ? QString() : pieces_.last(); }
    ServerPath parent() const;
    // Whether this path is other or lies below it.
    bool isWithin(const ServerPath& other) const;
    QString text() const;

    bool operator==(const ServerPath&) const = default;

private:
    QStringList pieces_;
};
