#include "fileprovider/JsonScanner.h"

#include "shared/JsonReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

JsonScanner::JsonScanner(const QByteArray& text)
    : begin_(text.constData()), at_(text.constData()), end_(text.constData() + text.size()) {}

void JsonScanner::fail(const char* what) const {
    throw DecodingError(QStringLiteral("the data is not valid JSON (%1 at offset %2)")
                            .arg(QLatin1String(what))
                            .arg(at_ - begin_));
}

void JsonScanner::skipSpace() {
    while (at_ < end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t'))
        ++at_;
}

char JsonScanner::next() {
    skipSpace();
    if (at_ >= end_)
        fail("unexpected end");
    return *at_;
}

void JsonScanner::expect(char c) {
    if (next() != c)
        fail("unexpected character");
    ++at_;
}

JsonScanner::Kind JsonScanner::peek() {
    switch (next()) {
    case '{':
        return Kind::object;
    case '[':
        return Kind::array;
    case '"':
        return Kind::string;
    case 't':
    case 'f':
        return Kind::boolean;
    case 'n':
        return Kind::null;
    default:
        if (*at_ == '-' || (*at_ >= '0' && *at_ <= '9'))
            return Kind::number;
        fail("unexpected character");
    }
}

QString JsonScanner::nameOf(Kind kind) {
    switch (kind) {
    case Kind::object:
        return QStringLiteral("an object");
    case Kind::array:
        return QStringLiteral("an array");
    case Kind::string:
        return QStringLiteral("a string");
    case Kind::number:
        return QStringLiteral("a number");
    case Kind::boolean:
        return QStringLiteral("a boolean");
    case Kind::null:
        break;
    }
    return QStringLiteral("null");
}

void JsonScanner::readObject(const std::function<void(QByteArrayView key)>& member) {
    expect('{');
    if (next() == '}') {
        ++at_;
        return;
    }
    QByteArray key;
    while (true) {
        if (next() != '"')
            fail("expected a key");
        key.clear();
        readStringInto(key);
        expect(':');
        member(key);
        const char c = next();
        ++at_;
        if (c == '}')
            return;
        if (c != ',')
            fail("expected , or }");
    }
}

void JsonScanner::readArray(const std::function<void()>& element) {
    expect('[');
    if (next() == ']') {
        ++at_;
        return;
    }
    while (true) {
        element();
        const char c = next();
        ++at_;
        if (c == ']')
            return;
        if (c != ',')
            fail("expected , or ]");
    }
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void JsonScanner::readStringInto(QByteArray& out) {
    expect('"');
    while (true) {
        const char* run = at_;
        while (at_ < end_ && *at_ != '"' && *at_ != '\\' &&
               static_cast<unsigned char>(*at_) >= 0x20)
            ++at_;
        out.append(run, at_ - run);
        if (at_ >= end_)
            fail("unterminated string");
        const char c = *at_++;
        if (c == '"')
            return;
        if (c != '\\')
            fail("control character in string");
        if (at_ >= end_)
            fail("unterminated string");
        const char e = *at_++;
        switch (e) {
        case '"':
        case '\\':
        case '/':
            out.append(e);
            break;
        case 'b':
            out.append('\b');
            break;
        case 'f':
            out.append('\f');
            break;
        case 'n':
            out.append('\n');
            break;
        case 'r':
            out.append('\r');
            break;
        case 't':
            out.append('\t');
            break;
        case 'u': {
            const auto hex4 = [this]() {
                if (end_ - at_ < 4)
                    fail("short \\u escape");
                int v = 0;
                for (int i = 0; i < 4; ++i) {
                    const int h = hexValue(*at_++);
                    if (h < 0)
                        fail("bad \\u escape");
                    v = v * 16 + h;
                }
                return char32_t(v);
            };
            char32_t code = hex4();
            if (code >= 0xD800 && code <= 0xDBFF) {
                if (end_ - at_ >= 6 && at_[0] == '\\' && at_[1] == 'u') {
                    at_ += 2;
                    const char32_t low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        fail("bad surrogate pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else {
                    code = 0xFFFD;
                }
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                code = 0xFFFD;
            }
            out.append(QString::fromUcs4(&code, 1).toUtf8());
            break;
        }
        default:
            fail("bad escape");
        }
    }
}

QString JsonScanner::readString() {
    return QString::fromUtf8(readStringBytes());
}

QByteArray JsonScanner::readStringBytes() {
    QByteArray bytes;
    readStringInto(bytes);
    return bytes;
}

void JsonScanner::skipNumber() {
    const char* start = at_;
    if (at_ < end_ && *at_ == '-')
        ++at_;
    const char* digits = at_;
    while (at_ < end_ && *at_ >= '0' && *at_ <= '9')
        ++at_;
    if (at_ == digits || (*digits == '0' && at_ - digits > 1))
        fail("bad number");
    if (at_ < end_ && *at_ == '.') {
        const char* fraction = ++at_;
        while (at_ < end_ && *at_ >= '0' && *at_ <= '9')
            ++at_;
        if (at_ == fraction)
            fail("bad number");
    }
    if (at_ < end_ && (*at_ == 'e' || *at_ == 'E')) {
        ++at_;
        if (at_ < end_ && (*at_ == '+' || *at_ == '-'))
            ++at_;
        const char* exponent = at_;
        while (at_ < end_ && *at_ >= '0' && *at_ <= '9')
            ++at_;
        if (at_ == exponent)
            fail("bad number");
    }
    (void)start;
}

std::optional<qint64> JsonScanner::readInteger() {
    if (peek() != Kind::number)
        fail("expected a number");
    const char* start = at_;
    skipNumber();
    qint64 value = 0;
    const auto [end, error] = std::from_chars(start, at_, value);
    if (error == std::errc() && end == at_)
        return value;
    // A fraction or exponent may still name a whole number, as a general reader accepts.
    double d = 0;
    const auto [dend, derror] = std::from_chars(start, at_, d);
    if (derror != std::errc() || dend != at_ || d != std::floor(d) || d < -9.2233720368547758e18 ||
        d >= 9.2233720368547758e18)
        return std::nullopt;
    return qint64(d);
}

void JsonScanner::skipLiteral(const char* word) {
    const size_t n = std::strlen(word);
    if (size_t(end_ - at_) < n || std::memcmp(at_, word, n) != 0)
        fail("unexpected word");
    at_ += n;
}

void JsonScanner::skipValue() {
    switch (peek()) {
    case Kind::object:
        readObject([this](QByteArrayView) { skipValue(); });
        break;
    case Kind::array:
        readArray([this] { skipValue(); });
        break;
    case Kind::string: {
        QByteArray ignored;
        readStringInto(ignored);
        break;
    }
    case Kind::number:
        skipNumber();
        break;
    case Kind::boolean:
        skipLiteral(*at_ == 't' ? "true" : "false");
        break;
    case Kind::null:
        skipLiteral("null");
        break;
    }
}

void JsonScanner::expectEnd() {
    skipSpace();
    if (at_ != end_)
        fail("garbage after the document");
}

void JsonScanner::missingKey(const QString& record, const char* key) {
    throw DecodingError(record + QStringLiteral(": key \"%1\" not found").arg(QLatin1String(key)));
}

void JsonScanner::wrongType(const QString& record, const char* key, const char* expected,
                            Kind found) {
    throw DecodingError(record +
                        QStringLiteral(": key \"%1\": expected %2, found %3")
                            .arg(QLatin1String(key), QLatin1String(expected), nameOf(found)));
}
