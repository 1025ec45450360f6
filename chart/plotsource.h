// What our plottables draw: series held by their owner, read in place at each
// replot, so that no plottable keeps a copy of its own. Point m sits at key
// firstKey + m, keys being bar indexes.
#pragma once

#include "summarypyramid.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <functional>

struct SeriesView
{
    double firstKey = 0.0;
    const double *values = nullptr;
    int count = 0;
    const SummaryPyramid *summary = nullptr; // of values; null: each value is read
};
using SeriesSource = std::function<SeriesView()>;

// Bars by index; the last one may be the live bar, whose prices the owner keeps apart.
struct CandleView
{
    const double *open = nullptr;
    const double *high = nullptr;
    const double *low = nullptr;
    const double *close = nullptr;
    int count = 0;
    const SummaryPyramid *highs = nullptr;
    const SummaryPyramid *lows = nullptr;
    bool hasLive = false;
    QCPFinancialData live; // replaces bar count - 1 when hasLive

    QCPFinancialData at(int i) const
    {
        if (hasLive && i == count - 1)
            return QCPFinancialData(i, live.open, live.high, live.low, live.close);
        return QCPFinancialData(i, open[i], high[i], low[i], close[i]);
    }
};
using CandleSource = std::function<CandleView()>;

namespace plotsource {

// Points to draw for a key range: those inside it and one beyond either side, as the library draws.
inline void visibleIndexes(double firstKey, int count, const QCPRange &range, int &begin, int &end)
{
    const double lower = std::ceil(range.lower - firstKey) - 1.0;
    const double upper = std::floor(range.upper - firstKey) + 2.0;
    begin = int(std::clamp(lower, 0.0, double(count)));
    end = int(std::clamp(upper, double(begin), double(count)));
}

// Calls f(first, end, pixel) for each run of points that falls in one pixel column.
template <typename F> void forEachColumn(QCPAxis *keyAxis, double firstKey, int begin, int end, F f)
{
    int it = begin;
    while (it < end) {
        const double pixel = std::floor(keyAxis->coordToPixel(firstKey + it));
        const double edge = keyAxis->pixelToCoord(pixel + 1.0);
        const double next = std::ceil(edge - firstKey);
        const int last = std::isfinite(next) ? int(std::clamp(next, double(it + 1), double(end))) : it + 1;
        f(it, last, pixel);
        it = last;
    }
}

inline void extremes(const SeriesView &view, int begin, int end, double &low, double &high)
{
    if (view.summary && view.summary->count() >= end) {
        view.summary->extremes(view.values, begin, end, low, high);
        return;
    }
    low = std::numeric_limits<double>::infinity();
    high = -low;
    for (int i = begin; i < end; ++i) {
        const double v = view.values[i];
        low = v < low ? v : low;
        high = v > high ? v : high;
    }
}

// Whether a view's columns are wide enough for columnExtremes to move their ends.
inline bool snapsColumnEnds(int values, double pixels)
{
    return values >= 4.0 * SummaryPyramid::Block * std::max(pixels, 1.0);
}

// As extremes, for a pixel column of many values: its ends move to the nearest
// summary block, less than a pixel away, so that the column reads summaries only
// and not the values at its ends, which lie far apart in memory. Neighbouring
// columns move their shared end alike, so each value still falls in one column.
// `snapEnds` must hold for a whole view or not at all: columns with many values each.
inline bool readsSummariesOnly(const SeriesView &view, int end, bool snapEnds)
{
    return snapEnds && view.summary && view.summary->count() >= end;
}

// Where a column end moves to when it reads summaries only: the nearest block start.
inline int snappedEnd(const SeriesView &view, int i)
{
    constexpr int block = SummaryPyramid::Block;
    const int rounded = (i + block / 2) / block * block;
    return i == 0 || i == view.count ? i : std::min(rounded, view.summary->count());
}

inline void columnExtremes(const SeriesView &view, int begin, int end, bool snapEnds, double &low, double &high)
{
    if (readsSummariesOnly(view, end, snapEnds)) {
        view.summary->extremes(view.values, snappedEnd(view, begin), snappedEnd(view, end), low, high);
        return;
    }
    extremes(view, begin, end, low, high);
}

// The value where a column whose ends moved begins, or, for its end, where the
// next one begins: one bar's move at most from the value at its own end.
inline double valueAtSnappedEnd(const SeriesView &view, int i)
{
    const int at = snappedEnd(view, i);
    if (at >= view.count)
        return view.values[view.count - 1];
    return at % SummaryPyramid::Block == 0 ? view.summary->blockStart(at / SummaryPyramid::Block) : view.values[at];
}

} // namespace plotsource
