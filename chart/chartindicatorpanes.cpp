// The chart window's indicators: which are computed and when, the hand-over of
// their outputs to the plottables and summaries, the work moved to a worker
// when a bar opens, the value axes fitted to what is in view, and the switches.
#include "symbolchartwidget.h"

#include "seriesindex.h"
#include "usersettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Indicator = SymbolChartWidget::Indicator;

// The settings keys: a pane key stands for its pane, an overlay key for one line.
struct SwitchKey
{
    const char *suffix;
    Indicator indicator;
    const char *line; // nullptr for a pane
    bool writeOnly = false;
};

// In load order, which is also the stacking order of the panes. The two
// RelativeVigorIndex line keys are written for older readers but never read back.
const SwitchKey kSwitchKeys[] = {
    {"Adx", SymbolChartWidget::Adx, nullptr},
    {"BollingerML", SymbolChartWidget::Bollinger, "ml"},
    {"BollingerTL", SymbolChartWidget::Bollinger, "tl"},
    {"BollingerBL", SymbolChartWidget::Bollinger, "bl"},
    {"CommodityChannelIndex", SymbolChartWidget::CommodityChannelIndex, nullptr},
    {"MACD", SymbolChartWidget::Macd, nullptr},
    {"Momentum", SymbolChartWidget::Momentum, nullptr},
    {"MovingAverage", SymbolChartWidget::MovingAverage, ""},
    {"ParabolicSAR", SymbolChartWidget::ParabolicSar, ""},
    {"EnvelopesUpper", SymbolChartWidget::Envelopes, "upper"},
    {"EnvelopesLower", SymbolChartWidget::Envelopes, "lower"},
    {"AlligatorJaws", SymbolChartWidget::Alligator, "jaws"},
    {"AlligatorTeeth", SymbolChartWidget::Alligator, "teeth"},
    {"AlligatorLips", SymbolChartWidget::Alligator, "lips"},
    {"RSI", SymbolChartWidget::Rsi, nullptr},
    {"StandardDeviation", SymbolChartWidget::StandardDeviation, nullptr},
    {"ForceIndex", SymbolChartWidget::ForceIndex, nullptr},
    {"WilliamsPercentRange", SymbolChartWidget::WilliamsPercentRange, nullptr},
    {"AverageTrueRange", SymbolChartWidget::AverageTrueRange, nullptr},
    {"DeMarker", SymbolChartWidget::DeMarker, nullptr},
    {"AccumulationDistribution", SymbolChartWidget::AccumulationDistribution, nullptr},
    {"OnBalanceVolume", SymbolChartWidget::OnBalanceVolume, nullptr},
    {"MoneyFlowIndex", SymbolChartWidget::MoneyFlowIndex, nullptr},
    {"BullsPower", SymbolChartWidget::BullsPower, nullptr},
    {"BearsPower", SymbolChartWidget::BearsPower, nullptr},
    {"RelativeVigorIndex", SymbolChartWidget::RelativeVigorIndex, nullptr},
    {"RelativeVigorIndex1", SymbolChartWidget::RelativeVigorIndex, "rvi1", true},
    {"RelativeVigorIndex2", SymbolChartWidget::RelativeVigorIndex, "rvi2", true},
};

// Panes in the order their value axes are fitted, with the lines that fit them;
// the MACD histogram is left out so that the signal line sets the scale.
struct PaneFit
{
    Indicator indicator;
    QStringList lines;
};

