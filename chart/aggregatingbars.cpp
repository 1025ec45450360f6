#include "aggregatingbars.h"

#include <cmath>

AggregatingBars::AggregatingBars(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPBars(keyAxis, valueAxis)
    , m_columns(new QCPBarsDataContainer)
{
}

AggregatingBars::~AggregatingBars() = default;

void AggregatingBars::draw(QCPPainter *painter)
{
    QCPAxis *keyAxis = mKeyAxis.data();
    QCPBarsDataContainer::const_iterator begin;
    QCPBarsDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end);
    const int pixels = keyAxis ? std::abs(keyAxis->axisRect()->width()) : 0;
    // Stacked or grouped bars and selections depend on each bar, so those are drawn bar by bar.
    if (!keyAxis || end - begin <= 2 * std::max(pixels, 1) || !mSelection.isEmpty() || mBarBelow || mBarAbove ||
        mBarsGroup) {
        QCPBars::draw(painter);
        return;
    }
    QVector<QCPBarsData> columns;
    columns.reserve(4 * pixels + 4);
    long column = 0;
    int above = -1; // the column's entries in columns, -1 while it has none
    int below = -1;
    for (auto it = begin; it != end; ++it) {
        const double pixel = keyAxis->coordToPixel(it->key);
        const long at = std::isfinite(pixel) ? long(std::floor(pixel)) : 0;
        if (at != column) {
            column = at;
            above = below = -1;
        }
        if (!std::isfinite(it->value))
            continue;
        int &slot = it->value >= mBaseValue ? above : below;
        if (slot < 0) {
            // On the column's edge: the painter shifts antialiased shapes by half a pixel.
            slot = columns.size();
            columns.append(QCPBarsData(keyAxis->pixelToCoord(double(at)), it->value));
        } else if (std::abs(it->value - mBaseValue) > std::abs(columns[slot].value - mBaseValue)) {
            columns[slot].value = it->value;
        }
    }
    m_columns->set(columns, true);
    // The base class draws whatever its container holds; lend it the columns for this one pass.
    const QSharedPointer<QCPBarsDataContainer> bars = mDataContainer;
    mDataContainer = m_columns;
    QCPBars::draw(painter);
    mDataContainer = bars;
}
