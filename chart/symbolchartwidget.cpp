#include "symbolchartwidget.h"

#include "aggregatingbars.h"
#include "aggregatingfinancial.h"
#include "aggregatinggraph.h"
#include "axistag.h"
#include "bartime.h"
#include "chartmanager.h"
#include "jsonreadings.h"
#include "mydatetimeticker.h"
#include "oneclicktradingbuttons.h"
#include "tickdata.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QDebug>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kIndicatorSettingsOrganisation = QStringLiteral("MorWell");
const QString kSettingsApplication = QStringLiteral("Client");

using Indicator = SymbolChartWidget::Indicator;

struct IndicatorInfo
{
    const char *menuText;
    int pane; // index among the panes, -1 for an overlay of the price pane
};

// Pane indices follow the order in which the value axes are fitted.
const IndicatorInfo kIndicators[SymbolChartWidget::IndicatorCount] = {
    {"Adx", 0},
    {"Bollinger", -1},
    {"Commodity Channel Index", 1},
    {"MACD", 2},
    {"Momentum", 3},
    {"Moving Average", -1},
    {"Parabolic SAR", -1},
    {"Envelopes", -1},
    {"Alligator", -1},
    {"RSI", 4},
    {"Standard Deviation", 5},
    {"Force Index", 6},
    {"Williams' Percent Range", 7},
    {"Average True Range", 8},
    {"DeMarker", 9},
    {"Accumulation/Distribution", 10},
    {"On Balance Volume", 11},
    {"Bulls Power", 13},
    {"Bears Power", 12},
    {"Money Flow Index", 14},
    {"Relative Vigor Index", 15},
};

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

const QList<QPair<QString, int>> &periodTable()
{
    static const QList<QPair<QString, int>> table = {
        {"M1", 1}, {"M5", 5}, {"M15", 15}, {"M30", 30}, {"H1", 60},
        {"H4", 240}, {"D1", 1440}, {"W1", 10080}, {"MN", 40000},
    };
    return table;
}

bool isMonthly(int period) { return period > 39999; }

// Index of the first point at or after a bar; keys of a series are ascending bar indices.
int firstPointAtOrAfter(const IndicatorSeries &series, double key)
{
    return int(std::lower_bound(series.keys.cbegin(), series.keys.cend(), key) - series.keys.cbegin());
}

} // namespace

SymbolChartWidget::SymbolChartWidget(ChartManager *chartManager, const QString &symbol, int period, QWidget *parent)
    : QCustomPlot(parent)
    , m_chartManager(chartManager)
    , m_symbol(symbol)
    // A saved workspace may carry a broken period; the bucket rule divides by it.
    , m_period(period > 0 ? period : DefaultPeriod)
    , m_objects(ChartObjectRegistry::storedCounter(symbol))
{
    m_indicatorPool.setMaxThreadCount(1);
    setWindowIcon(QIcon(QPixmap(1, 1)));
    const QString label = periodLabel(m_period);
    setWindowTitle(QStringLiteral("%1, %2").arg(m_symbol, label));
    setGeometry(0, 0, 800, 500);

    m_drawTimer = new QTimer(this);
    connect(m_drawTimer, &QTimer::timeout, this, &SymbolChartWidget::onDrawTimer);
    m_drawTimer->start(50);

    setupPlot();
    connect(this, &QCustomPlot::beforeReplot, this, &SymbolChartWidget::keepPricePaneHeight);
    connect(this, &QCustomPlot::beforeReplot, this, &SymbolChartWidget::refreshLevelTagTexts);

    m_infoLabel = new QLabel(QStringLiteral("Chart: %1 Time Frame: %2").arg(m_symbol, label), this);
    m_infoLabel->setStyleSheet(labelStyleSheet(m_axisColor));
    m_indicatorLabel = new QLabel(this);
    m_indicatorLabel->setStyleSheet(labelStyleSheet(m_axisColor));
    m_indicatorLabel->setGeometry(10, 50, 110, 15);

    m_oneClick = new OneClickTradingButtons(m_symbol, this);
    m_oneClick->setGeometry(10, 40, 240, 55);
    m_oneClick->hide();
    connect(m_oneClick, &OneClickTradingButtons::buyButtonClicked, this, &SymbolChartWidget::buy);
    connect(m_oneClick, &OneClickTradingButtons::sellButtonClicked, this, &SymbolChartWidget::sell);

    createContextMenu();

    if (m_chartManager) {
        connect(m_chartManager, &ChartManager::readyChartHistory, this, &SymbolChartWidget::onReadyChartHistory,
                Qt::QueuedConnection);
        loadChart();
    }

    setAttribute(Qt::WA_MouseTracking);
    loadIndicatorSettings();
    // The first bar load ran before the switches were read: fill what they show now.
    if (!m_keys.isEmpty())
        updateIndicators();
    m_scalingDrag = false;
    m_drawDrag = false;
}

