#include "app/activity/StatsParser.h"

#include "app/activity/SaturatingMath.h"

#include <QByteArray>
#include <QStringTokenizer>
#include <charconv>
#include <cmath>

namespace {

// 2^63 as a double: the first value a signed 64-bit integer cannot hold.
constexpr double kTwoTo63 = 9223372036854775808.0;

bool isSpaceOrTab(QChar c) {
    return c == ' ' || c == '\t';
}

QStringView trimSpacesAndTabs(QStringView s) {
    while (!s.isEmpty() && isSpaceOrTab(s.front()))
        s = s.mid(1);
    while (!s.isEmpty() && isSpaceOrTab(s.back()))
        s.chop(1);
    return s;
}

// Splits at the first space after any leading spaces; false unless both pieces are non-empty.
bool splitPair(QStringView line, QStringView& name, QStringView& value) {
    qsizetype start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    const qsizetype space = line.indexOf(' ', start);
    if (space < 0 || space + 1 >= line.size())
        return false;
    name = line.mid(start, space - start);
    value = line.mid(space + 1);
    return true;
}

void apply(StatsSample& sample, QStringView name, qint64 value) {
    if (name == u"juicefs_object_request_uploading")
        sample.uploading = SaturatingMath::add(sample.uploading, value);
    else if (name == u"juicefs_staging_blocks")
        sample.stagingBlocks = SaturatingMath::add(sample.stagingBlocks, value);
    else if (name == u"juicefs_staging_writing_blocks")
        sample.stagingWritingBlocks = SaturatingMath::add(sample.stagingWritingBlocks, value);
    else if (name == u"juicefs_staging_block_bytes")
        sample.stagingBlockBytes = SaturatingMath::add(sample.stagingBlockBytes, value);
    else if (name == u"juicefs_object_request_data_bytes_PUT")
        sample.putBytes = SaturatingMath::add(sample.putBytes, value);
    else if (name == u"juicefs_blockcache_miss_bytes")
        sample.blockcacheMissBytes = value;
}

} // namespace

qint64 StatsParser::parseValue(QStringView value) {
    const QByteArray bytes = value.toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    // from_chars takes no plus sign; the text form of a number may carry one.
    if (begin != end && *begin == '+' && end - begin > 1 && *(begin + 1) != '-')
        ++begin;
    qint64 integer = 0;
    auto [intEnd, intError] = std::from_chars(begin, end, integer);
    if (intError == std::errc() && intEnd == end)
        return integer;
    double real = 0;
    auto [realEnd, realError] = std::from_chars(begin, end, real);
    if (realError != std::errc() || realEnd != end || begin == end)
        return 0;
    if (!std::isfinite(real) || real >= kTwoTo63 || real < -kTwoTo63)
        return 0;
    return static_cast<qint64>(real);
}

StatsSample StatsParser::parse(QStringView text) {
    StatsSample sample;
    for (QStringView line : text.tokenize(u'\n', Qt::SkipEmptyParts)) {
        QStringView name, value;
        if (!splitPair(line, name, value))
            continue;
        apply(sample, name, parseValue(trimSpacesAndTabs(value)));
    }
    return sample;
}
