// An indicator line that, zoomed out to many points a pixel, reduces each
// pixel column to its first, lowest, highest and last point in one tight pass
// over the column, where the plotting library's own reduction spends several
// times as long per point.
#pragma once

#include <qcustomplot.h>

class AggregatingGraph : public QCPGraph
{
    Q_OBJECT

public:
    AggregatingGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingGraph() override;

protected:
    void getOptimizedLineData(QVector<QCPGraphData> *lineData, const QCPGraphDataContainer::const_iterator &begin,
                              const QCPGraphDataContainer::const_iterator &end) const override;
};