SymbolChartWidget::~SymbolChartWidget()
{
    m_indicatorPool.waitForDone();
    if (m_chartManager)
        saveChartObjects();
    removeCrosshair();
    delete m_lastPriceTag;
}

QString SymbolChartWidget::labelStyleSheet(const QColor &color)
{
    return QStringLiteral("QLabel { color: %1; font-size: 12px}").arg(color.name(QColor::HexArgb));
}

QSize SymbolChartWidget::sizeHint() const { return QSize(800, 600); }

QString SymbolChartWidget::periodLabel(int period)
{
    for (const auto &entry : periodTable()) {
        if (entry.second == period && entry.second != 40000)
            return entry.first;
    }
    return QStringLiteral("MN");
}

int SymbolChartWidget::periodMinutes(const QString &label)
{
    for (const auto &entry : periodTable()) {
        if (entry.first == label)
            return entry.second;
    }
    return 0;
}

QString SymbolChartWidget::indicatorName(Indicator indicator)
{
    return indicator >= 0 && indicator < IndicatorCount ? QString::fromLatin1(kIndicators[indicator].menuText)
                                                        : QString();
}

QCPAxisRect *SymbolChartWidget::indicatorPane(Indicator indicator) const
{
    return indicator >= 0 && indicator < IndicatorCount ? m_graphs[indicator].pane : nullptr;
}

QList<QCPAbstractPlottable *> SymbolChartWidget::indicatorPlottables(Indicator indicator) const
{
    QList<QCPAbstractPlottable *> plottables;
    if (indicator < 0 || indicator >= IndicatorCount)
        return plottables;
    for (const auto &line : m_graphs[indicator].lines)
        plottables.append(line.second);
    return plottables;
}

QList<QCPAbstractItem *> SymbolChartWidget::crosshairItems() const
{
    QList<QCPAbstractItem *> items;
    if (m_crosshairShown)
        items << m_currentDrawingItem.data() << m_secondDrawingItem.data();
    return items;
}

