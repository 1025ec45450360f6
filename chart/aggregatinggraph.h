// An indicator line that, zoomed out to many points a pixel, reduces each
// pixel column to its first, lowest, highest and last point, where the
// plotting library's own reduction spends several times as long per point.
// Given a source, it draws the owner's values in place and keeps no copy;
// the column extremes then come from the source's summaries.
#pragma once

#include "plotsource.h"

#include <qcustomplot.h>

class AggregatingGraph : public QCPGraph
{
    Q_OBJECT

public:
    AggregatingGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~AggregatingGraph() override;

    void setSource(SeriesSource source);

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details = nullptr) const override;
    int dataCount() const override;
    double dataMainKey(int index) const override;
    double dataSortKey(int index) const override;
    double dataMainValue(int index) const override;
    QCPRange dataValueRange(int index) const override;

protected:
    void draw(QCPPainter *painter) override;
    void getOptimizedLineData(QVector<QCPGraphData> *lineData, const QCPGraphDataContainer::const_iterator &begin,
                              const QCPGraphDataContainer::const_iterator &end) const override;
    void drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                         const QCPScatterStyle &style) const override;

private:
    // The points in view, reduced per pixel column; the base class draws them.
    void lendVisiblePoints() const;
    void takeBack() const;
    // A plain line's columns, with two points each where the join to the next is hidden anyway.
    void appendLineColumns(const SeriesView &view, int begin, int end, double span,
                           QVector<QCPGraphData> &points) const;

    SeriesSource m_source;
    QSharedPointer<QCPGraphDataContainer> m_lent;
    mutable QSharedPointer<QCPGraphDataContainer> m_own;
    // One disc drawn once per look, then copied to every point.
    mutable QPixmap m_disc;
    mutable QString m_discLook;
};
