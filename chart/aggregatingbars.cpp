#include "aggregatingbars.h"

#include <cmath>

AggregatingBars::AggregatingBars(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPBars(keyAxis, valueAxis)
    , m_columns(new QCPBarsDataContainer)
{
}

AggregatingBars::~AggregatingBars() = default;

void AggregatingBars::setSource(SeriesSource source)
{
    m_source = std::move(source);
    mDataContainer->clear();
}

int AggregatingBars::dataCount() const
{
    return m_source ? m_source().count : QCPBars::dataCount();
}

double AggregatingBars::dataMainKey(int index) const
{
    return m_source ? m_source().firstKey + index : QCPBars::dataMainKey(index);
}

double AggregatingBars::dataSortKey(int index) const
{
    return dataMainKey(index);
}

double AggregatingBars::dataMainValue(int index) const
{
    if (!m_source)
        return QCPBars::dataMainValue(index);
    const SeriesView view = m_source();
    return index >= 0 && index < view.count ? view.values[index] : 0.0;
}

QCPRange AggregatingBars::dataValueRange(int index) const
{
    const double value = dataMainValue(index);
    return QCPRange(value, value);
}

void AggregatingBars::draw(QCPPainter *painter)
{
    QCPAxis *keyAxis = mKeyAxis.data();
    const int pixels = keyAxis ? std::abs(keyAxis->axisRect()->width()) : 0;
    // Stacked or grouped bars and selections depend on each bar, so those are drawn bar by bar.
    const bool barByBar = !keyAxis || !mSelection.isEmpty() || mBarBelow || mBarAbove || mBarsGroup;
    QVector<QCPBarsData> columns;
    if (m_source) {
        const SeriesView view = m_source();
        int begin = 0, end = 0;
        if (keyAxis && view.values)
            plotsource::visibleIndexes(view.firstKey, view.count, keyAxis->range(), begin, end);
        if (barByBar || end - begin <= 2 * std::max(pixels, 1)) {
            columns.reserve(end - begin);
            for (int i = begin; i < end; ++i)
                columns.append(QCPBarsData(view.firstKey + i, view.values[i]));
        } else {
            columns.reserve(2 * pixels + 4);
            const bool snapEnds = plotsource::snapsColumnEnds(end - begin, pixels);
            plotsource::forEachColumn(keyAxis, view.firstKey, begin, end, [&](int first, int last, double pixel) {
                double low, high;
                plotsource::columnExtremes(view, first, last, snapEnds, low, high);
                // On the column's edge: the painter shifts antialiased shapes by half a pixel.
                const double key = keyAxis->pixelToCoord(pixel);
                if (high >= mBaseValue)
                    columns.append(QCPBarsData(key, high));
                if (low < mBaseValue)
                    columns.append(QCPBarsData(key, low));
            });
        }
    } else {
        QCPBarsDataContainer::const_iterator begin;
        QCPBarsDataContainer::const_iterator end;
        getVisibleDataBounds(begin, end);
        if (barByBar || end - begin <= 2 * std::max(pixels, 1)) {
            QCPBars::draw(painter);
            return;
        }
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
                slot = columns.size();
                columns.append(QCPBarsData(keyAxis->pixelToCoord(double(at)), it->value));
            } else if (std::abs(it->value - mBaseValue) > std::abs(columns[slot].value - mBaseValue)) {
                columns[slot].value = it->value;
            }
        }
    }
    m_columns->set(columns, true);
    // The base class draws whatever its container holds; lend it the columns for this one pass.
    const QSharedPointer<QCPBarsDataContainer> bars = mDataContainer;
    mDataContainer = m_columns;
    QCPBars::draw(painter);
    mDataContainer = bars;
}
