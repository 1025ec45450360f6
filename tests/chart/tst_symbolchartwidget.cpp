#include "appglobals.h"
#include "bartime.h"
#include "chartfixture.h"
#include "servertime.h"
#include "symbolchartwidget.h"
#include "testmain.h"
#include "tradesession.h"

#include <QAction>
#include <QJsonDocument>
#include <QLabel>
#include <QSignalSpy>
#include <QToolTip>

using namespace chartfixture;
using Chart = SymbolChartWidget;

namespace {

struct LiveRow
{
    int period;
    qint64 lastBarTime;
    QList<QPair<qint64, double>> ticks; // time, bid
    int bars;
    qint64 lastTime;
    double close, heldClose; // the newest bar shown; the first bar as the manager holds it
    QCPRange axis;           // the price axis; empty when not checked
    QColor tag;              // the last price tag's; invalid when not checked
};

struct ToolTipRow
{
    SymbolChartWidget::Indicator indicator;
    QString line, label; // the output line hovered, the name its tip shows
    bool shown;          // the graph's visibility
    int away;            // 0: on the line; 1: in the pane's corner; -1: beside the pane
};

qint64 utc(const QString &text)
{
    return QDateTime::fromString(text + "Z", Qt::ISODate).toSecsSinceEpoch();
}

// The same keys and, NaN matching NaN, the same values.
bool sameSeries(const IndicatorSeries &a, const IndicatorSeries &b)
{
    return a.keys == b.keys && std::equal(a.values.begin(), a.values.end(), b.values.begin(), [](double x, double y) {
               return std::isnan(x) ? std::isnan(y) : std::abs(x - y) <= 1e-9;
           });
}

QCPRange finiteRange(const IndicatorSeries &s, int first, int last)
{
    double low = std::numeric_limits<double>::max(), high = -low;
    for (int m = 0; m < s.keys.size(); ++m) {
        if (s.keys[m] >= first && s.keys[m] <= last && std::isfinite(s.values[m])) {
            low = std::min(low, s.values[m]);
            high = std::max(high, s.values[m]);
        }
    }
    return low <= high ? QCPRange(low, high) : QCPRange(0, 0); // an empty range when nothing is there
}

int shown(const Chart &chart) { return chart.candlesticks()->interface1D()->dataCount(); }

// Each graph draws its own line, and every line equals that of `expected` (but the force
// index's, drawn from random volumes).
void sameIndicators(const Chart &chart, const Chart &expected)
{
    for (int i = 0; i < Chart::IndicatorCount; ++i) {
        const auto indicator = Chart::Indicator(i);
        const IndicatorLines &lines = chart.indicatorLines(indicator), &wanted = expected.indicatorLines(indicator);
        for (QCPAbstractPlottable *plottable : chart.indicatorPlottables(indicator)) {
            IndicatorSeries graph;
            for (int m = 0; m < plottable->interface1D()->dataCount(); ++m) {
                graph.keys << plottable->interface1D()->dataMainKey(m);
                graph.values << plottable->interface1D()->dataMainValue(m);
            }
            const QString line = lines.contains(plottable->name()) ? plottable->name() : QString();
            QVERIFY2(sameSeries(graph, lines.value(line)), qPrintable(plottable->name()));
        }
        for (auto it = wanted.cbegin(); i != Chart::ForceIndex && it != wanted.cend(); ++it)
            QVERIFY2(sameSeries(lines.value(it.key()), *it),
                     qPrintable(Chart::indicatorName(indicator) + ' ' + it.key()));
    }
}

} // namespace

Q_DECLARE_METATYPE(LiveRow)
Q_DECLARE_METATYPE(ToolTipRow)
Q_DECLARE_METATYPE(QCPRange)

class TestSymbolChartWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChartManager> m_manager;
    qint64 m_login = 0;

    void seed(const QVector<CandleStick> &bars, int period = 60)
    {
        m_manager->requestChartHistory("EURUSD", period, 0, -1);
        m_manager->updateChartHistoryFromServer(historyReply(bars, period));
    }

