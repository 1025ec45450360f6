#include "indicatorkeys.h"

#include <algorithm>
#include <numeric>

IndicatorKeys::IndicatorKeys(const QVector<double> &keys)
{
    for (const double key : keys)
        *this << key;
}

IndicatorKeys IndicatorKeys::stepping(double first, int count)
{
    IndicatorKeys keys;
    keys.m_first = first;
    keys.m_count = std::max(count, 0);
    return keys;
}

void IndicatorKeys::resize(int count)
{
    count = std::max(0, count);
    if (count == 0) {
        m_listed = false;
        m_list.resize(0);
    } else if (m_listed) {
        m_list.resize(count);
    }
    m_count = count;
}

IndicatorKeys &IndicatorKeys::operator<<(double key)
{
    if (!m_listed && m_count == 0)
        m_first = key;
    else if (!m_listed && key != m_first + m_count)
        list();
    if (m_listed)
        m_list.append(key);
    ++m_count;
    return *this;
}

void IndicatorKeys::extend(const QVector<double> &keys, int from, int count)
{
    const int held = m_count;
    if (count <= held) {
        resize(count);
        return;
    }
    const double *k = keys.constData() + from;
    if (!m_listed) {
        // Only the ends are read: sorted whole numbers whose ends lie count - 1
        // apart step by one throughout, as a chart's bar indexes do.
        const double start = held == 0 ? k[0] : m_first;
        if (k[count - 1] == start + (count - 1)) {
            m_first = start;
            m_count = count;
            return;
        }
        list();
    }
    m_list.resize(count);
    std::copy(k + held, k + count, m_list.begin() + held);
    m_count = count;
}

void IndicatorKeys::extend(const IndicatorKeys &keys, int from, int count)
{
    if (keys.m_listed) {
        extend(keys.m_list, from, count);
        return;
    }
    const int held = m_count;
    if (count <= held) {
        resize(count);
        return;
    }
    const double start = keys.m_first + from;
    if (!m_listed && (held == 0 || m_first == start)) {
        m_first = start;
        m_count = count;
        return;
    }
    if (!m_listed)
        list();
    m_list.resize(count);
    for (int m = held; m < count; ++m)
        m_list[m] = start + m;
    m_count = count;
}

IndicatorKeys::operator QVector<double>() const
{
    if (m_listed)
        return m_list;
    QVector<double> keys(m_count);
    std::iota(keys.begin(), keys.end(), m_first);
    return keys;
}

bool IndicatorKeys::operator==(const IndicatorKeys &other) const
{
    if (m_count != other.m_count)
        return false;
    if (!m_listed && !other.m_listed)
        return m_count == 0 || m_first == other.m_first;
    return std::equal(begin(), end(), other.begin());
}

void IndicatorKeys::list()
{
    m_list.resize(m_count);
    std::iota(m_list.begin(), m_list.end(), m_first);
    m_listed = true;
}
