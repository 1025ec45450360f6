// A histogram that, zoomed out to several bars a pixel, draws per pixel column
// only the tallest bar above the base and the deepest below it: the picture
// every bar would paint, at the cost of the plot's width.
#pragma once

#include <qcustomplot.h>

class AggregatingBars : public QCPBars
{
    Q_OBJECT

public:
    AggregatingBars(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingBars() override;

protected:
    void draw(QCPPainter *painter) override;

private:
    QSharedPointer<QCPBarsDataContainer> m_columns;
};
