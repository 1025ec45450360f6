#include "aggregatinggraph.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

AggregatingGraph::AggregatingGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
    , m_lent(new QCPGraphDataContainer)
{
}

AggregatingGraph::~AggregatingGraph() = default;

void AggregatingGraph::setSource(SeriesSource source)
{
    m_source = std::move(source);
    mDataContainer->clear();
}

int AggregatingGraph::dataCount() const
{
    return m_source ? m_source().count : QCPGraph::dataCount();
}

double AggregatingGraph::dataMainKey(int index) const
{
    return m_source ? m_source().firstKey + index : QCPGraph::dataMainKey(index);
}

double AggregatingGraph::dataSortKey(int index) const
{
    return dataMainKey(index);
}

double AggregatingGraph::dataMainValue(int index) const
{
    if (!m_source)
        return QCPGraph::dataMainValue(index);
    const SeriesView view = m_source();
    return index >= 0 && index < view.count ? view.values[index] : 0.0;
}

QCPRange AggregatingGraph::dataValueRange(int index) const
{
    const double value = dataMainValue(index);
    return QCPRange(value, value);
}

void AggregatingGraph::lendVisiblePoints() const
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const SeriesView view = m_source();
    QVector<QCPGraphData> points;
    int begin = 0, end = 0;
    if (keyAxis && view.values)
        plotsource::visibleIndexes(view.firstKey, view.count, keyAxis->range(), begin, end);
    const double span =
        end - begin > 1
            ? std::abs(keyAxis->coordToPixel(view.firstKey + end - 1) - keyAxis->coordToPixel(view.firstKey + begin))
            : 0.0;
    const auto point = [&view](int i) { return QCPGraphData(view.firstKey + i, view.values[i]); };
    if (!mAdaptiveSampling || keyAxis->scaleType() != QCPAxis::stLinear || !std::isfinite(span) ||
        end - begin <= 4 * span + 8) {
        points.reserve(end - begin);
        for (int i = begin; i < end; ++i)
            points.append(point(i));
    } else if (mLineStyle == lsLine) {
        appendLineColumns(view, begin, end, span, points);
    } else {
        points.reserve(int(4 * span) + 8);
        // Unjoined points (dots, impulses from the base) show all of a column with its two extremes.
        const bool joined = mLineStyle != lsNone && mLineStyle != lsImpulse;
        const bool snapEnds = plotsource::snapsColumnEnds(end - begin, span);
        plotsource::forEachColumn(keyAxis, view.firstKey, begin, end, [&](int first, int last, double) {
            if (!joined && last - first > 2) {
                double lowest, highest;
                plotsource::columnExtremes(view, first, last, snapEnds, lowest, highest);
                const double middle = view.firstKey + first + (last - first) / 2;
                if (lowest <= highest)
                    points << QCPGraphData(middle, lowest) << QCPGraphData(middle, highest);
                return;
            }
            // As getOptimizedLineData below: the first point, the column's span at its middle
            // key in the way the column goes, and the last point.
            const int n = last - first;
            if (plotsource::readsSummariesOnly(view, last, snapEnds)) {
                // Ends moved to the nearest block, like the extremes: read beside the summaries.
                const double start = plotsource::valueAtSnappedEnd(view, first);
                const double finish = plotsource::valueAtSnappedEnd(view, last);
                points.append(QCPGraphData(view.firstKey + first, start));
                double lowest, highest;
                plotsource::columnExtremes(view, first, last, snapEnds, lowest, highest);
                if (lowest <= highest) {
                    const double middle = view.firstKey + first + n / 2;
                    points.append(QCPGraphData(middle, finish >= start ? lowest : highest));
                    points.append(QCPGraphData(middle, finish >= start ? highest : lowest));
                }
                points.append(QCPGraphData(view.firstKey + last - 1, finish));
                return;
            }
            points.append(point(first));
            if (n > 2) {
                double lowest, highest;
                plotsource::columnExtremes(view, first, last, snapEnds, lowest, highest);
                if (lowest <= highest) {
                    const double middle = view.firstKey + first + n / 2;
                    const bool rising = view.values[last - 1] >= view.values[first];
                    points.append(QCPGraphData(middle, rising ? lowest : highest));
                    points.append(QCPGraphData(middle, rising ? highest : lowest));
                }
            }
            if (n > 1)
                points.append(point(last - 1));
        });
    }
    m_lent->set(points, true);
    auto *self = const_cast<AggregatingGraph *>(this);
    m_own = self->mDataContainer;
    self->mDataContainer = m_lent;
}