const QList<PaneFit> &paneFits()
{
    static const QList<PaneFit> fits = {
        {SymbolChartWidget::Adx, {"adx", "pdi", "mdi"}},
        {SymbolChartWidget::CommodityChannelIndex, {QString()}},
        {SymbolChartWidget::Macd, {"signal"}},
        {SymbolChartWidget::Momentum, {QString()}},
        {SymbolChartWidget::Rsi, {QString()}},
        {SymbolChartWidget::StandardDeviation, {QString()}},
        {SymbolChartWidget::ForceIndex, {QString()}},
        {SymbolChartWidget::WilliamsPercentRange, {QString()}},
        {SymbolChartWidget::AverageTrueRange, {QString()}},
        {SymbolChartWidget::DeMarker, {QString()}},
        {SymbolChartWidget::AccumulationDistribution, {QString()}},
        {SymbolChartWidget::OnBalanceVolume, {QString()}},
        {SymbolChartWidget::BearsPower, {QString()}},
        {SymbolChartWidget::BullsPower, {QString()}},
        {SymbolChartWidget::MoneyFlowIndex, {QString()}},
        {SymbolChartWidget::RelativeVigorIndex, {"rvi1", "rvi2"}},
    };
    return fits;
}

} // namespace

bool SymbolChartWidget::indicatorWanted(Indicator indicator) const
{
    const IndicatorGraphs &graphs = m_graphs[indicator];
    if (graphs.pane)
        return graphs.pane->visible();
    // Overlays are computed only while one of their lines is shown; switching one
    // on recomputes, so what is drawn is the same.
    return std::any_of(graphs.lines.cbegin(), graphs.lines.cend(),
                       [](const auto &line) { return line.second->visible(); });
}

void SymbolChartWidget::computeIndicator(Indicator indicator)
{
    computeInto(indicator, m_outputs[indicator], barsForIndicators(), &m_syntheticVolume);
}

SymbolChartWidget::Bars SymbolChartWidget::barsForIndicators() const
{
    // The key count bounds what the indicators read: the columns may run past the bars shown.
    return {IndicatorKeys::stepping(0.0, m_bars.size()), m_bars.open(), m_bars.high(), m_bars.low(), m_bars.close()};
}

bool SymbolChartWidget::rebuildsWhole(Indicator indicator)
{
    switch (indicator) {
    case ParabolicSar:
    case Envelopes:
    case Alligator:
    case BullsPower:
    case BearsPower:
    case RelativeVigorIndex: return true;
    default: return false;
    }
}

void SymbolChartWidget::computeInto(Indicator indicator, IndicatorLines &out, const Bars &bars,
                                    QVector<double> *volume)
{
    const IndicatorKeys &k = bars.keys;
    const QVector<double> &o = bars.open;
    const QVector<double> &h = bars.high;
    const QVector<double> &l = bars.low;
    const QVector<double> &c = bars.close;
    switch (indicator) {
    case Adx: calcAdx(out, k, o, h, l, c, 14); break;
    case Bollinger: calcBollinger(out, k, c, 20, 2); break;
    case CommodityChannelIndex: calcCommodityChannelIndex(out[QString()], k, o, h, l, c, 14, 6); break;
    case Macd: calcMacd(out, k, o, h, l, c, 12, 26, 9, 0); break;
    case Momentum: calcMomentum(out[QString()], k, o, h, l, c, 14, 0); break;
    case MovingAverage: calcMovingAverage(out[QString()], k, o, h, l, c, 10, QStringLiteral("Simple"), 0); break;
    case ParabolicSar: calcParabolicSar(k, h, l, out[QString()], 0.2, 0.2); break;
    case Envelopes: calcEnvelopes(k, c, out, 14, 0.1); break;
    case Alligator: calcAlligator(k, c, out); break;
    case Rsi: calcRsi(out[QString()], k, c, 14); break;
    case StandardDeviation: calcStandardDeviation(out[QString()], k, c, 14); break;
    case ForceIndex:
        if (!volume)
            break;
        // The force index reads the volume of new bars only: draw volumes for those alone.
        if (volume->size() > k.size())
            volume->resize(k.size());
        if (volume->size() < k.size())
            *volume += makeSyntheticVolume(k.size() - volume->size());
        calcForceIndex(out[QString()], k, c, *volume, 14);
        break;
    case WilliamsPercentRange: calcWilliamsPercentRange(out[QString()], k, h, l, c, 14); break;
    case AverageTrueRange: calcAverageTrueRange(out[QString()], k, h, l, c, 14); break;
    case DeMarker: calcDeMarker(out[QString()], k, h, l, 14); break;
    case AccumulationDistribution: calcAccumulationDistribution(out[QString()], k, o, h, l, c); break;
    case OnBalanceVolume: calcOnBalanceVolume(out[QString()], k, c, h); break;
    case BullsPower: calcPower(k, h, c, out[QString()], 14); break;
    case BearsPower: calcPower(k, l, c, out[QString()], 14); break;
    case MoneyFlowIndex: calcMoneyFlowIndex(out[QString()], k, h, l, c, 14); break;
    case RelativeVigorIndex: calcRelativeVigorIndex(out, k, o, h, l, c, 10); break;
    case IndicatorCount: break;
    }
}