void SymbolChartWidget::setupPlot()
{
    for (auto &pane : m_panes)
        pane = new QCPAxisRect(this, true);

    plotLayout()->setFillOrder(QCPLayoutGrid::foRowsFirst, true);
    plotLayout()->setRowSpacing(0);
    plotLayout()->setColumnSpacing(0);

    connect(xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, &SymbolChartWidget::rescaleYAxis);
    for (QCPAxisRect *pane : m_panes)
        connect(pane->axis(QCPAxis::atBottom), qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
                &SymbolChartWidget::rescaleYAxis);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    // A fixed right margin wide enough for any price keeps the value labels of all panes in line.
    QCPAxisRect *main = axisRect();
    main->setAutoMargins(QCP::msLeft | QCP::msTop | QCP::msBottom);
    const int labelWidth = QFontMetrics(yAxis2->tickLabelFont()).horizontalAdvance(QStringLiteral("000000000"));
    main->setMargins(QMargins(0, 0, labelWidth, 0));
    auto *leftEdges = new QCPMarginGroup(this);
    main->setMarginGroup(QCP::msLeft, leftEdges);

    setBackground(QBrush(m_backgroundColor, Qt::SolidPattern));

    yAxis2->setVisible(true);
    yAxis2->setTickLabels(true);
    yAxis2->setSubTicks(false);
    yAxis2->grid()->setVisible(true);
    QPen gridPen = yAxis2->grid()->pen();
    gridPen.setColor(m_gridColor);
    yAxis2->grid()->setPen(gridPen);
    yAxis2->setBasePen(QPen(m_axisColor));
    yAxis2->setTickPen(QPen(m_axisColor));
    yAxis2->setTickLabelColor(m_axisColor);
    yAxis->setVisible(false);
    yAxis->grid()->setVisible(false);
    xAxis->grid()->setPen(gridPen);
    xAxis->setBasePen(QPen(m_axisColor));
    xAxis->setTickPen(QPen(m_axisColor));
    xAxis->setTickLabelColor(m_axisColor);

    for (QCPAxisRect *pane : m_panes) {
        pane->setAutoMargins(main->autoMargins());
        pane->setMargins(main->margins());
        pane->setMarginGroup(QCP::msLeft, leftEdges);
        pane->setVisible(false);
        pane->axis(QCPAxis::atLeft)->setVisible(false);
        pane->axis(QCPAxis::atBottom)->setVisible(false);
        QCPAxis *right = pane->axis(QCPAxis::atRight);
        right->setVisible(true);
        right->setTickLabels(true);
        right->grid()->setVisible(true);
        right->setTickLabelColor(m_axisColor);
        right->setBasePen(QPen(m_axisColor));
        right->ticker()->setTickCount(3);
        pane->setMaximumSize(QWIDGETSIZE_MAX, 100);
    }

    auto *candles = new AggregatingFinancial(xAxis, yAxis2);
    candles->setSource([this] { return candleView(); });
    m_candlesticks = candles;
    m_candlesticks->setName(QStringLiteral("Candlestick"));
    m_candlesticks->setChartStyle(QCPFinancial::csCandlestick);
    m_candlesticks->setWidth(0.75);
    m_candlesticks->setTwoColored(true);
    m_candlesticks->setBrushPositive(QBrush(m_bullCandleColor, Qt::SolidPattern));
    m_candlesticks->setBrushNegative(QBrush(m_bearCandleColor, Qt::SolidPattern));
    m_candlesticks->setPenPositive(QPen(m_bullOutlineColor));
    m_candlesticks->setPenNegative(QPen(Qt::green));

    m_lastPriceTag = new AxisTag(yAxis2);
    m_lastPriceTag->setPen(QPen(Qt::green));

    addIndicatorGraphs();
}

QCPGraph *SymbolChartWidget::addLineGraph(Indicator indicator, const QString &line, const QColor &color)
{
    IndicatorGraphs &graphs = m_graphs[indicator];
    QCPAxis *keyAxis = graphs.pane ? graphs.pane->axis(QCPAxis::atBottom) : xAxis;
    QCPAxis *valueAxis = graphs.pane ? graphs.pane->axis(QCPAxis::atRight) : yAxis2;
    auto *graph = new AggregatingGraph(keyAxis, valueAxis);
    graph->setSource(lineSource(indicator, line));
    graph->setPen(QPen(color));
    graph->setName(line.isEmpty() ? indicatorName(indicator) : line);
    if (!graphs.pane)
        graph->setVisible(false);
    graphs.lines.append({line, graph});
    return graph;
}