namespace {

struct LineColumn
{
    double startKey, start, finishKey, finish, middle;
    double low, high; // low > high: no span to draw, the column keeps its end points only
    bool hasSpan() const { return low <= high; }
    // Whether v lies within the span, give or take `slack`.
    bool reaches(double v, double slack) const { return v >= low - slack && v <= high + slack; }
};

// Between two columns the line through every point paints both spans, and its step
// from one column's last point to the next one's first lies in one or the other.
// A join from one span to the other paints no other pixel when both its ends lie
// within both spans, give or take `slack`, under half a pixel, which also takes in
// a smooth line's step between neighbouring spans.
bool joinHidden(const LineColumn &from, double exit, const LineColumn &to, double enter, double slack)
{
    return from.hasSpan() && to.hasSpan() && std::isfinite(from.finish) && std::isfinite(to.start) &&
           to.reaches(exit, slack) && from.reaches(enter, slack);
}

} // namespace

void AggregatingGraph::appendLineColumns(const SeriesView &view, int begin, int end, double span,
                                         QVector<QCPGraphData> &points) const
{
    // Most of a zoomed-out replot is spent stroking these points, so a column
    // whose joins either side are hidden is drawn as its span alone.
    std::vector<LineColumn> columns;
    columns.reserve(size_t(span) + 8);
    const bool snapEnds = plotsource::snapsColumnEnds(end - begin, span);
    plotsource::forEachColumn(mKeyAxis.data(), view.firstKey, begin, end, [&](int first, int last, double) {
        const int n = last - first;
        LineColumn c;
        c.startKey = view.firstKey + first;
        c.finishKey = view.firstKey + last - 1;
        c.middle = view.firstKey + first + n / 2;
        c.low = std::numeric_limits<double>::infinity();
        c.high = -c.low;
        const bool summariesOnly = plotsource::readsSummariesOnly(view, last, snapEnds);
        if (summariesOnly) {
            // Ends moved to the nearest block, like the extremes: read beside the summaries.
            c.start = plotsource::valueAtSnappedEnd(view, first);
            c.finish = plotsource::valueAtSnappedEnd(view, last);
        } else {
            c.start = view.values[first];
            c.finish = view.values[last - 1];
        }
        if (summariesOnly || n > 2)
            plotsource::columnExtremes(view, first, last, snapEnds, c.low, c.high);
        if (!summariesOnly && n <= 1)
            c.finishKey = -std::numeric_limits<double>::infinity(); // a single point
        columns.push_back(c);
    });
    points.reserve(int(3 * columns.size()) + 8);
    const QCPAxis *valueAxis = mValueAxis.data();
    const double pixelsPerValue =
        valueAxis ? std::abs(valueAxis->coordToPixel(1.0) - valueAxis->coordToPixel(0.0)) : 0.0;
    const double slack =
        valueAxis && valueAxis->scaleType() == QCPAxis::stLinear && pixelsPerValue > 0.0 ? 0.4 / pixelsPerValue : 0.0;
    bool enterHidden = false;
    double enter = 0.0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const LineColumn &c = columns[i];
        if (!enterHidden)
            points.append(QCPGraphData(c.startKey, c.start));
        if (!c.hasSpan()) {
            if (std::isfinite(c.finishKey))
                points.append(QCPGraphData(c.finishKey, c.finish));
            enterHidden = false;
            continue;
        }
        // The span runs the way the column goes, unless the join into it fixed where it starts.
        const bool rising = c.finish >= c.start;
        if (!enterHidden)
            enter = rising ? c.low : c.high;
        const double across = enter == c.low ? c.high : c.low;
        points.append(QCPGraphData(c.middle, enter));
        points.append(QCPGraphData(c.middle, across));
        enterHidden = false;
        if (i + 1 < columns.size()) {
            // Leave across the span, or back where it came in (a point more, still fewer than
            // the end points), into the next span at the end the way that column goes, or its other.
            const LineColumn &next = columns[i + 1];
            const double preferred = next.finish >= next.start ? next.low : next.high;
            const double other = preferred == next.low ? next.high : next.low;
            for (const double exit : {across, enter}) {
                for (const double candidate : {preferred, other}) {
                    if (!enterHidden && joinHidden(c, exit, next, candidate, slack)) {
                        if (exit != across)
                            points.append(QCPGraphData(c.middle, exit));
                        enter = candidate;
                        enterHidden = true;
                    }
                }
            }
        }
        if (!enterHidden)
            points.append(QCPGraphData(c.finishKey, c.finish));
    }
}

