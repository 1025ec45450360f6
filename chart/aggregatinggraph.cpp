#include "aggregatinggraph.h"

#include <algorithm>
#include <cmath>
#include <limits>

AggregatingGraph::AggregatingGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{
}

AggregatingGraph::~AggregatingGraph() = default;

void AggregatingGraph::getOptimizedLineData(QVector<QCPGraphData> *lineData,
                                            const QCPGraphDataContainer::const_iterator &begin,
                                            const QCPGraphDataContainer::const_iterator &end) const
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const int count = int(end - begin);
    const double span = count > 1 && keyAxis
                            ? std::abs(keyAxis->coordToPixel((end - 1)->key) - keyAxis->coordToPixel(begin->key))
                            : 0.0;
    if (!lineData || !keyAxis || !mAdaptiveSampling || keyAxis->scaleType() != QCPAxis::stLinear ||
        keyAxis->rangeReversed() || !std::isfinite(span) || count <= 4 * span + 8) {
        QCPGraph::getOptimizedLineData(lineData, begin, end);
        return;
    }
    lineData->clear();
    lineData->reserve(int(4 * span) + 8);
    auto it = begin;
    while (it != end) {
        // The column's bars end at the key of its right edge.
        const double edge = keyAxis->pixelToCoord(std::floor(keyAxis->coordToPixel(it->key)) + 1.0);
        auto last = std::lower_bound(it, end, edge, [](const QCPGraphData &d, double key) { return d.key < key; });
        if (last == it)
            ++last;
        // Four running extremes, so no comparison waits on the one before; a
        // gap (NaN) fails every test and is passed over.
        const QCPGraphData *points = &*it;
        const int n = int(last - it);
        double low[4], high[4];
        std::fill(low, low + 4, std::numeric_limits<double>::infinity());
        std::fill(high, high + 4, -std::numeric_limits<double>::infinity());
        int k = 0;
        for (; k + 4 <= n; k += 4) {
            for (int u = 0; u < 4; ++u) {
                const double v = points[k + u].value;
                low[u] = v < low[u] ? v : low[u];
                high[u] = v > high[u] ? v : high[u];
            }
        }
        for (; k < n; ++k) {
            const double v = points[k].value;
            low[0] = v < low[0] ? v : low[0];
            high[0] = v > high[0] ? v : high[0];
        }
        const double lowest = std::min({low[0], low[1], low[2], low[3]});
        const double highest = std::max({high[0], high[1], high[2], high[3]});
        // The column's first point, its span at its middle key in the way the
        // column goes, and its last point: a line through them covers the span
        // and meets the neighbours where every point's line would.
        const QCPGraphData &first = points[0];
        const QCPGraphData &final = points[n - 1];
        lineData->append(first);
        if (n > 2 && lowest <= highest) {
            const double middle = points[n / 2].key;
            const bool rising = final.value >= first.value;
            lineData->append(QCPGraphData(middle, rising ? lowest : highest));
            lineData->append(QCPGraphData(middle, rising ? highest : lowest));
        }
        if (n > 1)
            lineData->append(final);
        it = last;
    }
}
