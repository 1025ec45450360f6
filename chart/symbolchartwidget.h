// One chart window: one symbol at one period, its bars, the live candle, the
// indicators in overlays and panes, and the price tags.
#pragma once

#include "barstore.h"
#include "candlestick.h"
#include "chartmanager.h"
#include "chartobjectregistry.h"
#include "indicators.h"
#include "plotsource.h"
#include "summarypyramid.h"

#include <QColor>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QVector>
#include <array>
#include <limits>
#include <qcustomplot.h>

class AxisTag;
class StraightLineBatch;
class ChartManager;
class OneClickTradingButtons;
class QAction;
class QContextMenuEvent;
class QActionGroup;
class QLabel;
class QMenu;
class QTimer;
struct TickData;

class SymbolChartWidget : public QCustomPlot
{
    Q_OBJECT

public:
    // Indicators in the order of the "Indicators" menu.
    enum Indicator {
        Adx,
        Bollinger,
        CommodityChannelIndex,
        Macd,
        Momentum,
        MovingAverage,
        ParabolicSar,
        Envelopes,
        Alligator,
        Rsi,
        StandardDeviation,
        ForceIndex,
        WilliamsPercentRange,
        AverageTrueRange,
        DeMarker,
        AccumulationDistribution,
        OnBalanceVolume,
        BullsPower,
        BearsPower,
        MoneyFlowIndex,
        RelativeVigorIndex,
        IndicatorCount
    };
    static constexpr int PaneCount = 16;
    static constexpr int DefaultPeriod = 60;

    explicit SymbolChartWidget(ChartManager *chartManager, const QString &symbol, int period,
                               QWidget *parent = nullptr);
    ~SymbolChartWidget() override;

    QSize sizeHint() const override;

    QString symbol() const { return m_symbol; }
    int period() const { return m_period; }
    // "M1" .. "W1" for the nine periods, "MN" for anything else.
    static QString periodLabel(int period);
    // Minutes of a timeframe label; 0 when the label names none.
    static int periodMinutes(const QString &label);

    void setChartStyle(int style);
    bool isOneClickTradingVisible() const { return m_oneClickVisible; }
    void setOneClickTradingVisible(bool visible);

    void loadChart();
    void updateWithTick(const TickData &tick);

    // 0 none, 1 horizontal line, 2 vertical line, 3 crosshair, 4 trend line, 5 Fibonacci.
    int drawingMode() const { return m_drawingMode; }
    // Any mode but the crosshair's takes a crosshair shown off the plot.
    void setDrawingMode(int mode);
    void showCrosshair();

    void removeFromLayout(QCPLayoutElement *pane);

    void updateIndicators();
    void loadIndicatorSettings();
    void saveIndicatorSettings();

    void showValueToolTip(const IndicatorSeries &series, const QString &name, QMouseEvent *event);
    void showGraphToolTip(QCPAbstractPlottable *plottable, const IndicatorSeries &series, const QString &name,
                          QMouseEvent *event, bool &found);

    void setBackgroundColor(const QColor &color);
    void setAxisColor(const QColor &color);
    void setGridColor(const QColor &color);
    void setBullCandleColor(const QColor &color);
    void setBearCandleColor(const QColor &color);
    void setBullOutlineColor(const QColor &color);
    void setBearOutlineColor(const QColor &color);
    void setTrendLineColor(const QColor &color);
    QColor trendLineColor() const { return m_trendLineColor; }
    // Background, axis, drawn objects, bull candle, bear candle, grid, bull outline, bear outline.
    QList<QColor> colors() const;

    // Saves the object counter, the colours, the current period's drawn lines and
    // their levels through the chart manager.
    void saveChartObjects();
    QMap<QCPAbstractItem *, QString> objectNamesForCurrentPeriod() const;
    QList<QPair<QCPAbstractItem *, QString>> objectsInDrawingOrder() const;
    // Takes one object of the current period off the plot; false for any other item.
    bool removeObject(QCPAbstractItem *item);

