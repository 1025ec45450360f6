#include "aggregatingfinancial.h"

#include <algorithm>
#include <cmath>

AggregatingFinancial::AggregatingFinancial(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPFinancial(keyAxis, valueAxis)
    , m_columns(new QCPFinancialDataContainer)
{
}

AggregatingFinancial::~AggregatingFinancial() = default;

void AggregatingFinancial::setSource(CandleSource source)
{
    m_source = std::move(source);
    mDataContainer->clear();
}

int AggregatingFinancial::dataCount() const
{
    return m_source ? m_source().count : QCPFinancial::dataCount();
}

double AggregatingFinancial::dataMainKey(int index) const
{
    return m_source ? index : QCPFinancial::dataMainKey(index);
}

double AggregatingFinancial::dataSortKey(int index) const
{
    return dataMainKey(index);
}

double AggregatingFinancial::dataMainValue(int index) const
{
    if (!m_source)
        return QCPFinancial::dataMainValue(index);
    const CandleView view = m_source();
    return index >= 0 && index < view.count ? view.at(index).open : 0.0;
}

QCPRange AggregatingFinancial::dataValueRange(int index) const
{
    if (!m_source)
        return QCPFinancial::dataValueRange(index);
    const CandleView view = m_source();
    if (index < 0 || index >= view.count)
        return QCPRange(0, 0);
    const QCPFinancialData bar = view.at(index);
    return QCPRange(bar.low, bar.high);
}

namespace {

// Highest high and lowest low of bars [first, last), the live bar's own prices included.
void columnExtremes(const CandleView &view, int first, int last, bool snapEnds, double &low, double &high)
{
    const int stored = view.hasLive ? std::min(last, view.count - 1) : last;
    double ignored;
    low = std::numeric_limits<double>::infinity();
    high = -low;
    if (first < stored) {
        if (view.highs && view.lows && view.highs->count() >= stored && view.lows->count() >= stored) {
            // As plotsource::columnExtremes: a wide column's ends move to the nearest block.
            constexpr int block = SummaryPyramid::Block;
            const auto snap = [&](int i) {
                return !snapEnds || i == 0 || i >= view.count - 1
                           ? i
                           : std::min((i + block / 2) / block * block, view.count - 1);
            };
            view.highs->extremes(view.high, snap(first), snap(stored), ignored, high);
            view.lows->extremes(view.low, snap(first), snap(stored), low, ignored);
        } else {
            for (int i = first; i < stored; ++i) {
                high = std::max(high, view.high[i]);
                low = std::min(low, view.low[i]);
            }
        }
    }
    if (stored < last) {
        high = std::max(high, view.live.high);
        low = std::min(low, view.live.low);
    }
}

} // namespace

void AggregatingFinancial::draw(QCPPainter *painter)
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const int pixels = keyAxis ? std::abs(keyAxis->axisRect()->width()) : 0;
    // Selected candles are marked by index into the bars, so they are drawn bar by bar.
    const bool barByBar = !keyAxis || !mSelection.isEmpty();
    QVector<QCPFinancialData> columns;
    if (m_source) {
        const CandleView view = m_source();
        int begin = 0, end = 0;
        if (keyAxis && view.count > 0)
            plotsource::visibleIndexes(0.0, view.count, keyAxis->range(), begin, end);
        if (barByBar || end - begin <= 2 * std::max(pixels, 1)) {
            columns.reserve(end - begin);
            for (int i = begin; i < end; ++i)
                columns.append(view.at(i));
        } else {
            columns.reserve(2 * pixels + 2);
            const bool snapEnds = plotsource::snapsColumnEnds(end - begin, pixels);
            plotsource::forEachColumn(keyAxis, 0.0, begin, end, [&](int first, int last, double pixel) {
                QCPFinancialData candle = view.at(first);
                // On the column's edge: the painter shifts antialiased lines by half a
                // pixel, so the candle fills that column and not half of the next.
                candle.key = keyAxis->pixelToCoord(pixel);
                columnExtremes(view, first, last, snapEnds, candle.low, candle.high);
                candle.close = view.at(last - 1).close;
                columns.append(candle);
            });
        }
    } else {
        QCPFinancialDataContainer::const_iterator begin;
        QCPFinancialDataContainer::const_iterator end;
        getVisibleDataBounds(begin, end);
        if (barByBar || end - begin <= 2 * std::max(pixels, 1)) {
            QCPFinancial::draw(painter);
            return;
        }
        columns.reserve(2 * pixels + 2);
        long column = 0;
        for (auto it = begin; it != end; ++it) {
            const double pixel = keyAxis->coordToPixel(it->key);
            const long at = std::isfinite(pixel) ? long(std::floor(pixel)) : 0;
            if (columns.isEmpty() || at != column) {
                columns.append(*it);
                columns.last().key = keyAxis->pixelToCoord(double(at));
                column = at;
                continue;
            }
            QCPFinancialData &candle = columns.last();
            candle.high = std::max(candle.high, it->high);
            candle.low = std::min(candle.low, it->low);
            candle.close = it->close;
        }
    }
    m_columns->set(columns, true);
    // The base class draws whatever its container holds; lend it the columns for this one pass.
    const QSharedPointer<QCPFinancialDataContainer> bars = mDataContainer;
    mDataContainer = m_columns;
    QCPFinancial::draw(painter);
    mDataContainer = bars;
}