void SymbolChartWidget::addIndicatorGraphs()
{
    for (int i = 0; i < IndicatorCount; ++i)
        m_graphs[i].pane = kIndicators[i].pane >= 0 ? m_panes[kIndicators[i].pane] : nullptr;

    addLineGraph(Adx, "adx", Qt::red);
    addLineGraph(Adx, "pdi", Qt::green);
    addLineGraph(Adx, "mdi", Qt::yellow);
    addLineGraph(Bollinger, "ml", Qt::red);
    addLineGraph(Bollinger, "tl", Qt::green);
    addLineGraph(Bollinger, "bl", Qt::blue);
    addLineGraph(CommodityChannelIndex, QString(), Qt::blue);

    QCPAxisRect *macdPane = m_graphs[Macd].pane;
    auto *histogram = new AggregatingBars(macdPane->axis(QCPAxis::atBottom), macdPane->axis(QCPAxis::atRight));
    histogram->setSource(lineSource(Macd, QStringLiteral("MACD")));
    histogram->setName(QStringLiteral("MACD"));
    histogram->setPen(QPen(Qt::gray));
    m_graphs[Macd].lines.append({QStringLiteral("MACD"), histogram});
    addLineGraph(Macd, "signal", Qt::red);

    addLineGraph(Momentum, QString(), Qt::green);
    addLineGraph(MovingAverage, QString(), Qt::green);
    QCPGraph *sar = addLineGraph(ParabolicSar, QString(), Qt::green);
    sar->setLineStyle(QCPGraph::lsNone);
    sar->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, QPen(Qt::green), QBrush(Qt::green), 8));
    addLineGraph(Envelopes, "upper", Qt::blue);
    addLineGraph(Envelopes, "lower", Qt::red);
    addLineGraph(Alligator, "jaws", Qt::green);
    addLineGraph(Alligator, "teeth", Qt::red);
    addLineGraph(Alligator, "lips", Qt::blue);
    addLineGraph(Rsi, QString(), Qt::green);
    addLineGraph(StandardDeviation, QString(), Qt::green);
    addLineGraph(ForceIndex, QString(), Qt::blue);
    addLineGraph(WilliamsPercentRange, QString(), Qt::blue);
    addLineGraph(AverageTrueRange, QString(), Qt::blue);
    addLineGraph(DeMarker, QString(), Qt::blue);
    addLineGraph(AccumulationDistribution, QString(), Qt::darkGreen);
    addLineGraph(OnBalanceVolume, QString(), Qt::darkBlue);
    QCPGraph *bulls = addLineGraph(BullsPower, QString(), Qt::green);
    bulls->setName(QStringLiteral("BullsPower"));
    bulls->setLineStyle(QCPGraph::lsImpulse);
    bulls->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));
    QCPGraph *bears = addLineGraph(BearsPower, QString(), Qt::gray);
    bears->setLineStyle(QCPGraph::lsImpulse);
    bears->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));
    addLineGraph(MoneyFlowIndex, QString(), Qt::blue);
    addLineGraph(RelativeVigorIndex, "rvi1", Qt::red);
    addLineGraph(RelativeVigorIndex, "rvi2", Qt::green);
}

void SymbolChartWidget::setChartStyle(int style)
{
    m_candlesticks->setChartStyle(style == QCPFinancial::csOhlc ? QCPFinancial::csOhlc : QCPFinancial::csCandlestick);
    replot(rpRefreshHint);
}

void SymbolChartWidget::setOneClickTradingVisible(bool visible)
{
    m_oneClickVisible = visible;
    m_oneClickAction->setChecked(visible);
    m_oneClick->setVisible(visible);
}

void SymbolChartWidget::onDrawTimer()
{
    if (m_dirty)
        replot(rpRefreshHint);
    m_dirty = false;
}

void SymbolChartWidget::removeFromLayout(QCPLayoutElement *pane)
{
    if (pane && plotLayout()->elements(false).contains(pane))
        plotLayout()->take(pane);
}

// ---------------------------------------------------------------- bars and ticks

void SymbolChartWidget::requestHistory(qint64 from, qint64 to)
{
    m_chartManager->requestChartHistory(m_symbol, m_period, from, to);
}

void SymbolChartWidget::loadChart()
{
    if (!m_chartManager) {
        qWarning() << "Chart manager is null.";
        return;
    }
    const ChartManager::HistoryChange held = m_chartManager->chartHistorySince(m_symbol, m_period, 0);
    const QVector<CandleStick> &bars = held.bars;
    // Until bars of this period are shown, the next announcement loads them whole.
    m_seenRevision = 0;
    if (bars.isEmpty()) {
        const qint64 from
            = isMonthly(m_period) ? 0 : QDateTime::currentSecsSinceEpoch() - qint64(m_period) * 120000;
        requestHistory(std::max<qint64>(from, 0), -1);
    } else {
        if (bars.constLast().timestamp > 0)
            requestHistory(bars.constLast().timestamp, -1);
        showBars(bars);
        setKeyRange(defaultKeyRange(), PaneCount);
        m_seenRevision = held.revision;
    }
    applyColors(m_chartManager->getColors(m_symbol, m_period));
    // Cached bars are the bars of this period arriving; an offline chart gets no announcement.
    if (!bars.isEmpty())
        restoreObjects(m_period);
}

