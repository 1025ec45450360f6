#include "aggregatingfinancial.h"

#include <algorithm>
#include <cmath>

AggregatingFinancial::AggregatingFinancial(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPFinancial(keyAxis, valueAxis)
    , m_columns(new QCPFinancialDataContainer)
{
}

AggregatingFinancial::~AggregatingFinancial() = default;

void AggregatingFinancial::draw(QCPPainter *painter)
{
    QCPAxis *keyAxis = mKeyAxis.data();
    QCPFinancialDataContainer::const_iterator begin;
    QCPFinancialDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end);
    const int pixels = keyAxis ? std::abs(keyAxis->axisRect()->width()) : 0;
    // Selected candles are marked by index into the bars, so they are drawn bar by bar.
    if (!keyAxis || end - begin <= 2 * std::max(pixels, 1) || !mSelection.isEmpty()) {
        QCPFinancial::draw(painter);
        return;
    }
    QVector<QCPFinancialData> columns;
    columns.reserve(2 * pixels + 2);
    long column = 0;
    for (auto it = begin; it != end; ++it) {
        const double pixel = keyAxis->coordToPixel(it->key);
        const long at = std::isfinite(pixel) ? long(std::floor(pixel)) : 0;
        if (columns.isEmpty() || at != column) {
            // On the column's edge: the painter shifts antialiased lines by half a
            // pixel, so the candle fills that column and not half of the next.
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
    m_columns->set(columns, true);
    // The base class draws whatever its container holds; lend it the columns for this one pass.
    const QSharedPointer<QCPFinancialDataContainer> bars = mDataContainer;
    mDataContainer = m_columns;
    QCPFinancial::draw(painter);
    mDataContainer = bars;
}