    // Read access for the window's owner and for checks.
    QCPFinancial *candlesticks() const { return m_candlesticks; }
    QCPAxisRect *indicatorPane(Indicator indicator) const;
    QList<QCPAbstractPlottable *> indicatorPlottables(Indicator indicator) const;
    const IndicatorLines &indicatorLines(Indicator indicator) const { return m_outputs[indicator]; }
    static QString indicatorName(Indicator indicator);
    QAction *indicatorAction(Indicator indicator) const { return m_indicatorActions[indicator]; }
    QList<QAction *> timeframeActions() const { return m_timeframeActions; }
    AxisTag *lastPriceTag() const { return m_lastPriceTag; }
    QString lastPriceText() const { return m_lastPriceText; }
    QList<QCPAbstractItem *> crosshairItems() const;
    int digits() const { return m_digits; }
    // The symbol's price decimals as its settings give them, for prices shown before the first tick.
    void setDigits(int digits);
    bool isDirty() const { return m_dirty; }
    // True while indicators of newly opened bars are still being computed in the background.
    bool indicatorsPending() const { return m_backgroundRunning || m_backgroundPending; }
    int objectCounter() const { return m_objects.counter(); }
    QString objectName(QCPAbstractItem *item) const { return m_objects.name(item); }
    AxisTag *levelTag(int id) const { return m_objects.levelTag(id); }

    int barCount() const { return m_bars.size(); }
    QVector<double> barKeys() const { return IndicatorKeys::stepping(0.0, m_bars.size()); }
    // The shown bars' columns, without what other copies of the bars added after them.
    QVector<qint64> barTimestamps() const { return m_bars.times().mid(0, m_bars.size()); }
    QVector<double> barOpen() const { return m_bars.open().mid(0, m_bars.size()); }
    QVector<double> barHigh() const { return m_bars.high().mid(0, m_bars.size()); }
    QVector<double> barLow() const { return m_bars.low().mid(0, m_bars.size()); }
    QVector<double> barClose() const { return m_bars.close().mid(0, m_bars.size()); }
    // The bars shown, shared with the chart manager until either changes them.
    const BarStore &bars() const { return m_bars; }
    double lastBarTime() const { return m_lastTime; }
    double lastBarClose() const { return m_lastClose; }

signals:
    void sell(QString symbol, double volume);
    void buy(QString symbol, double volume);
    void timeframeChanged(int new_period);
    void drawStateFinished();

public slots:
    void onTimeframeChanged(QAction *timeframe_action);
    void onReadyChartHistory(QString symbol, int period);
    void onDrawTimer();
    void rescaleYAxis(QCPRange new_range);
    void setCandleStickData(QList<CandleStick> data);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

    // Where history requests leave the window; a seam for observing them.
    virtual void requestHistory(qint64 from, qint64 to);
    // The modal steps of the context menu; seams so that tests need no dialog.
    virtual QAction *runContextMenu(const QPoint &globalPos);
    virtual QColor chooseColor(const QColor &current, const QString &title);

private:
    struct Bars
    {
        IndicatorKeys keys;
        QVector<double> open, high, low, close;
    };

    struct IndicatorGraphs
    {
        QCPAxisRect *pane = nullptr;
        // Line name to plottable; a single-line indicator's line has the empty name.
        QList<QPair<QString, QCPAbstractPlottable *>> lines;
    };

    static QString labelStyleSheet(const QColor &color);
    void setupPlot();
    void createContextMenu();
    void addIndicatorGraphs();
    QCPGraph *addLineGraph(Indicator indicator, const QString &line, const QColor &color);
    struct FibonacciLevel
    {
        int id;
        QCPItemStraightLine *line;
        double percent;
    };
    void restoreObjects(int period);
    void followSharedObjects();
    void shareObjects();
    void restoreFibonacciLabels(const QList<FibonacciLevel> &levels, int period);
    QCPItemStraightLine *addStraightLine(const QColor &color, bool onPriceAxes);
    QCPItemText *addFibonacciLabel(double key, double price, double percent);
    AxisTag *addLevelTag(double price);
    void placeHorizontal(QCPAbstractItem *line, AxisTag *tag, double key, double price);
    void placeFibonacci(double key, double price);
    void showHoverToolTips(QMouseEvent *event);
    void removeCrosshair();
    void togglePane(Indicator indicator);
    void keepPricePaneHeight();
    void refreshLevelTagTexts();
    void applyColors(const QList<QColor> &colors);
    bool indicatorWanted(Indicator indicator) const;
    void computeIndicator(Indicator indicator);
    static void computeInto(Indicator indicator, IndicatorLines &out, const Bars &bars, QVector<double> *volume);
    static bool rebuildsWhole(Indicator indicator);
    Bars barsForIndicators() const;
    void startBackgroundIndicators();
    void applyBackgroundIndicators(const QMap<int, IndicatorLines> &results, quint64 generation, int barCount);
    void publishIndicator(Indicator indicator, double fromKey);
    void clearIndicatorOutputs();
    void dropPointsFrom(double key);
    void fitAxes(const QCPRange &range);
    void finishChange();
    void setKeyRange(const QCPRange &range, int paneCount);
    QCPRange defaultKeyRange() const;
    void showBars(const BarStore &bars);
    void mergeHistory(const ChartManager::HistoryChange &change);
    void takeBars(const BarStore &bars);
    SeriesSource lineSource(Indicator indicator, const QString &name);
    CandleView candleView() const;

