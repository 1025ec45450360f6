#include "tickgraph.h"

#include "axistag.h"
#include "jsonreadings.h"

namespace {

const QColor bidColour(0xc6, 0x28, 0x28);
const QColor askColour(0x15, 0x65, 0xc0);

} // namespace

TickGraph::TickGraph(QWidget *parent)
    : QCustomPlot(parent)
{
    setMinimumHeight(120);
    xAxis->setTicks(false);
    xAxis->setTickLabels(false);
    yAxis->setVisible(false);
    yAxis2->setVisible(true);
    // The tags carry the prices; tick labels would only collide with them.
    yAxis2->setTickLabels(false);
    // Room on the right for the price tags.
    axisRect()->setAutoMargins(QCP::msLeft | QCP::msTop | QCP::msBottom);
    axisRect()->setMargins(QMargins(0, 0, 80, 0));

    m_bid = addGraph(xAxis, yAxis2);
    m_bid->setPen(QPen(bidColour, 2));
    m_ask = addGraph(xAxis, yAxis2);
    m_ask->setPen(QPen(askColour, 2));
    m_bidTag = new AxisTag(yAxis2);
    m_bidTag->setPen(QPen(bidColour));
    m_askTag = new AxisTag(yAxis2);
    m_askTag->setPen(QPen(askColour));
    clearTicks();
}

TickGraph::~TickGraph() = default;

void TickGraph::clearTicks()
{
    m_bid->data()->clear();
    m_ask->data()->clear();
    m_nextKey = 0;
    m_bidTag->setText(QString());
    m_askTag->setText(QString());
    replot(rpQueuedReplot);
}

int TickGraph::tickCount() const
{
    return m_bid->dataCount();
}

void TickGraph::addTick(const TickData &tick)
{
    const double key = m_nextKey++;
    m_bid->addData(key, tick.bid);
    m_ask->addData(key, tick.ask);
    // Only the newest ticks are kept, so an open dialog never grows without bound.
    m_bid->data()->removeBefore(key - capacity + 1);
    m_ask->data()->removeBefore(key - capacity + 1);

    xAxis->setRange(key - capacity + 1, key + 1);
    bool found = false;
    QCPRange range = m_bid->data()->valueRange(found);
    if (found) {
        range.expand(m_ask->data()->valueRange(found));
        const double pad = qMax(range.size() * 0.1, qAbs(range.center()) * 1e-5);
        yAxis2->setRange(range.lower - pad, range.upper + pad);
    }
    const int digits = jsonreading::boundedDigits(tick.digits);
    m_bidTag->updatePosition(tick.bid);
    m_bidTag->setText(QString::number(tick.bid, 'f', digits));
    m_askTag->updatePosition(tick.ask);
    m_askTag->setText(QString::number(tick.ask, 'f', digits));
    replot(rpQueuedReplot);
}
