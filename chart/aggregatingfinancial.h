// Candles that, zoomed out to several bars a pixel, draw one candle per pixel
// column: the first bar's open, the highest high, the lowest low and the last
// bar's close of the bars in that column. The picture is the one every bar
// would paint, at the cost of the plot's width instead of the history's length.
// Given a source, it draws the owner's bars in place and keeps no copy.
#pragma once

#include "plotsource.h"

#include <qcustomplot.h>

class AggregatingFinancial : public QCPFinancial
{
    Q_OBJECT

public:
    AggregatingFinancial(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingFinancial() override;

    void setSource(CandleSource source);

    int dataCount() const override;
    double dataMainKey(int index) const override;
    double dataSortKey(int index) const override;
    double dataMainValue(int index) const override;
    QCPRange dataValueRange(int index) const override;

protected:
    void draw(QCPPainter *painter) override;

private:
    CandleSource m_source;
    QSharedPointer<QCPFinancialDataContainer> m_columns;
};
