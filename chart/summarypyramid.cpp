#include "summarypyramid.h"

#include <algorithm>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A NaN fails both tests and changes nothing.
inline void take(double v, double &low, double &high)
{
    low = v < low ? v : low;
    high = v > high ? v : high;
}

} // namespace

void SummaryPyramid::clear()
{
    m_low.clear();
    m_high.clear();
    m_starts.clear();
    m_count = 0;
}

void SummaryPyramid::update(const double *values, int count, int from)
{
    count = std::max(count, 0);
    from = std::clamp(std::min(from, m_count), 0, count);
    m_count = count;
    int size = (count + Block - 1) / Block;
    int first = from / Block;
    m_starts.resize(size);
    for (int j = first; j < size; ++j)
        m_starts[j] = values[j * Block];
    for (int level = 0; size > 0; ++level) {
        if (m_low.size() <= level) {
            m_low.append(QVector<double>());
            m_high.append(QVector<double>());
        }
        QVector<double> &low = m_low[level];
        QVector<double> &high = m_high[level];
        low.resize(size);
        high.resize(size);
        for (int j = first; j < size; ++j) {
            double l = kInf, h = -kInf;
            if (level == 0) {
                const int end = std::min(count, (j + 1) * Block);
                for (int i = j * Block; i < end; ++i)
                    take(values[i], l, h);
            } else {
                const QVector<double> &belowLow = m_low[level - 1];
                const QVector<double> &belowHigh = m_high[level - 1];
                for (int i = 2 * j; i < std::min(2 * j + 2, belowLow.size()); ++i) {
                    l = std::min(l, belowLow[i]);
                    h = std::max(h, belowHigh[i]);
                }
            }
            low[j] = l;
            high[j] = h;
        }
        if (size == 1) {
            m_low.resize(level + 1);
            m_high.resize(level + 1);
            break;
        }
        size = (size + 1) / 2;
        first /= 2;
    }
    if (count == 0)
        clear();
}

void SummaryPyramid::extremes(const double *values, int begin, int end, double &low, double &high) const
{
    low = kInf;
    high = -kInf;
    begin = std::max(begin, 0);
    end = std::min(end, m_count);
    // The ragged ends value by value, the whole blocks between from the summaries.
    while (begin < end && begin % Block != 0)
        take(values[begin++], low, high);
    while (end > begin && end % Block != 0)
        take(values[--end], low, high);
    int lo = begin / Block;
    int hi = end / Block;
    for (int level = 0; lo < hi && level < m_low.size(); ++level) {
        const double *levelLow = m_low[level].constData();
        const double *levelHigh = m_high[level].constData();
        if (lo & 1) {
            low = std::min(low, levelLow[lo]);
            high = std::max(high, levelHigh[lo]);
            ++lo;
        }
        if (hi & 1) {
            --hi;
            low = std::min(low, levelLow[hi]);
            high = std::max(high, levelHigh[hi]);
        }
        lo /= 2;
        hi /= 2;
    }
}
