#include "platform/SystemInfo.h"

#include <QFile>
#include <sys/utsname.h>

namespace SystemInfo {

namespace {

// A value of os-release: KEY=VALUE, the value optionally in single or double quotes with
// backslash escapes.
QString unquote(QString value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
        QString out;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == u'\\' && i + 1 < value.size())
                ++i;
            out += value[i];
        }
        return out;
    }
    return value;
}

} // namespace

QString osPrettyName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith("PRETTY_NAME="))
                return unquote(QString::fromUtf8(line.mid(12)).trimmed());
    }
    return QStringLiteral("Linux");
}

QString machine() {
    utsname name{};
    if (::uname(&name) != 0)
        return QStringLiteral("?");
    return QString::fromLocal8Bit(name.machine);
}

} // namespace SystemInfo
