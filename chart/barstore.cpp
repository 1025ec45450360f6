#include "barstore.h"

#include <algorithm>

template <typename Bars> BarStore BarStore::build(const Bars &bars, int count)
{
    BarStore store;
    count = std::max(count, 0);
    store.reserveFor(count);
    store.m_time.resize(count);
    for (QVector<double> *column : {&store.m_open, &store.m_high, &store.m_low, &store.m_close})
        column->resize(count);
    qint64 *time = store.m_time.data();
    double *open = store.m_open.data();
    double *high = store.m_high.data();
    double *low = store.m_low.data();
    double *close = store.m_close.data();
    for (int i = 0; i < count; ++i) {
        const CandleStick &bar = bars[i];
        time[i] = bar.timestamp;
        open[i] = bar.open;
        high[i] = bar.high;
        low[i] = bar.low;
        close[i] = bar.close;
    }
    store.summarizeFrom(0);
    return store;
}

BarStore BarStore::fromBars(const CandleStick *bars, int count) { return build(bars, count); }

// A QList holds records this large one by one on the heap, so it is read item by item.
BarStore BarStore::fromBars(const QList<CandleStick> &bars) { return build(bars, bars.size()); }

int BarStore::indexAtOrAfter(qint64 time) const
{
    return int(std::lower_bound(m_time.cbegin(), m_time.cend(), time) - m_time.cbegin());
}

void BarStore::reserveFor(int count)
{
    if (m_time.capacity() >= count)
        return;
    const int room = count + count / 8 + 64;
    m_time.reserve(room);
    for (QVector<double> *column : {&m_open, &m_high, &m_low, &m_close})
        column->reserve(room);
}

void BarStore::summarizeFrom(int from)
{
    m_highs.update(m_high.constData(), m_high.size(), from);
    m_lows.update(m_low.constData(), m_low.size(), from);
}

void BarStore::append(const CandleStick &bar)
{
    reserveFor(size() + 1);
    m_time.append(bar.timestamp);
    m_open.append(bar.open);
    m_high.append(bar.high);
    m_low.append(bar.low);
    m_close.append(bar.close);
    summarizeFrom(size() - 1);
}

void BarStore::replace(int i, const CandleStick &bar)
{
    if (i < 0 || i >= size() || at(i) == bar)
        return;
    m_time[i] = bar.timestamp;
    m_open[i] = bar.open;
    m_high[i] = bar.high;
    m_low[i] = bar.low;
    m_close[i] = bar.close;
    summarizeFrom(i);
}

void BarStore::truncate(int count)
{
    count = std::clamp(count, 0, size());
    if (count == size())
        return;
    m_time.resize(count);
    for (QVector<double> *column : {&m_open, &m_high, &m_low, &m_close})
        column->resize(count);
    summarizeFrom(count);
}

int BarStore::merge(const QVector<CandleStick> &incoming)
{
    if (incoming.isEmpty())
        return size();
    // Only the bars from the reply's oldest time on take part: a live chart's
    // replies reach back a few bars, and the rest stays shared.
    const int start = indexAtOrAfter(incoming.constFirst().timestamp);
    QVector<CandleStick> tail;
    tail.reserve(incoming.size() + size() - start);
    int held = start;
    for (const CandleStick &bar : incoming) {
        for (; held < size() && m_time.at(held) < bar.timestamp; ++held)
            tail.append(at(held));
        if (held < size() && m_time.at(held) == bar.timestamp)
            ++held;
        tail.append(bar);
    }
    for (; held < size(); ++held)
        tail.append(at(held));

    int same = 0;
    while (same < tail.size() && start + same < size() && tail.at(same) == at(start + same))
        ++same;
    const int changed = start + same;
    if (same == tail.size() && changed == size())
        return size();
    const int total = start + tail.size();
    reserveFor(total);
    m_time.resize(total);
    for (QVector<double> *column : {&m_open, &m_high, &m_low, &m_close})
        column->resize(total);
    for (int k = same; k < tail.size(); ++k) {
        const CandleStick &bar = tail.at(k);
        const int i = start + k;
        m_time[i] = bar.timestamp;
        m_open[i] = bar.open;
        m_high[i] = bar.high;
        m_low[i] = bar.low;
        m_close[i] = bar.close;
    }
    summarizeFrom(changed);
    return changed;
}

QVector<CandleStick> BarStore::toVector() const
{
    QVector<CandleStick> bars(size());
    for (int i = 0; i < size(); ++i)
        bars[i] = at(i);
    return bars;
}

QList<CandleStick> BarStore::toList() const
{
    QList<CandleStick> bars;
    bars.reserve(size());
    for (int i = 0; i < size(); ++i)
        bars.append(at(i));
    return bars;
}

bool operator==(const BarStore &a, const BarStore &b)
{
    return a.times() == b.times() && a.open() == b.open() && a.high() == b.high() && a.low() == b.low()
        && a.close() == b.close();
}
