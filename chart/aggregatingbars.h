// A histogram that, zoomed out to several bars a pixel, draws per pixel column
// only the tallest bar above the base and the deepest below it: the picture
// every bar would paint, at the cost of the plot's width. Given a source, it
// draws the owner's values in place and keeps no copy.
#pragma once

#include "plotsource.h"

#include <qcustomplot.h>

class AggregatingBars : public QCPBars
{
    Q_OBJECT

public:
    AggregatingBars(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingBars() override;

    void setSource(SeriesSource source);

    int dataCount() const override;
    double dataMainKey(int index) const override;
    double dataSortKey(int index) const override;
    double dataMainValue(int index) const override;
    QCPRange dataValueRange(int index) const override;

protected:
    void draw(QCPPainter *painter) override;

private:
    SeriesSource m_source;
    QSharedPointer<QCPBarsDataContainer> m_columns;
};
