#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <ostream>

// Readable failure messages for Qt values in these tests.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(", ").toStdString() << ']';
}
inline void PrintTo(const QUrl& url, std::ostream* os) {
    *os << '<' << url.toString().toStdString() << '>';
}
