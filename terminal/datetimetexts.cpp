#include "datetimetexts.h"

#include "servertime.h"

#include <QDate>

namespace {

constexpr qint64 secondsPerDay = 86400;
constexpr qint64 unixEpochJulianDay = 2440588;
// Past this, years leave four digits and the general path formats them.
constexpr qint64 maxSeconds = qint64(1) << 40;

void putDigits(QChar *at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        at[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
}

} // namespace

DateTimeTexts::DateTimeTexts(const QTimeZone &zone)
    : m_zone(zone)
{
    // An invalid zone shows UTC; a zone of one fixed offset has no transitions.
    if (!zone.isValid()) {
        m_fixed = true;
    } else if (!zone.hasTransitions() && !zone.hasDaylightTime()) {
        m_fixed = true;
        m_offset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    }
}

QString DateTimeTexts::operator()(qint64 seconds) const
{
    if (!m_fixed || seconds > maxSeconds || seconds < -maxSeconds)
        return formatDateTime(seconds, m_zone);
    const qint64 local = seconds + m_offset;
    qint64 days = local / secondsPerDay;
    qint64 rest = local % secondsPerDay;
    if (rest < 0) {
        rest += secondsPerDay;
        --days;
    }
    const QDate date = QDate::fromJulianDay(unixEpochJulianDay + days);
    if (!date.isValid() || date.year() < 1000 || date.year() > 9999)
        return formatDateTime(seconds, m_zone);
    QString text(19, Qt::Uninitialized);
    QChar *at = text.data();
    putDigits(at, date.year(), 4);
    at[4] = QLatin1Char('-');
    putDigits(at + 5, date.month(), 2);
    at[7] = QLatin1Char('-');
    putDigits(at + 8, date.day(), 2);
    at[10] = QLatin1Char(' ');
    putDigits(at + 11, int(rest / 3600), 2);
    at[13] = QLatin1Char(':');
    putDigits(at + 14, int(rest / 60 % 60), 2);
    at[16] = QLatin1Char(':');
    putDigits(at + 17, int(rest % 60), 2);
    return text;
}
