// The chart window's bars: showing a whole series, and taking in what a history
// reply changed without rebuilding the rest or moving the user's view.
#include "symbolchartwidget.h"

#include "mydatetimeticker.h"

#include <algorithm>
#include <cmath>

void SymbolChartWidget::setCandleStickData(QList<CandleStick> data)
{
    showBars(BarStore::fromBars(data));
    m_seenRevision = 0;
    if (!data.isEmpty())
        setKeyRange(defaultKeyRange(), PaneCount);
}

QCPRange SymbolChartWidget::defaultKeyRange() const
{
    // The last 50 bars, with one bar's width free on the right.
    const double n = double(std::max(m_bars.size(), 50));
    return QCPRange(n - 50, n);
}

void SymbolChartWidget::takeBars(const BarStore &bars)
{
    // The ticker shares the times; it takes them again below.
    if (const auto ticker = xAxis->ticker().dynamicCast<MyDateTimeTicker>())
        ticker->setBarTimes(bars.times(), bars.size());
    m_bars = bars;
    const int count = m_bars.size();
    if (count > 0) {
        const CandleStick last = m_bars.last();
        m_lastIndex = count - 1;
        m_lastTime = double(last.timestamp);
        m_lastOpen = last.open;
        m_lastHigh = last.high;
        m_lastLow = last.low;
        m_lastClose = last.close;
    }
    // Results still coming for the bars replaced here would be out of date.
    ++m_generation;
}

void SymbolChartWidget::showBars(const BarStore &bars)
{
    auto ticker = QSharedPointer<MyDateTimeTicker>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd MMM\nHH:mm"));
    xAxis->setTicker(ticker);
    takeBars(bars);

    m_backgroundPending = false;
    m_backgroundFrom = std::numeric_limits<double>::infinity();
    clearIndicatorOutputs();
    updateIndicators();
}

void SymbolChartWidget::setKeyRange(const QCPRange &range, int paneCount)
{
    xAxis->setRange(range);
    for (int i = 0; i < paneCount; ++i)
        m_panes[i]->axis(QCPAxis::atBottom)->setRange(range);
}

void SymbolChartWidget::onReadyChartHistory(QString symbol, int period)
{
    if (!m_chartManager || symbol != m_symbol || period != m_period)
        return;
    mergeHistory(m_chartManager->chartHistorySince(symbol, period, m_seenRevision));
    restoreObjects(period);
}

void SymbolChartWidget::mergeHistory(const ChartManager::HistoryChange &change)
{
    if (change.changedFrom == ChartManager::HistoryChange::Nothing) {
        m_seenRevision = change.revision;
        return;
    }
    const BarStore &bars = change.bars;
    const int shown = m_bars.size();
    const QCPRange view = xAxis->range();
    // A view that reaches the newest bar follows the new ones; any other stays on the bars it shows.
    const bool atLiveEnd = shown == 0 || view.upper >= double(m_lastIndex);
    // The bars before the change are the ones shown, unless the chart got out of
    // step (bars of its own, an earlier bar inserted): then it is loaded whole.
    int from = -1;
    if (change.changedFrom != ChartManager::HistoryChange::Everything && shown > 0) {
        from = m_bars.indexAtOrAfter(change.changedFrom);
        if (from == 0 || from != bars.indexAtOrAfter(change.changedFrom) ||
            m_bars.time(from - 1) != bars.time(from - 1))
            from = -1;
    }

    m_deferReplot = true;
    const double oldLast = double(m_lastIndex);
    // Following new bars, the view ends no further past the newest bar than a chart opened on them would.
    const auto followed = [&] {
        const double room = defaultKeyRange().upper - view.upper;
        return view + std::max(0.0, std::min(double(m_lastIndex) - oldLast, room));
    };
    if (from < 0) {
        const qint64 leftTime = shown > 0 ? m_bars.time(std::clamp(int(std::floor(view.lower)), 0, shown - 1)) : 0;
        showBars(bars);
        if (bars.isEmpty()) {
        } else if (atLiveEnd && shown == 0) {
            setKeyRange(defaultKeyRange(), PaneCount);
        } else if (atLiveEnd) {
            setKeyRange(followed(), PaneCount);
        } else {
            const double moved = double(m_bars.indexAtOrAfter(leftTime)) - std::floor(view.lower);
            setKeyRange(view + moved, PaneCount);
        }
    } else {
        // Lines that end a bar early (the moving average) gain their point for the bar
        // before. Cut first, so that no line still shares the bars changed below.
        dropPointsFrom(double(from - 1));
        // The bars before the change are the same: the manager's are taken whole.
        takeBars(bars);
        if (atLiveEnd)
            setKeyRange(followed(), PaneCount);
        updateIndicators();
    }
    m_deferReplot = false;
    m_dirty = true;
    m_seenRevision = change.revision;
}
