// Output bookkeeping shared by the calculations: how many bars they may read,
// where an extending output continues, and how a replacing one is rebuilt.
#pragma once

#include "indicatorcore.h"

#include <QStringList>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace indicators_p {

// Bars readable from every input; a shorter input must not be read past its end.
inline int barCount(std::initializer_list<const QVector<double> *> inputs)
{
    int n = std::numeric_limits<int>::max();
    for (const QVector<double> *v : inputs)
        n = std::min(n, v->size());
    return n == std::numeric_limits<int>::max() ? 0 : n;
}

// Infinities come from zero divisors; a graph must show them as gaps.
inline double gapIfNotFinite(double v)
{
    return std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

inline void appendPoint(IndicatorSeries &series, double key, double value)
{
    series.keys.append(key);
    series.values.append(gapIfNotFinite(value));
}

// The bar an extending output continues from, given the bar of its first point.
inline int nextBar(IndicatorSeries &series, int firstBar)
{
    if (series.keys.size() != series.values.size()) {
        const int size = std::min(series.keys.size(), series.values.size());
        series.keys.resize(size);
        series.values.resize(size);
    }
    return firstBar + series.keys.size();
}

// As nextBar, counting on the first line; lines that have drifted apart are
// rebuilt together, since each continues from the others' last values.
inline int nextBar(IndicatorLines &lines, const QStringList &names, int firstBar)
{
    const int count = lines.value(names.first()).keys.size();
    for (const QString &name : names) {
        const auto it = lines.constFind(name);
        const int size = it == lines.constEnd() ? 0 : it->keys.size();
        if (size != count || (it != lines.constEnd() && it->values.size() != count)) {
            for (const QString &each : names)
                lines[each] = IndicatorSeries();
            return firstBar;
        }
    }
    return firstBar + count;
}

inline void reserveFor(IndicatorSeries &series, int points)
{
    if (points > 0 && series.keys.isEmpty()) {
        series.keys.reserve(points);
        series.values.reserve(points);
    }
}

// A replacing output: every key, and the warm-up value everywhere to start with.
inline void resetReplacing(IndicatorSeries &series, const QVector<double> &keys, int bars, double warmUp = 0.0)
{
    series.keys = keys.mid(0, bars);
    series.values.fill(warmUp, bars);
}

inline void setValue(IndicatorSeries &series, int i, double value)
{
    series.values[i] = gapIfNotFinite(value);
}

} // namespace indicators_p
