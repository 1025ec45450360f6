// The bars of one symbol and period, held once as columns (time, open, high,
// low, close) with the summaries of the highs and lows that a zoomed-out replot
// reads. Copies share the columns until one of them changes, so the chart
// manager and every window of the chart hold the same bars, and a window opens
// by taking a copy instead of converting records. A change made through one
// copy never shows in another. Bars added after the last one any copy shows
// are written in place: the copies that share the columns each see only their
// own first size() bars, so a new bar costs no copy of the history.
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

    int size() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    CandleStick at(int i) const
    {
        return {m_time.values.at(i), m_open.values.at(i), m_high.values.at(i), m_low.values.at(i),
                m_close.values.at(i)};
    }
    CandleStick last() const { return at(size() - 1); }
    qint64 time(int i) const { return m_time.values.at(i); }
    // The columns, which may run past size(), when another copy added bars: read the first size() values only.
    const QVector<qint64> &times() const { return m_time.values; }
    const QVector<double> &open() const { return m_open.values; }
    const QVector<double> &high() const { return m_high.values; }
    const QVector<double> &low() const { return m_low.values; }
    const QVector<double> &close() const { return m_close.values; }
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
    // One column: the values every copy shares, and the same storage written past the end the others see.
    template <typename T> struct Column
    {
        QVector<T> values;
        QTypedArrayData<T> *data = nullptr;

        void allocate(int capacity, int keep);
        bool isShared() const { return data && data->ref.isShared(); }
    };

    template <typename Bars> static BarStore build(const Bars &bars, int count);
    bool isShared() const;
    // Makes room for `total` bars from `firstWritten` on: in place when no other copy
    // shows any bar written, else on columns of this copy's own that keep bars [0, keep).
    void makeWritable(int firstWritten, int keep, int total);
    void write(int i, const CandleStick &bar);
    void setCount(int count);
    void summarizeFrom(int from);

    Column<qint64> m_time;
    Column<double> m_open;
    Column<double> m_high;
    Column<double> m_low;
    Column<double> m_close;
    int m_count = 0;
    SummaryPyramid m_highs;
    SummaryPyramid m_lows;
};

bool operator==(const BarStore &a, const BarStore &b);
inline bool operator!=(const BarStore &a, const BarStore &b) { return !(a == b); }