void SymbolChartWidget::applyColors(const QList<QColor> &stored)
{
    const QList<QColor> defaults = {Qt::black, Qt::white, Qt::blue, Qt::black, Qt::red, Qt::gray, Qt::green, Qt::green};
    QList<QColor> colors = stored;
    if (colors.size() < 8) {
        qWarning() << "Invalid or incomplete color settings. Using default colors.";
        colors = defaults;
    }
    // A name that no colour has reads as an invalid colour; it must not reach the plot or the next save.
    for (int i = 0; i < defaults.size(); ++i) {
        if (!colors[i].isValid()) {
            qWarning() << "Invalid color in chart settings; using the default for entry" << i;
            colors[i] = defaults[i];
        }
    }
    setBackgroundColor(colors[0]);
    setAxisColor(colors[1]);
    setTrendLineColor(colors[2]);
    setBullCandleColor(colors[3]);
    setBearCandleColor(colors[4]);
    setGridColor(colors[5]);
    setBullOutlineColor(colors[6]);
    setBearOutlineColor(colors[7]);
}

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

template<typename BarList>
void SymbolChartWidget::showBars(const BarList &data)
{
    m_keys.clear();
    m_timestamps.clear();
    m_open.clear();
    m_high.clear();
    m_low.clear();
    m_close.clear();
    // Room for the bars still to come, so the first of them copies nothing.
    for (QVector<double> *series : {&m_keys, &m_timestamps, &m_open, &m_high, &m_low, &m_close})
        series->reserve(data.size() + data.size() / 8 + 64);

    auto ticker = QSharedPointer<MyDateTimeTicker>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd MMM\nHH:mm"));
    for (int i = 0; i < data.size(); ++i) {
        const CandleStick &bar = data.at(i);
        m_keys.append(i);
        m_timestamps.append(double(bar.timestamp));
        m_open.append(bar.open);
        m_high.append(bar.high);
        m_low.append(bar.low);
        m_close.append(bar.close);
        m_lastIndex = i;
        m_lastTime = double(bar.timestamp);
        m_lastOpen = bar.open;
        m_lastHigh = bar.high;
        m_lastLow = bar.low;
        m_lastClose = bar.close;
    }
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
                                    [](const CandleStick &bar, qint64 t) { return bar.timestamp < t; })
                   - bars.cbegin());
    };
    // The bars before the change are the ones shown, unless the chart got out of
    // step (bars of its own, an earlier bar inserted): then it is loaded whole.
    int from = -1;
    if (change.changedFrom != ChartManager::HistoryChange::Everything && shown > 0) {
        from = firstShownAt(change.changedFrom);
        if (from == 0 || from != heldAt(change.changedFrom)
            || m_timestamps[from - 1] != double(bars[from - 1].timestamp))
            from = -1;
    }

    m_deferReplot = true;
    const double oldLast = double(m_lastIndex);
    if (from < 0) {
        const double leftTime = shown > 0 ? m_timestamps[std::clamp(int(std::floor(view.lower)), 0, shown - 1)] : 0;
        showBars(bars);
        if (bars.isEmpty()) {
        } else if (atLiveEnd && shown == 0) {
            setKeyRange(defaultKeyRange(), PaneCount);
        } else if (atLiveEnd) {
            setKeyRange(view + (double(m_lastIndex) - oldLast), PaneCount);
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
            setKeyRange(view + (double(m_lastIndex) - oldLast), PaneCount);
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

void SymbolChartWidget::updateWithTick(const TickData &tick)
{
    // Ticks of another symbol would grow this symbol's candles.
    if (tick.symbol.isEmpty() || tick.timestamp == 0 || tick.symbol != m_symbol)
        return;
    // Every price text below is built with these decimals; a hostile count would
    // make the formatting allocate without bound.
    const int digits = jsonreading::boundedDigits(tick.digits);
    m_digits = digits;
    m_oneClick->setBuyPrice(tick.ask, digits);
    m_oneClick->setSellPrice(tick.bid, digits);
    m_oneClick->setMinimumVolume(tick.minVol);
    m_oneClick->setMaximumVolume(tick.maxVol);
    m_oneClick->setVolumeStep(tick.stepVol);
    if (m_keys.isEmpty() || !std::isfinite(tick.bid))
        return;

    const double price = tick.bid;
    QColor tagColor = Qt::green;
    const qint64 lastTime = saturatedSeconds(m_lastTime);
    // Live bars sit on the server's grid and carry their period's start, so the
    // server's own bar for that period later replaces them instead of joining them.
    const QTimeZone zone = m_chartManager ? m_chartManager->serverTimeZone() : QTimeZone::utc();
    const qint64 tickStart = barStart(tick.timestamp, m_period, lastTime, zone);
    const qint64 lastStart = barStart(lastTime, m_period, lastTime, zone);
    if (tickStart < lastStart)
        return;
    const bool sameBar = tickStart == lastStart;

    m_deferReplot = true;
    if (sameBar) {
        if (price > m_lastHigh)
            m_lastHigh = price;
        if (price < m_lastLow)
            m_lastLow = price;
        m_lastClose = price;
        if (price < m_lastOpen)
            tagColor = Qt::red;
    } else {
        const QCPFinancialData completed(m_lastIndex, m_lastOpen, m_lastHigh, m_lastLow, m_lastClose);
        if (m_chartManager)
            m_chartManager->appendCandleStick(m_symbol, m_period, lastTime, completed.open, completed.high,
                                              completed.low, completed.close);
        // The series must carry the completed bar's final prices before the
        // indicators read it, not those of its first tick.
        if (!m_keys.isEmpty() && m_keys.constLast() == double(m_lastIndex)) {
            const int i = m_keys.size() - 1;
            m_open[i] = completed.open;
            m_high[i] = completed.high;
            m_low[i] = completed.low;
            m_close[i] = completed.close;
        }
        const double completedKey = double(m_lastIndex);
        ++m_lastIndex;
        m_keys.append(double(m_lastIndex));
        m_timestamps.append(double(tickStart));
        m_open.append(price);
        m_high.append(price);
        m_low.append(price);
        m_close.append(price);
        summarizeBarsFrom(int(completedKey));
        // Points already computed for the completed bar came from its first tick.
        dropPointsFrom(completedKey);
        updateIndicators();

        m_lastTime = double(tickStart);
        m_lastOpen = m_lastHigh = m_lastLow = m_lastClose = price;
        if (auto ticker = xAxis->ticker().dynamicCast<MyDateTimeTicker>())
            ticker->appendTimestamp(double(tickStart));
        if (m_lastIndex != 0) {
            const double i = double(std::max<qint64>(m_lastIndex, 49));
            setKeyRange(QCPRange(i - 49, i + 1), 2);
        }
    }

    m_lastPriceTag->setPen(QPen(tagColor));
    m_lastPriceTag->updatePosition(price);
    m_lastPriceText = QString::number(price, 'f', digits);
    m_lastPriceTag->setText(m_lastPriceText);

    const double step = std::pow(0.1, digits);
    const QCPRange range = yAxis2->range();
    if (price > range.upper)
        yAxis2->setRange(range.lower, price + 5 * step);
    else if (price < range.lower)
        yAxis2->setRange(price - 5 * step, range.upper);

    m_deferReplot = false;
    m_dirty = true;
}

void SymbolChartWidget::onTimeframeChanged(QAction *timeframe_action)
{
    if (!timeframe_action) {
        qWarning() << "Null timeframe action.";
        return;
    }
    const QString label = timeframe_action->text();
    if (label.isEmpty()) {
        qWarning() << "Empty action label.";
        return;
    }
    setWindowTitle(QStringLiteral("%1, %2").arg(m_symbol, label));
    m_infoLabel->setText(QStringLiteral("Chart: %1 Time Frame: %2").arg(m_symbol, label));
    // The exclusive group would refuse to uncheck its checked action.
    m_timeframeGroup->setExclusive(false);
    for (QAction *action : qAsConst(m_timeframeActions))
        action->setChecked(action->text() == label);
    m_timeframeGroup->setExclusive(true);
    if (timeframe_action->isCheckable())
        timeframe_action->setChecked(true);

    const int minutes = periodMinutes(label);
    if (minutes == 0) {
        qWarning() << "Invalid or unrecognized timeframe action label:" << label;
        return;
    }
    if (minutes == m_period)
        return;
    if (m_chartManager)
        saveChartObjects();
    m_period = minutes;
    emit timeframeChanged(m_period);
    loadChart();
}

// ---------------------------------------------------------------- indicators

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
    computeInto(indicator, m_outputs[indicator], {m_keys, m_open, m_high, m_low, m_close}, &m_syntheticVolume);
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
    const QVector<double> &k = bars.keys;
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
            *volume += makeSyntheticVolume(k.mid(volume->size()));
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
    const Bars bars{m_keys, m_open, m_high, m_low, m_close};
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
    if (generation == m_generation && barCount == m_keys.size()) {
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
    view.count = m_keys.size();
    view.open = m_open.constData();
    view.high = m_high.constData();
    view.low = m_low.constData();
    view.close = m_close.constData();
    view.highs = &m_highSummary;
    view.lows = &m_lowSummary;
    // The live bar's prices move with each tick; the series keep those of its first.
    view.hasLive = view.count > 0;
    view.live = QCPFinancialData(m_lastIndex, m_lastOpen, m_lastHigh, m_lastLow, m_lastClose);
    return view;
}

void SymbolChartWidget::summarizeBarsFrom(int from)
{
    m_highSummary.update(m_high.constData(), m_high.size(), from);
    m_lowSummary.update(m_low.constData(), m_low.size(), from);
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
            if (keep < series.keys.size() && (!series.keys.isDetached() || !series.values.isDetached())) {
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
    const int count = m_keys.size();
    int begin = 0, end = 0;
    plotsource::visibleIndexes(0.0, count, range, begin, end);
    if (begin < end) {
        const int stored = std::min(end, count - 1); // the live bar's prices are apart
        double low, high, ignored;
        m_highSummary.extremes(m_high.constData(), begin, stored, ignored, high);
        m_lowSummary.extremes(m_low.constData(), begin, stored, low, ignored);
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
    QSettings settings(kIndicatorSettingsOrganisation, kSettingsApplication);
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
    QSettings settings(kIndicatorSettingsOrganisation, kSettingsApplication);
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

// ---------------------------------------------------------------- tool tip and crosshair

void SymbolChartWidget::showGraphToolTip(QCPAbstractPlottable *plottable, const IndicatorSeries &series,
                                         const QString &name, QMouseEvent *event, bool &found)
{
    if (!plottable || !plottable->visible() || !event)
        return;
    const QPointF pos(event->pos().x(), event->pos().y());
    if (plottable->selectTest(pos, false) >= 0) {
        showValueToolTip(series, name, event);
        found = true;
    }
}

void SymbolChartWidget::showValueToolTip(const IndicatorSeries &series, const QString &name, QMouseEvent *event)
{
    const auto hide = [this] {
        QToolTip::showText(QPoint(), QString());
        m_lastToolTip.clear();
    };
    if (series.keys.isEmpty() || series.values.isEmpty() || !event) {
        hide();
        return;
    }
    const double key = xAxis->pixelToCoord(event->pos().x());
    // Nearest key, the lower one on a tie.
    int index = firstPointAtOrAfter(series, key);
    if (index >= series.keys.size())
        index = series.keys.size() - 1;
    else if (index > 0 && std::abs(series.keys[index - 1] - key) <= std::abs(series.keys[index] - key))
        index -= 1;
    if (index >= series.values.size()) {
        hide();
        return;
    }
    const QString text = QStringLiteral("%1\nValue: %2").arg(name).arg(series.values[index]);
    if (text != m_lastToolTip) {
        QToolTip::showText(event->globalPos(), text, this);
        m_lastToolTip = text;
    }
}

// ---------------------------------------------------------------- colours

QList<QColor> SymbolChartWidget::colors() const
{
    return {m_backgroundColor, m_axisColor,       m_trendLineColor,   m_bullCandleColor,
            m_bearCandleColor, m_gridColor,       m_bullOutlineColor, m_bearOutlineColor};
}