private slots:
    void init()
    {
        m_manager = manager(m_login = nextLogin());
        // A full set of colours, so that the chart does not fall back to its defaults.
        m_manager->setColors(
            "EURUSD", 60, {Qt::black, Qt::white, Qt::blue, Qt::yellow, Qt::magenta, Qt::gray, Qt::green, Qt::green},
            false);
        switchIndicators({});
    }
    void cleanup()
    {
        settle();
        m_manager.reset();
    }

    void historyRequestTravelsToTheServerAndBack_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("cached");
        QTest::addColumn<qint64>("from"); // -1 stands for "now minus 2000 periods"
        QTest::newRow("cached H1 bars ask from the last bar's time") << 60 << 3 << kHour + 7200;
        QTest::newRow("no cached D1 bars ask from 2000 days back") << 1440 << 0 << -1ll;
        QTest::newRow("no cached monthly bars ask from the epoch") << 40000 << 0 << 0ll;
        QTest::newRow("a period of 0 loads the hourly chart") << 0 << 2 << kHour + 3600;
    }
    void historyRequestTravelsToTheServerAndBack()
    {
        QFETCH(int, period);
        QFETCH(int, cached);
        QFETCH(qint64, from);
        const int effective = period > 0 ? period : 60;
        TradeSession session;
        // kHour is midnight at +02:00, where this server's days begin.
        session.server.setLoginReply(FakeTradeServer::LoginMode::Accept, "+02:00");
        session.server.setReplies(3, {historyReply(makeBars(60, kHour, effective), effective)});
        QVERIFY(session.logIn());
        const qint64 login = nextLogin();
        const QString cache = accountPath("Demo", login) + "/ChartHistory/";
        QVERIFY(QDir().mkpath(cache));
        ChartManager::writeHistoryFile(cache + "EURUSD_" + QString::number(effective),
                                       makeBars(cached, kHour, effective));
        m_manager = manager(login, "Demo", &session.client);
        connect(&session.client, &TradeClient::chartHistoryReceived, m_manager.get(),
                &ChartManager::updateChartHistoryFromServer);

        const qint64 now = QDateTime::currentSecsSinceEpoch();
        Chart chart(m_manager.get(), "EURUSD", period);
        QCOMPARE(shown(chart), cached);
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(3).size(), 1, patienceMs);
        const QJsonObject request = session.server.requests(3).first();
        QCOMPARE(request.value("interval"), effective);
        const qint64 sent = request.value("from").toVariant().toLongLong();
        QVERIFY(std::abs(sent - (from == -1 ? now - qint64(effective) * 120000 : from)) <= 5);
        // The announcement of the chart's own bars reloads it; another chart's symbol's is ignored.
        QTRY_COMPARE_WITH_TIMEOUT(shown(chart), 60, patienceMs);
        // The newest 50 bars in view, however few were cached.
        QCOMPARE(QPointF(chart.xAxis->range().lower, chart.xAxis->range().upper), QPointF(10, 60));
        m_manager->requestChartHistory("GBPUSD", effective, 0, -1);
        m_manager->updateChartHistoryFromServer(historyReply(makeBars(80, kHour, effective), effective, "GBPUSD"));
        QCoreApplication::processEvents();
        QCOMPARE(shown(chart), 60);
        // A tick an hour into the next period opens a bar at that period's start.
        const qint64 next = kHour + 60 * qint64(effective) * 60;
        chart.updateWithTick(tick(next + 3600 + 1, 1.1));
        if (effective < 40000)
            QCOMPARE(chart.lastBarTime(), double(effective > 60 ? next : next + 3600));
    }

    void liveCandle_data()
    {
        QTest::addColumn<LiveRow>("row");
        const qint64 t = kHour; // "10:00:00"
        const auto row = [](const char *name, const LiveRow &r) { QTest::newRow(name) << r; };
        row("a tick at 10:59:59 updates the 10:00 bar", {60, t, {{t + 3599, 1.2}}, 1, t, 1.2, 1.1, {}, Qt::green});
        row("a tick at 11:00:30 completes the 10:00 bar and opens one at 11:00:00",
            {60, t, {{t + 1800, 1.12}, {t + 3630, 1.2}}, 2, t + 3600, 1.2, 1.12, {}, Qt::green});
        row("a late tick at 10:59:59 after the 11:00 bar is dropped",
            {60, t, {{t + 3600, 1.2}, {t + 3599, 1.3}}, 2, t + 3600, 1.2, 1.1, {}, {}});
        row("a bar stamped at its first tick still ends with its period",
            {60, t + 1200, {{t + 2700, 1.2}}, 1, t + 1200, 1.2, 1.1, {}, {}});
        // An earlier bucket's tick must not touch the axis.
        row("a bid above the range lifts the upper bound 5 points above it",
            {60, t, {{t - 1, 9.9}, {t + 10, 1.3}}, 1, t, 1.3, 1.1, {1.05, 1.30005}, Qt::green});
        row("a bid below the range lowers the lower bound 5 points below it, its tag red under the open",
            {60, t, {{t - 1, 9.9}, {t + 10, 1.0}}, 1, t, 1.0, 1.1, {0.99995, 1.15}, Qt::red});
        // The server's weeks begin on Sunday; the epoch's on Thursday.
        row("a Thursday tick stays in the server's weekly bar",
            {10080, utc("2023-11-12T00:00"), {{utc("2023-11-16T00:01"), 1.2}}, 1, utc("2023-11-12T00:00"), 1.2, 1.1,
             {}, {}});
        row("a tick of the next Sunday opens a weekly bar on that Sunday",
            {10080, utc("2023-11-12T00:00"), {{utc("2023-11-19T01:00"), 1.2}}, 2, utc("2023-11-19T00:00"), 1.2, 1.1,
             {}, {}});
        row("a monthly tick of the month before is dropped",
            {40000, utc("2024-03-01T00:00"), {{utc("2024-02-28T00:00"), 1.2}}, 1, utc("2024-03-01T00:00"), 1.1, 1.1,
             {}, {}});
        row("a monthly tick in the next month opens a bar at its first day",
            {40000, utc("2024-03-01T00:00"), {{utc("2024-03-20T00:00"), 1.12}, {utc("2024-04-02T00:00"), 1.2}}, 2,
             utc("2024-04-01T00:00"), 1.2, 1.12, {}, {}});
        row("a monthly tick in the same month a year later opens a bar at the month's start",
            {40000, utc("2024-03-01T00:00"), {{utc("2024-03-20T00:00"), 1.12}, {utc("2025-03-10T00:00"), 1.2}}, 2,
             utc("2025-03-01T00:00"), 1.2, 1.12, {}, {}});
    }
    void liveCandle()
    {
        QFETCH(LiveRow, row);
        seed({{row.lastBarTime, 1.1, 1.15, 1.05, 1.1}}, row.period);
        Chart chart(m_manager.get(), "EURUSD", row.period);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QTRY_VERIFY(!chart.isDirty()); // what opening left to draw is drawn
        QSignalSpy replots(&chart, &QCustomPlot::afterReplot);
        for (const auto &t : row.ticks)
            chart.updateWithTick(tick(t.first, t.second));
        // Ticks only mark the chart; its 50 ms draw timer replots. A chart no tick changed has nothing to draw.
        QCOMPARE(replots.count(), 0);
        const bool changed = row.bars > 1 || row.close != 1.1;
        QCOMPARE(chart.isDirty(), changed);
        if (changed)
            QTRY_VERIFY_WITH_TIMEOUT(replots.count() >= 1 && !chart.isDirty(), 5000);
        // The completed bar reaches the manager with its final prices.
        QCOMPARE(QList<double>({double(shown(chart)), double(chart.barTimestamps().size()), chart.lastBarTime(),
                                chart.lastBarClose(),
                                m_manager->getChartHistory("EURUSD", row.period).first().close}),
                 QList<double>({double(row.bars), double(row.bars), double(row.lastTime), row.close, row.heldClose}));
        const QCPRange axis = chart.yAxis2->range();
        if (row.axis != QCPRange())
            QVERIFY(std::abs(axis.lower - row.axis.lower) + std::abs(axis.upper - row.axis.upper) < 1e-12);
        // The last price's tag is green, red while the price is under the bar's open.
        for (const QCPItemText *label : chart.findChildren<QCPItemText *>()) {
            if (row.tag.isValid() && label->text() == chart.lastPriceText())
                QCOMPARE(label->pen().color(), row.tag);
        }
    }

    void barStart_data()
    {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("anchor");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<qint64>("start");
        QTest::newRow("an hour at +05:30")
            << utc("2024-03-07T10:10") << 60 << 0ll << "+05:30" << utc("2024-03-07T09:30");
        QTest::newRow("four hours at +02:00")
            << utc("2024-03-07T23:59") << 240 << 0ll << "+02:00" << utc("2024-03-07T22:00");
        QTest::newRow("a day at -05:00")
            << utc("2024-03-07T03:00") << 1440 << 0ll << "-05:00" << utc("2024-03-06T05:00");
        QTest::newRow("a week before the server's bar")
            << utc("2024-02-27T12:00") << 10080 << utc("2024-03-03T22:00") << "+02:00" << utc("2024-02-25T22:00");
        QTest::newRow("a month from its last day in the server's zone")
            << utc("2024-03-01T02:00") << 40000 << 0ll << "-05:00" << utc("2024-02-01T05:00");
        // Times near the ends of the range come only from a broken server; they stay as they are.
        constexpr qint64 max = std::numeric_limits<qint64>::max();
        constexpr qint64 min = std::numeric_limits<qint64>::min();
        QTest::newRow("the last second east of UTC") << max << 60 << 0ll << "+14:00" << max;
        QTest::newRow("the first second west of UTC") << min << 60 << 0ll << "-12:00" << min;
        QTest::newRow("the first second's grid lies below the range") << min + 7 << 1 << 0ll << "" << min + 7;
        QTest::newRow("a week far from its anchor") << min << 10080 << max << "" << min;
        QTest::newRow("a week whose grid lies below the range") << min << 10080 << 0ll << "" << min;
    }
    void barStart()
    {
        QFETCH(qint64, time);
        QFETCH(int, period);
        QFETCH(qint64, anchor);
        QFETCH(QString, zone);
        QTEST(::barStart(time, period, anchor, parseServerTimeZone(zone)), "start");
    }

    // Kept as a double, the last second of the range reads back one above it.
    void barAtTheLastSecondTakesNoEarlierTick()
    {
        m_manager->requestChartHistory("EURUSD", 60, 0, -1);
        m_manager->updateChartHistoryFromServer(
            QJsonDocument::fromJson(R"({"symbol":"EURUSD","interval":60,"array":[{"datetime":9223372036854775807,)"
                                    R"("open":1.1,"high":1.15,"low":1.05,"close":1.1}]})")
                .object());
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.updateWithTick(tick(kHour + 10, 1.2));
        QCOMPARE(shown(chart), 1);
        QCOMPARE(chart.lastBarClose(), 1.1);
    }

    void tickReachesThePanelAndTheTag_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QStringList>("texts"); // sell, buy, the price tag
        QTest::newRow("bid on sell, ask on buy") << 5 << QStringList{"1.25000", "1.75000", "1.25000"};
        // Unbounded decimals would exhaust memory while formatting.
        QTest::newRow("a hostile digit count is bounded")
            << 2000000000 << QStringList{"1.250000000000000", "1.750000000000000", "1.250000000000000"};
        QTest::newRow("a negative digit count shows none") << -7 << QStringList{"1", "2", "1"};
    }
    void tickReachesThePanelAndTheTag()
    {
        QFETCH(int, digits);
        seed({{kHour, 1.1, 1.15, 1.05, 1.1}});
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.updateWithTick(tick(kHour + 10, 1.25, digits));
        const auto label = [&](const QString &side) {
            return chart.findChild<QLabel *>(side + "PriceLabel1")->text()
                + chart.findChild<QLabel *>(side + "PriceLabel2")->text();
        };
        QTEST(QStringList({label("sell"), label("buy"), chart.lastPriceText()}), "texts");
    }

    void completedBarsFeedTheIndicatorsWithTheirFinalPrices()
    {
        switchIndicators("Adx BollingerML BollingerTL BollingerBL CommodityChannelIndex MACD Momentum MovingAverage "
                         "ParabolicSAR EnvelopesUpper EnvelopesLower AlligatorJaws AlligatorTeeth AlligatorLips RSI "
                         "StandardDeviation ForceIndex WilliamsPercentRange AverageTrueRange DeMarker "
                         "AccumulationDistribution OnBalanceVolume MoneyFlowIndex BullsPower BearsPower "
                         "RelativeVigorIndex");
        seed(makeBars(120));
        Chart chart(m_manager.get(), "EURUSD", 60);
        // Three bars of several ticks each, the first tick of each far from its close.
        for (int bar = 120; bar < 123; ++bar) {
            const double bids[] = {1.3, 1.05, 1.18 + (bar - 120) * 0.01};
            for (int k = 0; k < 3; ++k)
                chart.updateWithTick(tick(kHour + bar * 3600 + k * 60, bids[k]));
        }
        chart.updateWithTick(tick(kHour + 123 * 3600, 1.2));
        QTRY_VERIFY(!chart.indicatorsPending());
        const int completed = chart.barKeys().size() - 2;
        QCOMPARE(QList<double>({chart.barHigh()[completed], chart.barLow()[completed], chart.barClose()[completed]}),
                 QList<double>({1.3, 1.05, 1.20}));

        // What the ticks built, graphs included, equals what the same bars give when loaded whole.
        QList<CandleStick> bars;
        for (int i = 0; i < chart.barKeys().size(); ++i)
            bars.append({qint64(chart.barTimestamps()[i]), chart.barOpen()[i], chart.barHigh()[i], chart.barLow()[i],
                         chart.barClose()[i]});
        Chart whole(m_manager.get(), "EURUSD", 60);
        whole.setCandleStickData(bars);
        for (int i = 0; i < Chart::IndicatorCount; ++i)
            QVERIFY2(!chart.indicatorLines(Chart::Indicator(i)).isEmpty(),
                     qPrintable(Chart::indicatorName(Chart::Indicator(i))));
        sameIndicators(chart, whole);
    }

    void timeframeChangeKeepsTheUsersColours()
    {
        seed(makeBars(70));
        seed(makeBars(30, kHour, 240), 240);
        Chart alone(nullptr, "EURUSD", 60); // without a manager ticks still make bars
        QTest::ignoreMessage(QtWarningMsg, "Chart manager is null.");
        alone.loadChart();
        alone.setCandleStickData({{kHour, 1, 1, 1, 1}});
        alone.updateWithTick(tick(kHour + 3600, 1.1));
        QCOMPARE(shown(alone), 2);
        Chart chart(m_manager.get(), "EURUSD", 60);
        QSignalSpy changed(&chart, &Chart::timeframeChanged);
        QAction unknown("H2"), h4("H4");
        chart.setBullCandleColor(Qt::cyan);
        chart.onTimeframeChanged(&unknown);
        chart.onTimeframeChanged(&h4);
        QCOMPARE(static_cast<QList<QVariantList>>(changed), QList<QVariantList>{{240}});
        QCOMPARE(shown(chart), 30);
        QCOMPARE(chart.colors().at(3), QColor(Qt::cyan));
        QCOMPARE(manager(m_login)->getColors("EURUSD", 60), chart.colors()); // read back from the file just saved
    }

    void indicatorSwitchesRoundTrip_data()
    {
        QTest::addColumn<QString>("switches");
        QTest::addColumn<QStringList>("paneOrder");
        QTest::newRow("bulls power stacks above bears power whatever the order")
            << "BearsPower BullsPower" << QStringList{"Bulls Power", "Bears Power"};
        QTest::newRow("panes stack in load order, overlays only show their graphs")
            << "RelativeVigorIndex Adx EnvelopesLower MovingAverage MACD"
            << QStringList{"Adx", "MACD", "Relative Vigor Index"};
    }
    void indicatorSwitchesRoundTrip()
    {
        QFETCH(QString, switches);
        QFETCH(QStringList, paneOrder);
        switchIndicators(switches);
        QVector<CandleStick> bars;
        for (int i = 0; i < 100; ++i)
            bars.append({kHour + i * 3600, 1.0, 1.5, 0.75, 1.0});
        seed(bars);
        Chart chart(m_manager.get(), "EURUSD", 60);
        // Flat closes make both averages 1, so each power is its own extreme less 1.
        if (switches.contains("BullsPower")) {
            QCOMPARE(chart.indicatorLines(Chart::BullsPower).value(QString()).values.mid(13),
                     QVector<double>(87, 0.5));
            QCOMPARE(chart.indicatorLines(Chart::BearsPower).value(QString()).values.mid(13),
                     QVector<double>(87, -0.25));
        }
        QStringList rows;
        QCOMPARE(chart.plotLayout()->elementCount(), 1 + paneOrder.size());
        for (int row = 1; row < chart.plotLayout()->rowCount(); ++row) {
            for (int i = 0; i < Chart::IndicatorCount; ++i) {
                if (chart.indicatorPane(Chart::Indicator(i)) == chart.plotLayout()->element(row, 0))
                    rows << Chart::indicatorName(Chart::Indicator(i));
            }
        }
        QCOMPARE(rows, paneOrder);
        QCOMPARE(chart.indicatorPlottables(Chart::Envelopes)[1]->visible(), switches.contains("EnvelopesLower"));
        QVERIFY(!chart.indicatorPlottables(Chart::Envelopes)[0]->visible());
        // Panes shown at start are filled at once, not at the next bar.
        if (switches.contains("Adx"))
            QVERIFY(chart.indicatorPlottables(Chart::Adx)[0]->interface1D()->dataCount() > 0);
        switchIndicators({});
        chart.saveIndicatorSettings();
        QSettings settings("MorWell", "Client");
        settings.beginGroup("Indicator/EURUSD");
        QCOMPARE(settings.childKeys().size(), 28); // the switches off are written too
        // The two RVI lines are never switched off, so their keys always read true.
        QStringList stored, expected = switches.split(' ') << "RelativeVigorIndex1" << "RelativeVigorIndex2";
        for (const QString &key : settings.childKeys())
            stored << (settings.value(key).toBool() ? key : QString());
        stored.removeAll(QString());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(stored, expected);
    }

    void historyReplyMergesIntoTheView_data()
    {
        QTest::addColumn<QVector<int>>("replyBars"); // offsets from the newest held bar; -200 is before the first
        QTest::addColumn<QPointF>("view");           // (0, 0): as opened, on the last 50 bars
        QTest::addColumn<QPointF>("expectedView");
        QTest::newRow("a new bar at the live end moves the view along")
            << QVector<int>{0, 1} << QPointF() << QPointF(151, 201);
        QTest::newRow("a new bar leaves a view scrolled back where it is")
            << QVector<int>{0, 1} << QPointF(20, 70) << QPointF(20, 70);
        QTest::newRow("replaced bars only leave the view at the end")
            << QVector<int>{-1, 0} << QPointF() << QPointF(150, 200);
        QTest::newRow("an older bar keeps the same bars in view")
            << QVector<int>{-200} << QPointF(20, 70) << QPointF(21, 71);
    }
    void historyReplyMergesIntoTheView()
    {
        QFETCH(QVector<int>, replyBars);
        QFETCH(QPointF, view);
        switchIndicators("Adx BollingerML MACD MovingAverage ParabolicSAR AlligatorJaws RSI");
        const QVector<CandleStick> held = makeBars(200);
        seed(held);
        Chart chart(m_manager.get(), "EURUSD", 60);
        if (!view.isNull())
            chart.xAxis->setRange(view.x(), view.y());
        QVector<CandleStick> reply;
        for (const int offset : replyBars)
            reply.append({held.last().timestamp + offset * 3600, 1.2, 1.3, 1.0, 1.25 + offset * 0.01});
        seed(reply);
        QCoreApplication::processEvents();
        const int added = int(std::count_if(replyBars.cbegin(), replyBars.cend(), [](int offset) { return offset > 0 || offset < -199; }));
        QTRY_VERIFY(!chart.indicatorsPending() && shown(chart) == 200 + added);
        QTEST(QPointF(chart.xAxis->range().lower, chart.xAxis->range().upper), "expectedView");

        // What the merge left is what a chart loading all bars at once shows.
        Chart fresh(m_manager.get(), "EURUSD", 60);
        QTRY_VERIFY(!fresh.indicatorsPending());
        QCOMPARE(chart.barClose(), fresh.barClose());
        QCOMPARE(chart.lastBarTime(), fresh.lastBarTime());
        QCOMPARE(chart.barHigh(), fresh.barHigh());
        QCOMPARE(chart.lastBarClose(), fresh.lastBarClose());
        sameIndicators(chart, fresh);
    }

    void liveCandleIsDrawnWithItsTicks_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<double>("viewStart"); // the view ends a little after the live bar
        QTest::newRow("the last bars in view") << 300 << 250.0;
        QTest::newRow("zoomed out to many bars a pixel") << 20000 << -1.0;
    }
    void liveCandleIsDrawnWithItsTicks()
    {
        QFETCH(int, bars);
        QFETCH(double, viewStart);
        const QVector<CandleStick> held = makeBars(bars);
        seed(held);
        Chart chart(m_manager.get(), "EURUSD", 60);
        // The first tick opens a bar; the next, in the same bar, lift its high above every other bar.
        const qint64 next = held.last().timestamp + 3600;
        const double peak = held.last().high + 1.0;
        chart.updateWithTick(tick(next + 1, held.last().close));
        chart.updateWithTick(tick(next + 2, peak));
        chart.updateWithTick(tick(next + 3, held.last().close + 0.5));
        chart.resize(1000, 700);
        chart.xAxis->setRange(viewStart, bars + 1 + bars / 20);
        const QImage image = chart.toPixmap().toImage();
        const QRect prices = chart.axisRect()->rect();
        int top = prices.bottom();
        for (int y = prices.top(); y < prices.bottom() && top == prices.bottom(); ++y) {
            for (int x = prices.left(); x < prices.right(); ++x) {
                // A rising candle's body, or its green wick where candles are thinner than a pixel.
                const QColor c = image.pixelColor(x, y);
                if (c == QColor(Qt::yellow) || c.green() - std::max(c.red(), c.blue()) > 60)
                    top = std::min(top, y);
            }
        }
        QVERIFY2(std::abs(top - int(chart.yAxis2->coordToPixel(peak))) <= 2, qPrintable(QString::number(top)));
    }

    void valueAxesFitTheBarsInView_data()
    {
        QTest::addColumn<QCPRange>("view");
        QTest::addColumn<bool>("flatTail");
        QTest::newRow("bars in the middle with the live bar out of view") << QCPRange(40, 60) << false;
        QTest::newRow("flat bars whose Williams %R is not a number") << QCPRange(150, 200) << true;
        QTest::newRow("the newest bars") << QCPRange(170, 201) << false;
        QTest::newRow("bars before the indicators' first points keep their panes' ranges") << QCPRange(0, 10) << false;
    }
    void valueAxesFitTheBarsInView()
    {
        QFETCH(QCPRange, view);
        QFETCH(bool, flatTail);
        switchIndicators("WilliamsPercentRange MACD BearsPower RSI");
        QVector<CandleStick> bars = makeBars(200);
        for (int i = 170; flatTail && i < 200; ++i)
            bars[i] = {bars[i].timestamp, 1.1, 1.1, 1.1, 1.1};
        bars.last().high += 0.05; // the live bar reaches beyond every other
        bars.last().low -= 0.05;
        seed(bars);
        Chart chart(m_manager.get(), "EURUSD", 60);
        QTRY_VERIFY(!chart.indicatorsPending());
        QMap<QCPAxisRect *, QCPRange> before;
        for (auto indicator : {Chart::WilliamsPercentRange, Chart::BearsPower, Chart::Rsi, Chart::Macd})
            before[chart.indicatorPane(indicator)] = chart.indicatorPane(indicator)->axis(QCPAxis::atRight)->range();
        // A pane with nothing of its line in view, or one flat value, keeps the range it had.
        const auto fitted = [&](Chart::Indicator indicator, const IndicatorSeries &line, int first, int last) {
            const QCPRange range = finiteRange(line, first, last);
            return range.lower < range.upper ? range : before.value(chart.indicatorPane(indicator));
        };
        chart.xAxis->setRange(view);

        const int first = std::max(0, int(view.lower) - 1), last = std::min(199, int(view.upper) + 1);
        QCPRange price(bars.last().low, bars.last().high); // the live bar always counts
        for (int i = first; i <= last; ++i)
            price = QCPRange(std::min(price.lower, bars[i].low), std::max(price.upper, bars[i].high));
        QCOMPARE(chart.yAxis2->range(), price);
        for (auto indicator : {Chart::WilliamsPercentRange, Chart::BearsPower, Chart::Rsi}) {
            const QCPRange range = chart.indicatorPane(indicator)->axis(QCPAxis::atRight)->range(),
                           expected = fitted(indicator, chart.indicatorLines(indicator).value(QString()), first, last);
            QVERIFY2(range == expected, qPrintable(QString::asprintf("%s: %g..%g, expected %g..%g",
                                                                     qPrintable(Chart::indicatorName(indicator)),
                                                                     range.lower, range.upper, expected.lower,
                                                                     expected.upper)));
            QCOMPARE(chart.indicatorPane(indicator)->axis(QCPAxis::atBottom)->range(), view);
        }
        // The MACD pane follows its signal line, not the histogram.
        QCOMPARE(chart.indicatorPane(Chart::Macd)->axis(QCPAxis::atRight)->range(),
                 fitted(Chart::Macd, chart.indicatorLines(Chart::Macd).value("signal"), first, last));
    }

    void valueToolTip_data()
    {
        QTest::addColumn<double>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("midway between bars 10 and 11 shows bar 10") << 10.5 << "RSI\nValue: 10.25";
        QTest::newRow("near bar 11 shows bar 11") << 10.8 << "RSI\nValue: 11.25";
        QTest::newRow("beyond the last point shows the last") << 40.0 << "RSI\nValue: 19.25";
        QTest::newRow("before the first point shows the first") << -3.0 << "RSI\nValue: 0.25";
    }
    void valueToolTip()
    {
        QFETCH(double, key);
        QFETCH(QString, text);
        Chart chart(nullptr, "EURUSD", 60);
        chart.resize(800, 600);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        // Two pixels per bar, so that a half bar falls on a whole pixel.
        chart.xAxis->setRange(0, chart.axisRect()->width() / 2.0);
        chart.replot();
        IndicatorSeries series;
        for (int i = 0; i < 20; ++i) {
            series.keys << i;
            series.values << i + 0.25;
        }
        const int x = qRound(chart.xAxis->coordToPixel(key));
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 100), chart.mapToGlobal(QPoint(x, 100)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        chart.showValueToolTip(series, "RSI", &move);
        QCOMPARE(QToolTip::text(), text);
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
        // The same text again is not shown again; an empty series forgets it.
        chart.showValueToolTip(series, "RSI", &move);
        QVERIFY(QToolTip::text().isEmpty());
        chart.showValueToolTip(IndicatorSeries(), "RSI", &move);
        chart.showValueToolTip(series, "RSI", &move);
        QCOMPARE(QToolTip::text(), text);
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    void graphToolTip_data()
    {
        QTest::addColumn<ToolTipRow>("row");
        const auto row = [](const char *name, const ToolTipRow &r) { QTest::newRow(name) << r; };
        row("a pointer on the RSI line names it", {Chart::Rsi, "", "RSI", true, 0});
        row("Williams' range goes by its short name", {Chart::WilliamsPercentRange, "", "Williams %R", true, 0});
        row("the lower Bollinger band names the bands", {Chart::Bollinger, "bl", "Bollinger", true, 0});
        row("the ADX line of its pane", {Chart::Adx, "adx", "ADX", true, 0});
        row("a pointer far from the line in its pane still names it", {Chart::Rsi, "", "RSI", true, 1});
        row("a pointer outside every pane shows nothing", {Chart::Rsi, "", "", true, -1});
        row("a hidden line is not hit", {Chart::Rsi, "", "", false, 0});
    }
    void graphToolTip()
    {
        QFETCH(ToolTipRow, row);
        switchIndicators("RSI WilliamsPercentRange Adx BollingerML BollingerTL BollingerBL");
        seed(makeBars(100));
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.resize(800, 900);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QTRY_VERIFY(!chart.indicatorsPending());
        chart.replot();
        QCPAbstractPlottable *graph = nullptr;
        for (QCPAbstractPlottable *plottable : chart.indicatorPlottables(row.indicator))
            graph = graph ? graph : (row.line.isEmpty() || plottable->name() == row.line ? plottable : nullptr);
        QVERIFY(graph);
        graph->setVisible(row.shown);
        chart.replot();
        const IndicatorSeries &series = chart.indicatorLines(row.indicator).value(row.line);
        // A point of the line in view: overlays may leave the price range, which follows the candles alone.
        int m = series.keys.size() - 3;
        while (m > 0 && !graph->valueAxis()->range().contains(series.values[m]))
            --m;
        QVERIFY(m > 0 && graph->keyAxis()->range().contains(series.keys[m]));
        QPoint at(qRound(graph->keyAxis()->coordToPixel(series.keys[m])),
                  qRound(graph->valueAxis()->coordToPixel(series.values[m])));
        const QRect pane = graph->keyAxis()->axisRect()->rect();
        if (row.away > 0) // anywhere in the line's pane hits it, however far from the line
            at.setY(at.y() > pane.center().y() ? pane.top() + 2 : pane.bottom() - 2);
        else if (row.away < 0) // over the value axis, outside every pane
            at.setX(pane.right() + 10);
        QTest::mouseMove(chart.windowHandle(), at);
        QCOMPARE(QToolTip::text(),
                 row.label.isEmpty() ? QString() : QString("%1\nValue: %2").arg(row.label).arg(series.values[m]));
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    void rendersCandlesOverlayAndPanes()
    {
        switchIndicators("BollingerML BollingerTL BollingerBL MACD RSI");
        const QVector<CandleStick> bars = makeBars(300);
        seed(bars);
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.updateWithTick(tick(bars.last().timestamp + 60, bars.last().close + 0.001));
        chart.xAxis->setRange(240, 301);
        const QImage image = chart.toPixmap(1000, 700).toImage();
        // Bull and bear bodies fill the price pane, above the two indicator panes.
        const QRect prices = chart.axisRect()->rect();
        QVERIFY(prices.bottom() < 500);
        int bull = 0, bear = 0;
        for (int y = prices.top(); y < prices.bottom(); ++y) {
            for (int x = prices.left(); x < prices.right(); ++x) {
                bull += image.pixelColor(x, y) == QColor(Qt::yellow);
                bear += image.pixelColor(x, y) == QColor(Qt::magenta);
            }
        }
        QVERIFY2(bull > 500 && bear > 500, qPrintable(QStringLiteral("%1 bull, %2 bear").arg(bull).arg(bear)));
    }
};

KESTRAL_TEST_MAIN(TestSymbolChartWidget)
#include "tst_symbolchartwidget.moc"
