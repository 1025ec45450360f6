// The bars of one symbol and period, held once as columns (time, open, high,
// low, close) with the summaries of the highs and lows that a zoomed-out replot
// reads. Copies share everything until one of them changes, so the chart
// manager and every window of the chart hold the same bars, and a window opens
// by taking a copy instead of converting records. A change made through one
// copy never shows in another.
#pragma once

#include "candlestick.h"
#include "summarypyramid.h"

#include <QList>
#include <QVector>

class BarStore
{
public:
    BarStore() = default;
    // The bars must be in ascending time, one per time.
    static BarStore fromBars(const CandleStick *bars, int count);
    static BarStore fromBars(const QVector<CandleStick> &bars) { return fromBars(bars.constData(), bars.size()); }
    static BarStore fromBars(const QList<CandleStick> &bars);

    int size() const { return m_time.size(); }
    bool isEmpty() const { return m_time.isEmpty(); }
    CandleStick at(int i) const { return {m_time.at(i), m_open.at(i), m_high.at(i), m_low.at(i), m_close.at(i)}; }
    CandleStick last() const { return at(size() - 1); }
    const QVector<qint64> &times() const { return m_time; }
    const QVector<double> &open() const { return m_open; }
    const QVector<double> &high() const { return m_high; }
    const QVector<double> &low() const { return m_low; }
    const QVector<double> &close() const { return m_close; }
    const SummaryPyramid &highs() const { return m_highs; }
    const SummaryPyramid &lows() const { return m_lows; }
    // Index of the first bar at or after a time.
    int indexAtOrAfter(qint64 time) const;

    void append(const CandleStick &bar);
    void replace(int i, const CandleStick &bar);
    void truncate(int count);
    void clear() { *this = BarStore(); }
    // Takes in bars in ascending time, one per time, replacing bars of equal times.
    // Returns the index of the first bar that changed, size() when none did.
    int merge(const QVector<CandleStick> &incoming);

    QVector<CandleStick> toVector() const;
    QList<CandleStick> toList() const;

private:
    template <typename Bars> static BarStore build(const Bars &bars, int count);
    // Room for the bars still to come, so the first of them copies nothing.
    void reserveFor(int count);
    void summarizeFrom(int from);

    QVector<qint64> m_time;
    QVector<double> m_open;
    QVector<double> m_high;
    QVector<double> m_low;
    QVector<double> m_close;
    SummaryPyramid m_highs;
    SummaryPyramid m_lows;
};

bool operator==(const BarStore &a, const BarStore &b);
inline bool operator!=(const BarStore &a, const BarStore &b) { return !(a == b); }
