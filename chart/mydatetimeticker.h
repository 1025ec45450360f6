// Date-and-time labels on an index axis: bar i sits at key i, so nights and
// weekends take no room, and each tick is labelled with its bar's time.
#pragma once

#include <QString>
#include <QVector>
#include <qcustomplot.h>

class MyDateTimeTicker : public QCPAxisTicker
{
public:
    MyDateTimeTicker();
    ~MyDateTimeTicker() override;

    void setDateTimeFormat(const QString &format);
    QString dateTimeFormat() const { return m_dateTimeFormat; }

    void appendTimestamp(double seconds);
    void appendTimestamps(const QVector<double> &seconds);
    void appendTimestamps(const QVector<qint64> &seconds);
    void setTimestamps(const QVector<double> &seconds);
    void setTimestamps(const QVector<qint64> &seconds);
    void clearTimestamps();
    // Reads the first `count` bar times from a column shared with the bars, instead of a copy of its own.
    void setBarTimes(const QVector<qint64> &seconds, int count);
    const QVector<double> &timestamps() const { return m_timestamps; }

    void setSubTickCount(int count);

    // Public so that the axis layout can be checked step by step; the library
    // reaches them through generate().
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;

private:
    // Continues from shared bar times in a list of its own.
    void ownTimes();
    int timeCount() const { return m_timestamps.isEmpty() ? m_barCount : m_timestamps.size(); }
    double timeAt(int i) const { return m_timestamps.isEmpty() ? double(m_barTimes.at(i)) : m_timestamps.at(i); }

    QVector<double> m_timestamps;
    QVector<qint64> m_barTimes;
    int m_barCount = 0;
    int m_subTickCount = 0;
    QString m_dateTimeFormat = QStringLiteral("hh:mm:ss\ndd.MM.yy");
};