void SymbolChartWidget::startBackgroundIndicators()
{
    if (m_backgroundRunning) {
        m_backgroundPending = true;
        return;
    }
    QList<int> wanted;
    for (int i = 0; i < IndicatorCount; ++i) {
        if (rebuildsWhole(Indicator(i)) && indicatorWanted(Indicator(i)))
            wanted.append(i);
    }
    m_backgroundPending = false;
    if (wanted.isEmpty())
        return;
    m_backgroundRunning = true;
    const Bars bars = barsForIndicators();
    const quint64 generation = m_generation;
    // The outputs so far go along, so each continues from its last bar instead of starting over.
    QMap<int, IndicatorLines> held;
    for (int i : wanted)
        held[i] = m_outputs[i];
    // The destructor waits for this job, so the window outlives it; a result
    // posted to a window destroyed meanwhile is dropped with its event queue.
    m_indicatorPool.start([this, bars, wanted, generation, held] {
        QMap<int, IndicatorLines> results = held;
        for (int i : wanted)
            computeInto(Indicator(i), results[i], bars, nullptr);
        const int barCount = bars.keys.size();
        QMetaObject::invokeMethod(
            this, [this, results, generation, barCount] { applyBackgroundIndicators(results, generation, barCount); },
            Qt::QueuedConnection);
    });
}

void SymbolChartWidget::applyBackgroundIndicators(const QMap<int, IndicatorLines> &results, quint64 generation,
                                                  int barCount)
{
    m_backgroundRunning = false;
    // Results of bars since replaced, or already outgrown by a newer bar, are dropped.
    if (generation == m_generation && barCount == m_bars.size()) {
        for (auto it = results.cbegin(); it != results.cend(); ++it) {
            m_outputs[it.key()] = it.value();
            if (indicatorWanted(Indicator(it.key())))
                publishIndicator(Indicator(it.key()), m_backgroundFrom);
        }
        m_backgroundFrom = std::numeric_limits<double>::infinity();
        m_deferReplot = true;
        rescaleYAxis(xAxis->range());
        m_deferReplot = false;
    }
    if (m_backgroundPending)
        startBackgroundIndicators();
}

void SymbolChartWidget::publishIndicator(Indicator indicator, double fromKey)
{
    // The plottables read the outputs in place; only their summaries follow.
    const IndicatorLines &out = m_outputs[indicator];
    QMap<QString, SummaryPyramid> &summaries = m_summaries[indicator];
    for (auto line = out.cbegin(); line != out.cend(); ++line) {
        const int from = std::isfinite(fromKey) ? firstPointAtOrAfter(*line, fromKey) : 0;
        summaries[line.key()].update(line->values.constData(), std::min(line->keys.size(), line->values.size()),
                                     from);
    }
}

