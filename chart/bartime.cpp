#include "bartime.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

namespace {

constexpr int kMonthly = 40000;
constexpr int kWeek = 10080;

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The multiple of `length` at or below `time`; false when it lies outside the range.
bool floorMultiple(qint64 time, qint64 length, qint64 *multiple)
{
    return !__builtin_mul_overflow(floorDiv(time, length), length, multiple);
}

} // namespace

qint64 barStart(qint64 time, int period, qint64 anchor, const QTimeZone &zone)
{
    const QTimeZone server = zone.isValid() ? zone : QTimeZone::utc();
    if (period >= kMonthly) {
        const QDate date = QDateTime::fromSecsSinceEpoch(time, server).date();
        return QDateTime(QDate(date.year(), date.month(), 1), QTime(0, 0), server).toSecsSinceEpoch();
    }
    const qint64 length = qint64(std::max(period, 1)) * 60;
    // Server weeks begin on the broker's chosen day (often Sunday), not on the
    // epoch's Thursday, so the week grid is taken from a bar the server sent.
    // Times near the ends of the 64-bit range come only from a broken server; they
    // stay as they are rather than overflow.
    qint64 shifted = 0;
    qint64 grid = 0;
    qint64 start = 0;
    if (period == kWeek) {
        if (__builtin_sub_overflow(time, anchor, &shifted) || !floorMultiple(shifted, length, &grid)
            || __builtin_add_overflow(anchor, grid, &start))
            return time;
        return start;
    }
    const qint64 offset = server.offsetFromUtc(QDateTime::fromSecsSinceEpoch(time, Qt::UTC));
    if (__builtin_add_overflow(time, offset, &shifted) || !floorMultiple(shifted, length, &grid)
        || __builtin_sub_overflow(grid, offset, &start))
        return time;
    return start;
}

qint64 saturatedSeconds(double seconds)
{
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (seconds >= limit)
        return std::numeric_limits<qint64>::max();
    if (seconds > -limit)
        return qint64(seconds);
    return seconds == seconds ? std::numeric_limits<qint64>::min() : 0;
}
