#include "barstore.h"

#include <algorithm>

template <typename T> void BarStore::Column<T>::allocate(int capacity, int keep)
{
    QTypedArrayData<T> *d = QTypedArrayData<T>::allocate(size_t(std::max(capacity, 1)));
    if (!d)
        qBadAlloc();
    std::copy(values.constBegin(), values.constBegin() + keep, d->begin());
    d->size = keep;
    values = QVector<T>(QArrayDataPointerRef<T>{d});
    data = d;
}

template <typename Bars> BarStore BarStore::build(const Bars &bars, int count)
{
    BarStore store;
    count = std::max(count, 0);
    store.makeWritable(0, 0, count);
    for (int i = 0; i < count; ++i)
        store.write(i, bars[i]);
    store.setCount(count);
    store.summarizeFrom(0);
    return store;
}

BarStore BarStore::fromBars(const CandleStick *bars, int count) { return build(bars, count); }

// A QList holds records this large one by one on the heap, so it is read item by item.
BarStore BarStore::fromBars(const QList<CandleStick> &bars) { return build(bars, bars.size()); }

int BarStore::indexAtOrAfter(qint64 time) const
{
    const auto begin = m_time.values.cbegin();
    return int(std::lower_bound(begin, begin + m_count, time) - begin);
}

bool BarStore::isShared() const
{
    return m_time.isShared() || m_open.isShared() || m_high.isShared() || m_low.isShared() || m_close.isShared();
}

void BarStore::makeWritable(int firstWritten, int keep, int total)
{
    const bool fits = m_time.data && total <= int(m_time.data->alloc);
    if (fits && (!isShared() || firstWritten >= m_time.data->size))
        return;
    // Room for the bars still to come, so the first of them copies nothing.
    const int capacity = total + total / 8 + 64;
    m_time.allocate(capacity, keep);
    m_open.allocate(capacity, keep);
    m_high.allocate(capacity, keep);
    m_low.allocate(capacity, keep);
    m_close.allocate(capacity, keep);
}

void BarStore::write(int i, const CandleStick &bar)
{
    m_time.data->data()[i] = bar.timestamp;
    m_open.data->data()[i] = bar.open;
    m_high.data->data()[i] = bar.high;
    m_low.data->data()[i] = bar.low;
    m_close.data->data()[i] = bar.close;
}

void BarStore::setCount(int count)
{
    m_count = count;
    if (!m_time.data)
        return;
    // Shared columns keep what the other copies show.
    if (isShared() && count <= m_time.data->size)
        return;
    m_time.data->size = count;
    m_open.data->size = count;
    m_high.data->size = count;
    m_low.data->size = count;
    m_close.data->size = count;
}

void BarStore::summarizeFrom(int from)
{
    m_highs.update(m_high.values.constData(), m_count, from);
    m_lows.update(m_low.values.constData(), m_count, from);
}

void BarStore::append(const CandleStick &bar)
{
    const int n = m_count;
    // Another copy may have added this very bar already.
    if (!(m_time.data && n < m_time.data->size && at(n) == bar)) {
        makeWritable(n, n, n + 1);
        write(n, bar);
    }
    setCount(n + 1);
    summarizeFrom(n);
}

void BarStore::replace(int i, const CandleStick &bar)
{
    if (i < 0 || i >= m_count || at(i) == bar)
        return;
    makeWritable(i, m_count, m_count);
    write(i, bar);
    summarizeFrom(i);
}

void BarStore::truncate(int count)
{
    count = std::clamp(count, 0, m_count);
    if (count == m_count)
        return;
    setCount(count);
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
        for (; held < size() && time(held) < bar.timestamp; ++held)
            tail.append(at(held));
        if (held < size() && time(held) == bar.timestamp)
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
    makeWritable(changed, changed, total);
    for (int k = same; k < tail.size(); ++k)
        write(start + k, tail.at(k));
    setCount(total);
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
    const int n = a.size();
    const auto same = [n](const auto &x, const auto &y) { return std::equal(x.cbegin(), x.cbegin() + n, y.cbegin()); };
    return n == b.size() && same(a.times(), b.times()) && same(a.open(), b.open()) && same(a.high(), b.high())
        && same(a.low(), b.low()) && same(a.close(), b.close());
}
