#include "platform/SafeIniFormat.h"

#include "platform/Logging.h"

#include <QDataStream>
#include <QFile>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <optional>

namespace SafeIniFormat {

namespace {

bool isIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int octalValue(char c) {
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

struct Line {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype equals = -1; // offset of the first unquoted "=" in the data, or -1
};

// The next logical line from `pos`. A ";" at a line's start makes the line a comment; a
// backslash escapes the next character (a line break too); a quoted part may hold line breaks,
// "=" and ";".
std::optional<Line> nextLine(QByteArrayView data, qsizetype& pos) {
    Line line;
    qsizetype i = pos;
    while (i < data.size() && isIniSpace(data[i]))
        ++i;
    line.start = i;
    bool quoted = false;
    while (i < data.size()) {
        const char c = data[i++];
        if (c == '=') {
            if (!quoted && line.equals < 0)
                line.equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == line.start + 1) {
                ++line.start;
            } else if (!quoted) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < data.size()) {
                const char escaped = data[i++];
                if (i < data.size()) {
                    const char after = data[i];
                    if ((escaped == '\n' && after == '\r') || (escaped == '\r' && after == '\n'))
                        ++i;
                }
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';') {
            if (i == line.start + 1) {
                while (i < data.size() && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < data.size() && isIniSpace(data[i]))
                    ++i;
                line.start = i;
            } else if (!quoted) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.length = i - line.start;
    if (line.length <= 0)
        return std::nullopt;
    return line;
}

// Keys: "\" stands for "/", "%XX" and "%UXXXX" for any other character.
QString unescapeKey(QByteArrayView raw) {
    const QString text = QString::fromUtf8(raw);
    QString key;
    key.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\\') {
            key += u'/';
            ++i;
            continue;
        }
        if (c != u'%' || i == text.size() - 1) {
            key += c;
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        qsizetype digits = 2;
        if (text[first] == u'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort code = first + digits <= text.size()
                                ? QStringView(text).mid(first, digits).toUShort(&ok, 16)
                                : 0;
        if (!ok) {
            key += u'%';
            ++i;
            continue;
        }
        key += QChar(code);
        i = first + digits;
    }
    return key;
}

struct Value {
    QString text;
    QStringList list;
    bool isList = false;
};

void chopTrailingBlanks(QString& text, qsizetype limit) {
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
}

// Values: C-like escapes, quoted parts, and "," between the items of a list. Blanks around an
// unquoted item are dropped; escaped or quoted blanks stay.
Value unescapeValue(QByteArrayView raw) {
    static constexpr char kSimpleEscapes[][2] = {
        {'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
        {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    Value out;
    QString current;
    bool inQuotes = false;
    bool currentQuoted = false;
    qsizetype keepFrom = 0; // trailing blanks before this offset are part of the text
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
    };
    skipBlanks();
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= raw.size())
                break;
            const char e = raw[i++];
            bool simple = false;
            for (const auto& [name, value] : kSimpleEscapes)
                if (e == name) {
                    current += QLatin1Char(value);
                    simple = true;
                    break;
                }
            if (simple) {
            } else if (e == 'x') {
                if (i < raw.size() && hexValue(raw[i]) >= 0) {
                    char16_t code = 0;
                    while (i < raw.size() && hexValue(raw[i]) >= 0)
                        code = char16_t((code << 4) + hexValue(raw[i++]));
                    current += QChar(code);
                }
            } else if (octalValue(e) >= 0) {
                char16_t code = char16_t(octalValue(e));
                while (i < raw.size() && octalValue(raw[i]) >= 0)
                    code = char16_t((code << 3) + octalValue(raw[i++]));
                current += QChar(code);
            } else if (e == '\n' || e == '\r') {
                if (i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e)
                    ++i;
            }
            keepFrom = current.size();
            continue;
        }
        if (c == '"') {
            ++i;
            currentQuoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keepFrom = current.size();
            }
            continue;
        }
        if (c == ',' && !inQuotes) {
            if (!currentQuoted)
                chopTrailingBlanks(current, keepFrom);
            out.isList = true;
            out.list.append(current);
            current.clear();
            currentQuoted = false;
            ++i;
            skipBlanks();
            keepFrom = 0;
            continue;
        }
        qsizetype j = i + 1;
        while (j < raw.size() && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',')
            ++j;
        current += QString::fromUtf8(raw.sliced(i, j - i));
        i = j;
    }
    if (!currentQuoted)
        chopTrailingBlanks(current, keepFrom);
    if (out.isList)
        out.list.append(current);
    else
        out.text = current;
    return out;
}

// The types whose QDataStream readers allocate no more than the input holds.
bool isBoundedStreamType(quint32 type) {
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QChar:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return true;
    default:
        return false;
    }
}

QVariant streamedValue(const QString& text, qsizetype offset, QDataStream::Version version) {
    const QByteArray bytes = QStringView(text).sliced(offset).toLatin1();
    const quint32 type = bytes.size() >= 4 ? qFromBigEndian<quint32>(bytes.constData()) : 0;
    if (!isBoundedStreamType(type)) {
        static std::atomic_bool warned = false;
        if (!warned.exchange(true))
            qCWarning(lcPlatform) << "ignoring a stored value of streamed type" << type;
        return {};
    }
    QDataStream stream(bytes);
    stream.setVersion(version);
    QVariant value;
    stream >> value;
    return stream.status() == QDataStream::Ok ? value : QVariant();
}

QList<int> geometryArgs(const QString& text, qsizetype open) {
    QList<int> args;
    const QStringView inner = QStringView(text).sliced(open + 1).chopped(1);
    for (const QStringView part : inner.split(u' '))
        args.append(part.toInt());
    return args;
}

QVariant toVariant(const QString& s) {
    if (!s.startsWith(u'@'))
        return s;
    if (s.endsWith(u')')) {
        if (s.startsWith(QLatin1String("@ByteArray(")))
            return QStringView(s).sliced(11).chopped(1).toLatin1();
        if (s.startsWith(QLatin1String("@String(")))
            return QStringView(s).sliced(8).chopped(1).toString();
        if (s.startsWith(QLatin1String("@Variant(")))
            return streamedValue(s, 9, QDataStream::Qt_4_0);
        if (s.startsWith(QLatin1String("@DateTime(")))
            return streamedValue(s, 10, QDataStream::Qt_5_6);
        if (s.startsWith(QLatin1String("@Rect("))) {
            const QList<int> a = geometryArgs(s, 5);
            if (a.size() == 4)
                return QRect(a[0], a[1], a[2], a[3]);
        } else if (s.startsWith(QLatin1String("@Size("))) {
            const QList<int> a = geometryArgs(s, 5);
            if (a.size() == 2)
                return QSize(a[0], a[1]);
        } else if (s.startsWith(QLatin1String("@Point("))) {
            const QList<int> a = geometryArgs(s, 6);
            if (a.size() == 2)
                return QPoint(a[0], a[1]);
        } else if (s == QLatin1String("@Invalid()")) {
            return {};
        }
    }
    if (s.startsWith(QLatin1String("@@")))
        return s.sliced(1);
    return s;
}

// A list of plain strings stays a string list; one holding any "@" value becomes a list of
// values.
QVariant listToVariant(const QStringList& items) {
    QStringList plain = items;
    for (QString& item : plain) {
        if (!item.startsWith(u'@'))
            continue;
        if (item.size() < 2 || item[1] != u'@') {
            QVariantList values;
            for (const QString& each : items)
                values.append(toVariant(each));
            return values;
        }
        item.remove(0, 1);
    }
    return plain;
}

QString sectionName(QByteArrayView line) {
    qsizetype close = line.indexOf(']');
    if (close < 0)
        close = line.size();
    const QByteArrayView name = line.first(close).sliced(1).trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return {};
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.sliced(1)) + u'/';
    return unescapeKey(name) + u'/';
}

} // namespace

