// Unix seconds as "yyyy-MM-dd HH:mm:ss" in the trade server's zone, for tables that
// show tens of thousands of them: the same text as formatDateTime, without a
// QDateTime and a format parsed per cell when the zone keeps one offset.
#pragma once

#include <QString>
#include <QTimeZone>

class DateTimeTexts
{
public:
    explicit DateTimeTexts(const QTimeZone &zone);

    QString operator()(qint64 seconds) const;

private:
    QTimeZone m_zone;
    qint64 m_offset = 0;
    bool m_fixed = false;
};