    ChartManager *m_chartManager = nullptr;
    QString m_symbol;
    int m_period = DefaultPeriod;

    QLabel *m_infoLabel = nullptr;
    QLabel *m_indicatorLabel = nullptr;
    QCPFinancial *m_candlesticks = nullptr;
    QTimer *m_drawTimer = nullptr;
    bool m_dirty = false;
    // Inside a tick no change may replot at once; the draw timer does it.
    bool m_deferReplot = false;
    bool m_fitting = false;

    QMenu *m_contextMenu = nullptr;
    QActionGroup *m_timeframeGroup = nullptr;
    QList<QAction *> m_timeframeActions;
    std::array<QAction *, IndicatorCount> m_indicatorActions{};
    QAction *m_oneClickAction = nullptr;
    QAction *m_objectListAction = nullptr;
    QList<QAction *> m_colorActions;

    AxisTag *m_lastPriceTag = nullptr;
    StraightLineBatch *m_lineBatch = nullptr;
    QString m_lastPriceText;
    bool m_oneClickVisible = false;
    OneClickTradingButtons *m_oneClick = nullptr;

    std::array<QCPAxisRect *, PaneCount> m_panes{};
    std::array<IndicatorGraphs, IndicatorCount> m_graphs;
    std::array<IndicatorLines, IndicatorCount> m_outputs;
    // Per output line, what the plottables and the axis fitting read instead of every point.
    std::array<QMap<QString, SummaryPyramid>, IndicatorCount> m_summaries;
    // Force-index volumes drawn so far, one per bar.
    QVector<double> m_syntheticVolume;
    // First bar whose indicator points changed; graphs keep the points before it.
    double m_publishFrom = -std::numeric_limits<double>::infinity();

    // Indicators that rebuild their whole output run here when a tick opens a bar,
    // so that the tick returns quickly; one job at a time, newer bars coalesce.
    QThreadPool m_indicatorPool;
    quint64 m_generation = 0;
    bool m_backgroundRunning = false;
    bool m_backgroundPending = false;
    double m_backgroundFrom = std::numeric_limits<double>::infinity();

    // Bar i sits at key i.
    BarStore m_bars;

    qint64 m_lastIndex = 0;
    // The chart manager's revision of the bars shown; 0 while they are not its.
    quint64 m_seenRevision = 0;
    double m_lastTime = 0.0;
    double m_lastOpen = 0.0;
    double m_lastHigh = 0.0;
    double m_lastLow = 0.0;
    double m_lastClose = 0.0;

    int m_drawingMode = 0;
    // The plot may delete its items (clearItems) behind the window's back.
    QPointer<QCPAbstractItem> m_currentDrawingItem;
    QPointer<QCPAbstractItem> m_secondDrawingItem;
    QPointer<AxisTag> m_currentTag;
    // The three pointers above hold the crosshair rather than an object being placed.
    bool m_crosshairShown = false;
    bool m_scalingDrag = false;
    bool m_drawDrag = false;
    QPoint m_lastMousePos;

    int m_digits = 0;

    QColor m_backgroundColor = Qt::black;
    QColor m_trendLineColor = Qt::red;
    QColor m_bullCandleColor = Qt::black;
    QColor m_bearCandleColor = Qt::red;
    QColor m_bullOutlineColor = Qt::green;
    QColor m_bearOutlineColor = Qt::green;
    QColor m_gridColor = Qt::lightGray;
    QColor m_axisColor = Qt::white;

    ChartObjectRegistry m_objects;
    // The digits the level tags' texts were last written with.
    int m_levelTagDigits = 0;

    QString m_lastToolTip;
};
