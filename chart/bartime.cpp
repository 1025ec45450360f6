#include "bartime.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr int kMonthly = 40000;
constexpr int kWeek = 10080;

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
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
    if (period == kWeek)
        return anchor + floorDiv(time - anchor, length) * length;
    const qint64 offset = server.offsetFromUtc(QDateTime::fromSecsSinceEpoch(time, Qt::UTC));
    return floorDiv(time + offset, length) * length - offset;
}
