#pragma once

#include <QtGlobal>
#include <limits>

// Counters come from files another program writes; sums and differences of extreme values
// stop at the 64-bit limits instead of overflowing.
namespace SaturatingMath {

inline qint64 add(qint64 a, qint64 b) {
    qint64 result = 0;
    if (!__builtin_add_overflow(a, b, &result))
        return result;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

inline qint64 subtract(qint64 a, qint64 b) {
    qint64 result = 0;
    if (!__builtin_sub_overflow(a, b, &result))
        return result;
    return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

} // namespace SaturatingMath
