#pragma once

#include "app/activity/StatsSample.h"

#include <QStringView>

// Reads the text of a JuiceFS .stats file: one "name value" pair per line; unknown names,
// lines without a value and values that are not numbers are harmless.
class StatsParser {
public:
    static StatsSample parse(QStringView text);
    // A decimal number truncated toward zero. Anything that is not a finite number within the
    // signed 64-bit range (text, NaN, infinities, 2^63 and beyond) counts as 0.
    static qint64 parseValue(QStringView value);
};
