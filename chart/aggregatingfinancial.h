// Candles that, zoomed out to several bars a pixel, draw one candle per pixel
// column: the first bar's open, the highest high, the lowest low and the last
// bar's close of the bars in that column. The picture is the one every bar
// would paint, at the cost of the plot's width instead of the history's length.
#pragma once

#include <qcustomplot.h>

class AggregatingFinancial : public QCPFinancial
{
    Q_OBJECT

public:
    AggregatingFinancial(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingFinancial() override;

protected:
    void draw(QCPPainter *painter) override;

private:
    QSharedPointer<QCPFinancialDataContainer> m_columns;
};