void AggregatingGraph::takeBack() const
{
    const_cast<AggregatingGraph *>(this)->mDataContainer = m_own;
    m_own.reset();
}

void AggregatingGraph::draw(QCPPainter *painter)
{
    if (!m_source) {
        QCPGraph::draw(painter);
        return;
    }
    lendVisiblePoints();
    QCPGraph::draw(painter);
    takeBack();
}

double AggregatingGraph::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    if (!m_source)
        return QCPGraph::selectTest(pos, onlySelectable, details);
    lendVisiblePoints();
    const double distance = QCPGraph::selectTest(pos, onlySelectable, details);
    takeBack();
    return distance;
}

void AggregatingGraph::getOptimizedLineData(QVector<QCPGraphData> *lineData,
                                            const QCPGraphDataContainer::const_iterator &begin,
                                            const QCPGraphDataContainer::const_iterator &end) const
{
    if (m_source && lineData) {
        // What the source lends is reduced already.
        lineData->clear();
        lineData->reserve(int(end - begin));
        for (auto it = begin; it != end; ++it)
            lineData->append(*it);
        return;
    }
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

void AggregatingGraph::drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                                       const QCPScatterStyle &style) const
{
    // Filling an antialiased disc per point is most of a replot with dotted lines
    // in view; copying one disc drawn beforehand costs a fraction of that.
    if (style.shape() != QCPScatterStyle::ssDisc || scatters.size() < 32 ||
        painter->modes().testFlag(QCPPainter::pmVectorized) || painter->modes().testFlag(QCPPainter::pmNoCaching)) {
        QCPGraph::drawScatterPlot(painter, scatters, style);
        return;
    }
    const QPen pen = style.isPenDefined() ? style.pen() : mPen;
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = int(std::ceil(style.size())) + 2;
    const QString look = QStringLiteral("%1 %2 %3 %4 %5 %6")
                             .arg(pen.color().rgba())
                             .arg(pen.widthF())
                             .arg(style.brush().color().rgba())
                             .arg(style.brush().style())
                             .arg(style.size())
                             .arg(ratio);
    if (look != m_discLook) {
        m_disc = QPixmap(int(std::ceil(side * ratio)), int(std::ceil(side * ratio)));
        m_disc.setDevicePixelRatio(ratio);
        m_disc.fill(Qt::transparent);
        QCPPainter disc(&m_disc);
        disc.setAntialiasing(true);
        style.applyTo(&disc, mPen);
        style.drawShape(&disc, side / 2.0, side / 2.0);
        m_discLook = look;
    }
    const double half = side / 2.0;
    for (const QPointF &point : scatters)
        painter->drawPixmap(QPointF(std::round(point.x() - half), std::round(point.y() - half)), m_disc);
}
