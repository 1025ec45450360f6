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
#include "seriesindex.h"
#include "straightlinebatch.h"
#include "tickdata.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QDebug>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

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

const QList<QPair<QString, int>> &periodTable()
{
    static const QList<QPair<QString, int>> table = {
        {"M1", 1}, {"M5", 5}, {"M15", 15}, {"M30", 30}, {"H1", 60},
        {"H4", 240}, {"D1", 1440}, {"W1", 10080}, {"MN", 40000},
    };
    return table;
}

bool isMonthly(int period) { return period > 39999; }

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

    // Nothing is on screen yet: one replot by the draw timer shows the window as built.
    m_deferReplot = true;
    if (m_chartManager) {
        connect(m_chartManager, &ChartManager::readyChartHistory, this, &SymbolChartWidget::onReadyChartHistory,
                Qt::QueuedConnection);
        followSharedObjects();
        loadChart();
    }

    setAttribute(Qt::WA_MouseTracking);
    loadIndicatorSettings();
    // The first bar load ran before the switches were read: fill what they show now.
    if (!m_bars.isEmpty())
        updateIndicators();
    m_deferReplot = false;
    m_dirty = true;
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
    // The legend is never shown; filled with an entry per line it would make
    // every drawn object's creation walk those entries to find the axis rect.
    setAutoAddPlottableToLegend(false);
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

    // Drawn straight lines go above the lines of the indicators, as items made later would.
    addLayer(QStringLiteral("drawnLines"), layer(QStringLiteral("main")), limAbove);
    m_lineBatch = new StraightLineBatch(this, layer(QStringLiteral("drawnLines")), layer(QStringLiteral("main")));
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
    const BarStore &bars = held.bars;
    // Until bars of this period are shown, the next announcement loads them whole.
    m_seenRevision = 0;
    if (bars.isEmpty()) {
        const qint64 from
            = isMonthly(m_period) ? 0 : QDateTime::currentSecsSinceEpoch() - qint64(m_period) * 120000;
        requestHistory(std::max<qint64>(from, 0), -1);
    } else {
        if (bars.last().timestamp > 0)
            requestHistory(bars.last().timestamp, -1);
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
        // A chart never saved has no colours yet: only a short list is a fault.
        if (!colors.isEmpty())
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
    if (m_bars.isEmpty() || !std::isfinite(tick.bid))
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
        // The ticker shares the bar times; let go of them so that they grow in place.
        const auto ticker = xAxis->ticker().dynamicCast<MyDateTimeTicker>();
        if (ticker)
            ticker->clearTimestamps();
        // The series must carry the completed bar's final prices before the
        // indicators read it, not those of its first tick.
        const int completedAt = m_bars.size() - 1;
        if (completedAt == m_lastIndex)
            m_bars.replace(completedAt, {m_bars.time(completedAt), completed.open, completed.high,
                                         completed.low, completed.close});
        const double completedKey = double(m_lastIndex);
        ++m_lastIndex;
        m_bars.append({tickStart, price, price, price, price});
        if (ticker)
            ticker->setBarTimes(m_bars.times(), m_bars.size());
        // Points already computed for the completed bar came from its first tick.
        dropPointsFrom(completedKey);
        updateIndicators();

        m_lastTime = double(tickStart);
        m_lastOpen = m_lastHigh = m_lastLow = m_lastClose = price;
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
    m_infoLabel->adjustSize();
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
    // They come back from the manager with their period.
    m_objects.clear(m_period);
    m_period = minutes;
    emit timeframeChanged(m_period);
    loadChart();
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
