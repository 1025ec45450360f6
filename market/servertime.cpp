#include "servertime.h"

#include <QDateTime>

namespace {

int leadingNumber(const QString &text, int position, int length)
{
    bool ok = false;
    const int value = text.mid(position, length).toInt(&ok, 10);
    return ok ? value : 0;
}

QDateTime inZone(qint64 seconds, const QTimeZone &zone)
{
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return zone.isValid() ? utc.toTimeZone(zone) : utc;
}

} // namespace

QTimeZone parseServerTimeZone(const QString &text)
{
    if (text.isEmpty())
        return QTimeZone::utc();
    const int hours = leadingNumber(text, 0, 3);
    const int minutes = leadingNumber(text, 4, 2);
    int offset = qAbs(hours) * 3600 + minutes * 60;
    if (text.startsWith(QLatin1Char('-')))
        offset = -offset;
    const QTimeZone zone(offset);
    return zone.isValid() ? zone : QTimeZone::utc();
}

QString formatDateTime(qint64 seconds, const QTimeZone &zone)
{
    return inZone(seconds, zone).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString formatTime(qint64 seconds, const QTimeZone &zone)
{
    return inZone(seconds, zone).toString(QStringLiteral("HH:mm:ss"));
}

std::pair<qint64, qint64> tradeHistoryRange(int days, const QDate &today)
{
    // startOfDay copes with zones whose clocks skip midnight.
    const qint64 from = today.addDays(days).startOfDay(Qt::LocalTime).toSecsSinceEpoch();
    const qint64 to = today.addDays(1).startOfDay(Qt::LocalTime).toSecsSinceEpoch();
    return {from, to};
}
