// The lowest and highest value of every block of a series, and of every pair of
// blocks above that, so the extremes of any stretch of a long series take a few
// dozen reads instead of one per value. Kept beside the series it describes and
// brought up to date from the first value that changed.
#pragma once

#include <QVector>

class SummaryPyramid
{
public:
    static constexpr int Block = 64;

    void clear();
    // Takes in values[0, count) after the values from `from` on changed or were added.
    void update(const double *values, int count, int from);
    int count() const { return m_count; }

    // Lowest and highest value of values[begin, end), NaN left out; low > high when none is a number.
    void extremes(const double *values, int begin, int end, double &low, double &high) const;
    // values[block * Block], kept beside the summaries: a zoomed-out line reads its
    // column ends here instead of far apart in the values, each read a cache miss.
    double blockStart(int block) const { return m_starts.at(block); }

private:
    // Level k summarises blocks of Block << k values.
    QVector<QVector<double>> m_low;
    QVector<QVector<double>> m_high;
    QVector<double> m_starts;
    int m_count = 0;
};
