// The order dialog's live graph of the latest bids and asks of one symbol, with
// the current prices tagged on the value axis.
#pragma once

#include "tickdata.h"

#include <qcustomplot.h>

class AxisTag;

class TickGraph : public QCustomPlot
{
    Q_OBJECT

public:
    static constexpr int capacity = 100;

    explicit TickGraph(QWidget *parent = nullptr);
    ~TickGraph() override;

    void clearTicks();
    void addTick(const TickData &tick);
    int tickCount() const;

private:
    QCPGraph *m_bid = nullptr;
    QCPGraph *m_ask = nullptr;
    AxisTag *m_bidTag = nullptr;
    AxisTag *m_askTag = nullptr;
    double m_nextKey = 0;
};