SeriesSource SymbolChartWidget::lineSource(Indicator indicator, const QString &name)
{
    return [this, indicator, name] {
        SeriesView view;
        const IndicatorLines &out = m_outputs[indicator];
        const auto line = out.constFind(name);
        if (line == out.constEnd())
            return view;
        view.count = std::min(line->keys.size(), line->values.size());
        view.firstKey = view.count > 0 ? line->keys.first() : 0.0;
        view.values = line->values.constData();
        const auto summary = m_summaries[indicator].constFind(name);
        view.summary = summary == m_summaries[indicator].constEnd() ? nullptr : &*summary;
        return view;
    };
}

CandleView SymbolChartWidget::candleView() const
{
    CandleView view;
    view.count = m_bars.size();
    view.open = m_bars.open().constData();
    view.high = m_bars.high().constData();
    view.low = m_bars.low().constData();
    view.close = m_bars.close().constData();
    view.highs = &m_bars.highs();
    view.lows = &m_bars.lows();
    // The live bar's prices move with each tick; the series keep those of its first.
    view.hasLive = view.count > 0;
    view.live = QCPFinancialData(m_lastIndex, m_lastOpen, m_lastHigh, m_lastLow, m_lastClose);
    return view;
}

void SymbolChartWidget::clearIndicatorOutputs()
{
    // Emptied, not dropped: the next computation writes into storage already
    // paged in, which costs less than the computation itself on long charts.
    for (IndicatorLines &lines : m_outputs) {
        for (IndicatorSeries &series : lines) {
            series.keys.resize(0);
            series.values.resize(0);
            series.resume.clear();
        }
    }
    m_syntheticVolume.clear();
    for (auto &summaries : m_summaries)
        summaries.clear();
}

void SymbolChartWidget::dropPointsFrom(double key)
{
    for (IndicatorLines &lines : m_outputs) {
        for (IndicatorSeries &series : lines) {
            const int keep = firstPointAtOrAfter(series, key);
            // Cutting a line shared with the bars or a finished background run would
            // copy all of it here; only lines rebuilt whole on the worker are shared,
            // so let that rebuild start from nothing instead.
            if (keep < series.keys.size() && !series.values.isDetached()) {
                series = IndicatorSeries();
                continue;
            }
            if (keep < series.keys.size())
                series.keys.resize(keep);
            if (keep < series.values.size())
                series.values.resize(keep);
        }
    }
    m_publishFrom = key;
}

void SymbolChartWidget::updateIndicators()
{
    // Bears power is computed before bulls power.
    static const Indicator order[] = {Adx,      Bollinger, CommodityChannelIndex,
                                      Macd,     Momentum,  MovingAverage,
                                      ParabolicSar, Envelopes, Alligator,
                                      Rsi,      StandardDeviation, ForceIndex,
                                      WilliamsPercentRange, AverageTrueRange, DeMarker,
                                      AccumulationDistribution, OnBalanceVolume, BearsPower,
                                      BullsPower, MoneyFlowIndex, RelativeVigorIndex};
    const double fromKey = m_publishFrom;
    m_publishFrom = -std::numeric_limits<double>::infinity();
    // Only a new bar extends the graphs; everything else redraws them whole.
    const bool newBar = std::isfinite(fromKey);
    bool background = false;
    for (Indicator indicator : order) {
        if (!indicatorWanted(indicator))
            continue;
        if (newBar && rebuildsWhole(indicator)) {
            background = true;
            continue;
        }
        computeIndicator(indicator);
        publishIndicator(indicator, fromKey);
    }
    if (background) {
        m_backgroundFrom = std::min(m_backgroundFrom, fromKey);
        startBackgroundIndicators();
    }
    rescaleYAxis(xAxis->range());
}

void SymbolChartWidget::rescaleYAxis(QCPRange new_range)
{
    // Setting the bottom axes below calls back here with the same range.
    if (m_fitting)
        return;
    m_fitting = true;
    fitAxes(new_range);
    m_fitting = false;
    if (m_deferReplot)
        m_dirty = true;
    else
        replot(rpRefreshHint);
}