// Always true: a line that does not parse is skipped, as Qt does, but reporting it would hide a
// later write's failure behind QSettings' first status.
bool read(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) {
        qCWarning(lcPlatform) << "ignoring a settings file larger than" << kMaxFileBytes << "bytes";
        return true;
    }
    QByteArrayView data(bytes);
    if (data.startsWith("\xef\xbb\xbf"))
        data = data.sliced(3);

    QString section;
    qsizetype pos = 0;
    while (const std::optional<Line> found = nextLine(data, pos)) {
        const QByteArrayView line = data.sliced(found->start, found->length);
        if (line.startsWith('[')) {
            section = sectionName(line);
            continue;
        }
        if (found->equals < 0)
            continue;
        const qsizetype equals = found->equals - found->start;
        const QString key = section + unescapeKey(line.first(equals).trimmed());
        const Value value = unescapeValue(line.sliced(equals + 1));
        map.insert(key, value.isList ? listToVariant(value.list) : toVariant(value.text));
    }
    return true;
}

bool write(QIODevice& device, const QSettings::SettingsMap& map) {
    // Qt's INI writer, on a scratch file nothing else reads: its escaping stays the reference.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    const QString path = scratch.filePath(QStringLiteral("defaults.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            ini.setValue(it.key(), it.value());
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    QFile written(path);
    if (!written.exists())
        return true;
    if (!written.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = written.readAll();
    return device.write(bytes) == bytes.size();
}

QSettings::Format format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("conf"), &read, &write);
    return registered;
}

} // namespace SafeIniFormat
