// The chart window's bars: showing a whole series, and taking in what a history
// reply changed without rebuilding the rest or moving the user's view.
#include "symbolchartwidget.h"

#include "mydatetimeticker.h"

#include <algorithm>
#include <cmath>

void SymbolChartWidget::setCandleStickData(QList<CandleStick> data)
{
    showBars(data);
    m_seenRevision = 0;
    if (!data.isEmpty())
        setKeyRange(defaultKeyRange(), PaneCount);
}

QCPRange SymbolChartWidget::defaultKeyRange() const
{
    // The last 50 bars, with one bar's width free on the right.
    const double n = double(std::max(m_keys.size(), 50));
    return QCPRange(n - 50, n);
}

template <typename BarList> void SymbolChartWidget::showBars(const BarList &data)
{
    const int count = data.size();
    // Room for the bars still to come, so the first of them copies nothing.
    for (QVector<double> *series : {&m_keys, &m_timestamps, &m_open, &m_high, &m_low, &m_close}) {
        series->clear();
        series->reserve(count + count / 8 + 64);
        series->resize(count);
    }
    double *keys = m_keys.data();
    double *times = m_timestamps.data();
    double *open = m_open.data();
    double *high = m_high.data();
    double *low = m_low.data();
    double *close = m_close.data();
    for (int i = 0; i < count; ++i) {
        const CandleStick &bar = data.at(i);
        keys[i] = i;
        times[i] = double(bar.timestamp);
        open[i] = bar.open;
        high[i] = bar.high;
        low[i] = bar.low;
        close[i] = bar.close;
    }
    if (count > 0) {
        const CandleStick &last = data.at(count - 1);
        m_lastIndex = count - 1;
        m_lastTime = double(last.timestamp);
        m_lastOpen = last.open;
        m_lastHigh = last.high;
        m_lastLow = last.low;
        m_lastClose = last.close;
    }

    auto ticker = QSharedPointer<MyDateTimeTicker>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd MMM\nHH:mm"));
    ticker->setTimestamps(m_timestamps);
    xAxis->setTicker(ticker);
    summarizeBarsFrom(0);

    ++m_generation;
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

int SymbolChartWidget::firstShownAt(qint64 time) const
{
    return int(std::lower_bound(m_timestamps.cbegin(), m_timestamps.cend(), double(time)) - m_timestamps.cbegin());
}

void SymbolChartWidget::mergeHistory(const ChartManager::HistoryChange &change)
{
    if (change.changedFrom == ChartManager::HistoryChange::Nothing) {
        m_seenRevision = change.revision;
        return;
    }
    const QVector<CandleStick> &bars = change.bars;
    const int shown = m_keys.size();
    const QCPRange view = xAxis->range();
    // A view that reaches the newest bar follows the new ones; any other stays on the bars it shows.
    const bool atLiveEnd = shown == 0 || view.upper >= double(m_lastIndex);
    const auto heldAt = [&bars](qint64 time) {
        return int(std::lower_bound(bars.cbegin(), bars.cend(), time,
                                    [](const CandleStick &bar, qint64 t) { return bar.timestamp < t; }) -
                   bars.cbegin());
    };
    // The bars before the change are the ones shown, unless the chart got out of
    // step (bars of its own, an earlier bar inserted): then it is loaded whole.
    int from = -1;
    if (change.changedFrom != ChartManager::HistoryChange::Everything && shown > 0) {
        from = firstShownAt(change.changedFrom);
        if (from == 0 || from != heldAt(change.changedFrom) ||
            m_timestamps[from - 1] != double(bars[from - 1].timestamp))
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
        const double leftTime = shown > 0 ? m_timestamps[std::clamp(int(std::floor(view.lower)), 0, shown - 1)] : 0;
        showBars(bars);
        if (bars.isEmpty()) {
        } else if (atLiveEnd && shown == 0) {
            setKeyRange(defaultKeyRange(), PaneCount);
        } else if (atLiveEnd) {
            setKeyRange(followed(), PaneCount);
        } else {
            const double moved = double(firstShownAt(qint64(leftTime))) - std::floor(view.lower);
            setKeyRange(view + moved, PaneCount);
        }
    } else {
        // Lines that end a bar early (the moving average) gain their point for the bar
        // before. Cut first, so that no line still shares the bars changed below.
        dropPointsFrom(double(from - 1));
        appendBars(bars, from);
        if (atLiveEnd)
            setKeyRange(followed(), PaneCount);
        updateIndicators();
    }
    m_deferReplot = false;
    m_dirty = true;
    m_seenRevision = change.revision;
}

void SymbolChartWidget::appendBars(const QVector<CandleStick> &bars, int from)
{
    // The ticker shares the times; let go of them so that they change in place.
    const auto ticker = xAxis->ticker().dynamicCast<MyDateTimeTicker>();
    if (ticker)
        ticker->clearTimestamps();
    for (QVector<double> *series : {&m_keys, &m_timestamps, &m_open, &m_high, &m_low, &m_close})
        series->resize(from);
    for (int i = from; i < bars.size(); ++i) {
        const CandleStick &bar = bars.at(i);
        m_keys.append(i);
        m_timestamps.append(double(bar.timestamp));
        m_open.append(bar.open);
        m_high.append(bar.high);
        m_low.append(bar.low);
        m_close.append(bar.close);
    }
    if (ticker)
        ticker->setTimestamps(m_timestamps);
    summarizeBarsFrom(from);
    if (!bars.isEmpty()) {
        const CandleStick &last = bars.constLast();
        m_lastIndex = bars.size() - 1;
        m_lastTime = double(last.timestamp);
        m_lastOpen = last.open;
        m_lastHigh = last.high;
        m_lastLow = last.low;
        m_lastClose = last.close;
    }
    // Results still coming for the bars replaced here would be out of date.
    ++m_generation;
}