void SymbolChartWidget::fitAxes(const QCPRange &range)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    struct Pair
    {
        double min = kMax;
        double max = -kMax;
        void take(double v)
        {
            if (!std::isfinite(v))
                return;
            min = std::min(min, v);
            max = std::max(max, v);
        }
    };
    Pair price;
    const QList<PaneFit> &fits = paneFits();
    QVector<Pair> panes(fits.size());

    // The bars in view and one beyond either side, read through their summaries.
    const int count = m_bars.size();
    int begin = 0, end = 0;
    plotsource::visibleIndexes(0.0, count, range, begin, end);
    if (begin < end) {
        const int stored = std::min(end, count - 1); // the live bar's prices are apart
        double low, high, ignored;
        m_bars.highs().extremes(m_bars.high().constData(), begin, stored, ignored, high);
        m_bars.lows().extremes(m_bars.low().constData(), begin, stored, low, ignored);
        price.take(high);
        price.take(low);
        for (int p = 0; p < fits.size(); ++p) {
            const IndicatorLines &out = m_outputs[fits[p].indicator];
            for (const QString &name : fits[p].lines) {
                const auto line = out.constFind(name);
                if (line == out.constEnd())
                    continue;
                const int first = firstPointAtOrAfter(*line, begin);
                const int last = firstPointAtOrAfter(*line, end);
                SeriesView view;
                view.values = line->values.constData();
                const QMap<QString, SummaryPyramid> &summaries = m_summaries[fits[p].indicator];
                const auto summary = summaries.constFind(name);
                view.summary = summary == summaries.constEnd() ? nullptr : &*summary;
                plotsource::extremes(view, first, last, low, high);
                panes[p].take(low);
                panes[p].take(high);
            }
        }
    }

    // The live bar stays inside the price range even when scrolled out of view.
    if (count > 0) {
        price.take(m_lastLow);
        price.take(m_lastHigh);
    }
    yAxis2->setRange(price.min, price.max);
    xAxis->setRange(range);
    for (int p = 0; p < fits.size(); ++p) {
        QCPAxisRect *pane = m_graphs[fits[p].indicator].pane;
        pane->axis(QCPAxis::atRight)->setRange(panes[p].min, panes[p].max);
        pane->axis(QCPAxis::atBottom)->setRange(range);
    }
}

void SymbolChartWidget::loadIndicatorSettings()
{
    UserSettings settings;
    const QString prefix = QStringLiteral("Indicator/%1/").arg(m_symbol);
    for (const SwitchKey &key : kSwitchKeys) {
        if (key.writeOnly)
            continue;
        const bool on = settings.value(prefix + QLatin1String(key.suffix), false).toBool();
        IndicatorGraphs &graphs = m_graphs[key.indicator];
        if (!key.line) {
            graphs.pane->setVisible(on);
            if (on) {
                if (!plotLayout()->elements(false).contains(graphs.pane))
                    plotLayout()->addElement(graphs.pane);
            } else {
                removeFromLayout(graphs.pane);
            }
            m_indicatorActions[key.indicator]->setChecked(on);
            continue;
        }
        for (const auto &line : qAsConst(graphs.lines)) {
            if (line.first == QLatin1String(key.line))
                line.second->setVisible(on);
        }
        m_indicatorActions[key.indicator]->setChecked(indicatorWanted(key.indicator));
    }
    plotLayout()->simplify();
}

void SymbolChartWidget::saveIndicatorSettings()
{
    UserSettings settings;
    const QString prefix = QStringLiteral("Indicator/%1/").arg(m_symbol);
    for (const SwitchKey &key : kSwitchKeys) {
        const IndicatorGraphs &graphs = m_graphs[key.indicator];
        bool on = false;
        if (!key.line) {
            on = graphs.pane->visible();
        } else {
            for (const auto &line : graphs.lines) {
                if (line.first == QLatin1String(key.line))
                    on = line.second->visible();
            }
        }
        settings.setValue(prefix + QLatin1String(key.suffix), on);
    }
}

