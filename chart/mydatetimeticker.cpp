#include "mydatetimeticker.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {

// Steps in bars; on a minute chart these read as minutes, hours, days, a week
// and a month.
const QVector<double> &stepLadder()
{
    static const QVector<double> ladder{1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 5760, 10080, 43830};
    return ladder;
}

constexpr double minutesPerYear = 525960;
constexpr double yearStepThreshold = 3681720;

} // namespace

MyDateTimeTicker::MyDateTimeTicker()
{
    setTickCount(5);
}

MyDateTimeTicker::~MyDateTimeTicker() = default;

void MyDateTimeTicker::setDateTimeFormat(const QString &format)
{
    m_dateTimeFormat = format;
}

void MyDateTimeTicker::ownTimes()
{
    if (m_barTimes.isEmpty())
        return;
    m_timestamps.reserve(m_barCount);
    for (int i = 0; i < m_barCount; ++i)
        m_timestamps.append(double(m_barTimes.at(i)));
    m_barTimes = QVector<qint64>();
    m_barCount = 0;
}

void MyDateTimeTicker::appendTimestamp(double seconds)
{
    ownTimes();
    m_timestamps.append(seconds);
}

void MyDateTimeTicker::appendTimestamps(const QVector<double> &seconds)
{
    ownTimes();
    m_timestamps += seconds;
}

void MyDateTimeTicker::appendTimestamps(const QVector<qint64> &seconds)
{
    ownTimes();
    m_timestamps.reserve(m_timestamps.size() + seconds.size());
    for (const qint64 s : seconds)
        m_timestamps.append(double(s));
}

void MyDateTimeTicker::setTimestamps(const QVector<double> &seconds)
{
    m_barTimes = QVector<qint64>();
    m_barCount = 0;
    m_timestamps = seconds;
}

void MyDateTimeTicker::setTimestamps(const QVector<qint64> &seconds)
{
    m_barTimes = QVector<qint64>();
    m_barCount = 0;
    m_timestamps.clear();
    appendTimestamps(seconds);
}

void MyDateTimeTicker::clearTimestamps()
{
    // Assigned rather than cleared: clearing a vector still shared copies it first.
    m_timestamps = QVector<double>();
    m_barTimes = QVector<qint64>();
    m_barCount = 0;
}

void MyDateTimeTicker::setBarTimes(const QVector<qint64> &seconds, int count)
{
    m_timestamps = QVector<double>();
    m_barTimes = seconds;
    m_barCount = std::clamp(count, 0, seconds.size());
}

void MyDateTimeTicker::setSubTickCount(int count)
{
    m_subTickCount = count;
}

double MyDateTimeTicker::getTickStep(const QCPRange &range)
{
    const double raw = (range.upper - range.lower) / (tickCount() + 1e-10);
    if (raw < 1)
        return cleanMantissa(raw);
    if (raw < yearStepThreshold)
        return pickClosest(raw, stepLadder());
    return cleanMantissa(raw / minutesPerYear) * minutesPerYear;
}

int MyDateTimeTicker::getSubTickCount(double tickStep)
{
    Q_UNUSED(tickStep)
    return m_subTickCount;
}

QString MyDateTimeTicker::getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision)
{
    Q_UNUSED(locale)
    Q_UNUSED(formatChar)
    Q_UNUSED(precision)
    // Compared as a double first: a far-off or NaN tick must not reach the int conversion.
    const double index = std::trunc(tick);
    if (!(index >= 0 && index < timeCount()))
        return QString();
    // A bar time from the server may lie beyond what a 64-bit count of seconds holds.
    const double stored = std::trunc(timeAt(static_cast<int>(index)));
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!(stored >= -limit && stored < limit))
        return QString();
    const auto seconds = static_cast<qint64>(stored);
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime).toString(m_dateTimeFormat);
}

QVector<double> MyDateTimeTicker::createTickVector(double tickStep, const QCPRange &range)
{
    QVector<double> ticks;
    if (timeCount() == 0)
        return ticks;

    const double first = range.lower < 0 ? 0.0 : std::trunc(range.lower);
    const double last = std::trunc(std::min(range.upper, double(timeCount() - 1)));
    if (!(last > first)) {
        ticks.append(last);
        return ticks;
    }

    if (tickStep > 0 && std::isfinite(tickStep)) {
        // Deep zoom far from bar 0 gives a tiny step: start one step before the
        // visible range instead of walking from `first`, which could take billions
        // of steps. The ticks that survive trimming are the same.
        double k = 0;
        if (range.lower - tickStep > first)
            k = std::floor((range.lower - tickStep - first) / tickStep);
        for (double tick = first + k * tickStep; tick < last; tick = first + (++k) * tickStep)
            ticks.append(tick);
    }
    ticks.append(last);
    return ticks;
}
