// The trade server's time zone and the time arithmetic around it.
#pragma once

#include <QDate>
#include <QString>
#include <QTimeZone>
#include <utility>

// "+05:30" -> 19800 s east of UTC; empty -> UTC. An offset that no fixed-offset zone
// accepts gives UTC rather than an invalid zone.
QTimeZone parseServerTimeZone(const QString &text);

// Unix seconds shown in the zone; an invalid zone (before the first login) shows UTC.
QString formatDateTime(qint64 seconds, const QTimeZone &zone);
QString formatTime(qint64 seconds, const QTimeZone &zone);

// The trade-history window for `days` relative to `today`: from 00:00 local time of
// today + days to 00:00 local time of tomorrow, as Unix seconds.
std::pair<qint64, qint64> tradeHistoryRange(int days, const QDate &today = QDate::currentDate());
