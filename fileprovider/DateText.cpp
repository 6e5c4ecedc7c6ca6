#include "fileprovider/DateText.h"

namespace DateText {

namespace {

constexpr qint64 kMsPerDay = 86'400'000;
// 0000-01-01T00:00:00Z and 9999-12-31T23:59:59Z, the range the written form holds.
constexpr qint64 kFirstSecond = -62'167'219'200;
constexpr qint64 kLastSecond = 253'402'300'799;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 z, qint64& y, unsigned& m, unsigned& d) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = qint64(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool isLeap(qint64 y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(qint64 y, unsigned m) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

char16_t codeAt(QStringView text, qsizetype i) {
    return text[i].unicode();
}

char16_t codeAt(QByteArrayView text, qsizetype i) {
    return static_cast<unsigned char>(text[i]);
}

// The number in text[at, at + count) when every character there is a digit.
template <typename View> std::optional<unsigned> digits(View text, qsizetype at, qsizetype count) {
    if (at + count > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = codeAt(text, i);
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + unsigned(c - u'0');
    }
    return value;
}

template <typename View> bool is(View text, qsizetype at, char16_t c) {
    return at < text.size() && codeAt(text, at) == c;
}

void appendDigits(QByteArray& out, qint64 value, int width) {
    char buffer[8];
    for (int i = width - 1; i >= 0; --i) {
        buffer[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(buffer, width);
}

template <typename View> std::optional<qint64> parseAny(View text) {
    const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2),
               hour = digits(text, 11, 2), minute = digits(text, 14, 2),
               second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || !is(text, 4, u'-') ||
        !is(text, 7, u'-') || !is(text, 10, u'T') || !is(text, 13, u':') || !is(text, 16, u':'))
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59)
        return std::nullopt;
    qsizetype at = 19;
    qint64 millis = 0;
    if (is(text, at, u'.')) {
        ++at;
        const qsizetype start = at;
        int scale = 100;
        while (at < text.size() && codeAt(text, at) >= u'0' && codeAt(text, at) <= u'9') {
            millis += scale * (codeAt(text, at) - u'0');
            scale /= 10;
            ++at;
        }
        if (at == start)
            return std::nullopt;
    }
    qint64 offsetMinutes = 0;
    if (is(text, at, u'Z')) {
        ++at;
    } else if (is(text, at, u'+') || is(text, at, u'-')) {
        const bool east = is(text, at, u'+');
        const auto oh = digits(text, at + 1, 2);
        const bool colon = is(text, at + 3, u':');
        const auto om = digits(text, at + (colon ? 4 : 3), 2);
        if (!oh || !om || *oh > 23 || *om > 59)
            return std::nullopt;
        offsetMinutes = (east ? 1 : -1) * qint64(*oh * 60 + *om);
        at += colon ? 6 : 5;
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    const qint64 seconds =
        ((daysFromCivil(*year, *month, *day) * 24 + *hour) * 60 + *minute - offsetMinutes) * 60 +
        *second;
    // An offset can carry the time past the years four digits hold ("9999-12-31T23:59:59-01:00");
    // such a date could not be written back, so the listing cache would see it change each time.
    if (seconds < kFirstSecond || seconds > kLastSecond)
        return std::nullopt;
    return seconds * 1000 + millis;
}

} // namespace

std::optional<qint64> parse(QStringView text) {
    return parseAny(text);
}

std::optional<qint64> parse(QByteArrayView text) {
    return parseAny(text);
}

void appendSeconds(QByteArray& out, qint64 msecsSinceEpoch) {
    qint64 days = msecsSinceEpoch / kMsPerDay;
    qint64 rest = msecsSinceEpoch % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    qint64 y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    const qint64 secondOfDay = rest / 1000;
    appendDigits(out, y, 4);
    out.append('-');
    appendDigits(out, m, 2);
    out.append('-');
    appendDigits(out, d, 2);
    out.append('T');
    appendDigits(out, secondOfDay / 3600, 2);
    out.append(':');
    appendDigits(out, secondOfDay / 60 % 60, 2);
    out.append(':');
    appendDigits(out, secondOfDay % 60, 2);
    out.append('Z');
}

} // namespace DateText
