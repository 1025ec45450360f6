#include "axistag.h"
#include "chartmanager.h"
#include "symbolchartwidget.h"
#include "testmain.h"
#include "tickdata.h"
#include "tradesession.h"

#include <QAction>
#include <QJsonArray>
#include <QSettings>
#include <QSignalSpy>
#include <cmath>

using Chart = SymbolChartWidget;
using Requests = QList<QPair<qint64, qint64>>;
using Ticks = QList<QPair<qint64, double>>; // time, bid
Q_DECLARE_METATYPE(Ticks)
Q_DECLARE_METATYPE(QCPRange)

namespace {

// 2023-11-14 22:00:00 UTC, a whole hour.
constexpr qint64 kHour = 1699999200;

// Records what the chart asks the server for; calls made inside the base
// constructor do not reach it, so tests call loadChart themselves.
class RecordingChart : public SymbolChartWidget
{
public:
    using SymbolChartWidget::SymbolChartWidget;
    Requests requests;

protected:
    void requestHistory(qint64 from, qint64 to) override
    {
        requests.append({from, to});
        SymbolChartWidget::requestHistory(from, to);
    }
};

QList<CandleStick> makeBars(int count, qint64 firstTime, int period, double base = 1.1)
{
    QList<CandleStick> bars;
    for (int i = 0; i < count; ++i) {
        const double mid = base + 0.01 * std::sin(i / 7.0) + 0.0001 * i;
        bars.append({firstTime + qint64(i) * period * 60, mid, mid + 0.002, mid - 0.002, mid + 0.0005 * ((i % 3) - 1)});
    }
    return bars;
}

void seed(ChartManager &manager, const QString &symbol, int period, const QList<CandleStick> &bars)
{
    QJsonArray array;
    for (const CandleStick &b : bars)
        array.append(QJsonObject{{"datetime", b.timestamp}, {"open", b.open}, {"high", b.high}, {"low", b.low},
                                 {"close", b.close}});
    manager.updateChartHistoryFromServer({{"res_code", 3}, {"symbol", symbol}, {"interval", period}, {"array", array}});
}

TickData tick(qint64 time, double bid, const QString &symbol = "EURUSD")
{
    TickData t;
    t.symbol = symbol;
    t.timestamp = time;
    t.bid = bid;
    t.ask = bid + 0.0002;
    t.digits = 5;
    t.minVol = 0.01;
    t.maxVol = 100;
    t.stepVol = 0.01;
    return t;
}

void switchIndicators(const QString &symbol, const QStringList &suffixes)
{
    QSettings settings("MorWell", "Client");
    settings.remove(QStringLiteral("Indicator/%1").arg(symbol));
    for (const QString &suffix : suffixes)
        settings.setValue(QStringLiteral("Indicator/%1/%2").arg(symbol, suffix), true);
    settings.sync();
}

const QStringList kAllSwitches = {"Adx", "BollingerML", "BollingerTL", "BollingerBL", "CommodityChannelIndex",
                                  "MACD", "Momentum", "MovingAverage", "ParabolicSAR", "EnvelopesUpper",
                                  "EnvelopesLower", "AlligatorJaws", "AlligatorTeeth", "AlligatorLips", "RSI",
                                  "StandardDeviation", "ForceIndex", "WilliamsPercentRange", "AverageTrueRange",
                                  "DeMarker", "AccumulationDistribution", "OnBalanceVolume", "MoneyFlowIndex",
                                  "BullsPower", "BearsPower", "RelativeVigorIndex"};

const QList<QColor> kColors = {Qt::black, Qt::white, Qt::blue, Qt::black, Qt::red, Qt::gray, Qt::green, Qt::green};

QList<CandleStick> seriesOf(const Chart &chart)
{
    QList<CandleStick> bars;
    for (int i = 0; i < chart.barKeys().size(); ++i)
        bars.append({qint64(chart.barTimestamps()[i]), chart.barOpen()[i], chart.barHigh()[i], chart.barLow()[i],
                     chart.barClose()[i]});
    return bars;
}

bool sameValue(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::abs(a - b) <= 1e-9; }

QString compareSeries(const IndicatorSeries &a, const IndicatorSeries &b)
{
    if (a.keys != b.keys)
        return QStringLiteral("keys differ (%1 vs %2 points)").arg(a.keys.size()).arg(b.keys.size());
    for (int m = 0; m < a.values.size(); ++m) {
        if (!sameValue(a.values[m], b.values[m]))
            return QStringLiteral("value at key %1: %2 vs %3").arg(a.keys[m]).arg(a.values[m]).arg(b.values[m]);
    }
    return QString();
}

IndicatorSeries plottedSeries(QCPAbstractPlottable *plottable)
{
    IndicatorSeries series;
    if (auto *graph = qobject_cast<QCPGraph *>(plottable)) {
        for (const auto &point : *graph->data()) {
            series.keys << point.key;
            series.values << point.value;
        }
    } else if (auto *bars = qobject_cast<QCPBars *>(plottable)) {
        for (const auto &point : *bars->data()) {
            series.keys << point.key;
            series.values << point.value;
        }
    }
    return series;
}

} // namespace

class TestSymbolChartWidget : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ChartManager> m_manager;
    qint64 m_login = 7000;

private slots:
    void init()
    {
        m_manager = std::make_unique<ChartManager>(nullptr);
        m_manager->setAccount(++m_login, "Demo-Server");
        QVERIFY(ChartManager::waitForFileWork(30000));
        m_manager->setColors("EURUSD", 60, kColors, false);
        switchIndicators("EURUSD", {});
    }
    void cleanup()
    {
        QVERIFY(ChartManager::waitForFileWork(30000));
        m_manager.reset();
    }

    void loadChartAsksForNewerBars_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("cached");
        QTest::addColumn<qint64>("firstTime");
        QTest::addColumn<Requests>("expected"); // from -1 stands for "now minus 2000 periods"
        QTest::addColumn<int>("bars");

        QTest::newRow("cached H1 bars ask from the last bar's time") << 60 << 3 << kHour
                                                                      << Requests{{kHour + 7200, -1}} << 3;
        QTest::newRow("no cached D1 bars ask from 2000 days back") << 1440 << 0 << kHour << Requests{{-1, -1}} << 0;
        QTest::newRow("no cached monthly bars ask from the epoch") << 40000 << 0 << kHour << Requests{{0, -1}} << 0;
        QTest::newRow("a cached last bar at time 0 asks for nothing") << 60 << 1 << qint64(0) << Requests{} << 1;
        QTest::newRow("a period of 0 loads the hourly chart") << 0 << 2 << kHour << Requests{{kHour + 3600, -1}}
                                                              << 2;
    }
    void loadChartAsksForNewerBars()
    {
        QFETCH(int, period);
        QFETCH(int, cached);
        QFETCH(qint64, firstTime);
        QFETCH(Requests, expected);
        QFETCH(int, bars);

        const int effective = period > 0 ? period : 60;
        if (cached)
            seed(*m_manager, "EURUSD", effective, makeBars(cached, firstTime, effective));
        RecordingChart chart(m_manager.get(), "EURUSD", period);
        QCOMPARE(chart.period(), effective);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        chart.loadChart();

        QCOMPARE(chart.requests.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const qint64 from = chart.requests[i].first;
            if (expected[i].first == -1)
                QVERIFY(std::abs(from - (now - qint64(effective) * 120000)) <= 5);
            else
                QCOMPARE(from, expected[i].first);
            QCOMPARE(chart.requests[i].second, qint64(-1));
            QVERIFY(ChartManager::chartHistoryRequest("EURUSD", effective, from, -1).has_value());
        }
        QCOMPARE(chart.candlesticks()->data()->size(), bars);
    }

    void historyRequestTravelsToTheServerAndBack()
    {
        TradeSession session;
        session.server.setLoginReply(FakeTradeServer::LoginMode::Accept);
        QJsonArray array;
        for (const CandleStick &b : makeBars(60, kHour, 60))
            array.append(QJsonObject{{"datetime", b.timestamp}, {"open", b.open}, {"high", b.high},
                                     {"low", b.low}, {"close", b.close}});
        session.server.setReplies(3, {{{"res_code", 3}, {"symbol", "EURUSD"}, {"interval", 60}, {"array", array}}});
        QVERIFY(session.logIn());

        ChartManager manager(&session.client);
        manager.setAccount(TradeSession::account, "Demo");
        QVERIFY(ChartManager::waitForFileWork(30000));
        connect(&session.client, &TradeClient::chartHistoryReceived, &manager,
                &ChartManager::updateChartHistoryFromServer);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        Chart chart(&manager, "EURUSD", 60);

        QTRY_COMPARE(session.server.requests(3).size(), 1);
        const QJsonObject request = session.server.requests(3).first();
        QCOMPARE(request.value("symbol").toString(), QString("EURUSD"));
        QCOMPARE(request.value("interval").toInt(), 60);
        QCOMPARE(request.value("to").toInt(), -1);
        QVERIFY(std::abs(request.value("from").toVariant().toLongLong() - (now - 60 * 120000)) <= 5);
        QTRY_COMPARE(chart.candlesticks()->data()->size(), 60);
        QVERIFY(ChartManager::waitForFileWork(30000));
    }

    void historyAnnouncements_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("period");
        QTest::addColumn<bool>("reloads");
        QTest::newRow("the chart's own symbol and period reload it") << "EURUSD" << 60 << true;
        QTest::newRow("another symbol is ignored") << "GBPUSD" << 60 << false;
        QTest::newRow("another period is ignored") << "EURUSD" << 240 << false;
    }
    void historyAnnouncements()
    {
        QFETCH(QString, symbol);
        QFETCH(int, period);
        QFETCH(bool, reloads);
        Chart chart(m_manager.get(), "EURUSD", 60);
        QCOMPARE(chart.candlesticks()->data()->size(), 0);
        seed(*m_manager, symbol, period, makeBars(80, kHour, period));
        // The announcement is queued: nothing happens before the event loop runs.
        QCOMPARE(chart.candlesticks()->data()->size(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(chart.candlesticks()->data()->size(), reloads ? 80 : 0);
        if (reloads) {
            QCOMPARE(chart.xAxis->range(), QCPRange(30, 80));
            QCOMPARE(chart.barKeys().size(), 80);
        }
    }

    void announcementRestoresSavedLines()
    {
        m_manager->setObjects("EURUSD", 60,
                              {{2, 1.105, 9, 1.105, "Horizontal Line 4"},
                               {3, 1.1, 7, 1.12, "Trend Line 5"},
                               {1, 1.1, 6, 1.1, "Fibonacci 6 (50%)"}},
                              true);
        Chart chart(m_manager.get(), "EURUSD", 60);
        const int itemsBefore = chart.itemCount();
        seed(*m_manager, "EURUSD", 60, makeBars(20, kHour, 60));
        QCoreApplication::processEvents();
        const auto names = chart.objectNamesForCurrentPeriod().values();
        QCOMPARE(QSet<QString>(names.begin(), names.end()), (QSet<QString>{"Horizontal Line 4", "Trend Line 5"}));
        // Two lines and one level tag (three items) more on the plot.
        QCOMPARE(chart.itemCount(), itemsBefore + 2 + 3);
        // A second announcement reloads the bars but restores nothing twice.
        seed(*m_manager, "EURUSD", 60, makeBars(21, kHour, 60));
        QCoreApplication::processEvents();
        QCOMPARE(chart.itemCount(), itemsBefore + 5);
        QCOMPARE(chart.candlesticks()->data()->size(), 21);
    }

    void liveCandle_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("lastBarTime");
        QTest::addColumn<Ticks>("ticks");
        QTest::addColumn<int>("bars");
        QTest::addColumn<double>("lastTime");
        QTest::addColumn<double>("close");
        QTest::addColumn<double>("heldClose"); // the first bar as the manager holds it

        const qint64 t = kHour; // "10:00:00"
        QTest::newRow("a tick at 10:59:59 updates the 10:00 bar")
            << 60 << t << Ticks{{t + 3599, 1.2}} << 1 << double(t) << 1.2 << 1.1;
        QTest::newRow("a tick at 11:00:00 completes the 10:00 bar and opens one at 11:00:00")
            << 60 << t << Ticks{{t + 1800, 1.12}, {t + 3600, 1.2}} << 2 << double(t + 3600) << 1.2 << 1.12;
        QTest::newRow("a late tick at 10:59:59 after the 11:00 bar is dropped")
            << 60 << t << Ticks{{t + 3600, 1.2}, {t + 3599, 1.3}} << 2 << double(t + 3600) << 1.2 << 1.1;
        QTest::newRow("buckets count from the epoch, not from the bar's first tick")
            << 60 << t + 1200 << Ticks{{t + 2700, 1.2}} << 1 << double(t + 1200) << 1.2 << 1.1;
        QTest::newRow("a period of 0 buckets by the hour")
            << 0 << t << Ticks{{t + 3599, 1.12}, {t + 3600, 1.3}} << 2 << double(t + 3600) << 1.3 << 1.12;

        const auto local = [](int y, int m, int d) {
            return QDateTime(QDate(y, m, d), QTime(12, 0), Qt::LocalTime).toSecsSinceEpoch();
        };
        const qint64 march = local(2024, 3, 10);
        QTest::newRow("a monthly tick later in the month updates the bar")
            << 40000 << march << Ticks{{local(2024, 3, 28), 1.2}} << 1 << double(march) << 1.2 << 1.1;
        QTest::newRow("a monthly tick in the same month a year later opens a bar")
            << 40000 << march << Ticks{{local(2024, 3, 20), 1.12}, {local(2025, 3, 10), 1.2}} << 2
            << double(local(2025, 3, 10)) << 1.2 << 1.12;
        QTest::newRow("a monthly tick in the next month opens a bar")
            << 40000 << march << Ticks{{local(2024, 4, 2), 1.2}} << 2 << double(local(2024, 4, 2)) << 1.2 << 1.1;
        QTest::newRow("a monthly tick of the month before is dropped")
            << 40000 << march << Ticks{{local(2024, 2, 28), 1.2}} << 1 << double(march) << 1.1 << 1.1;
    }
    void liveCandle()
    {
        QFETCH(int, period);
        QFETCH(qint64, lastBarTime);
        QFETCH(Ticks, ticks);
        QFETCH(int, bars);
        QFETCH(double, lastTime);
        QFETCH(double, close);
        QFETCH(double, heldClose);

        const int effective = period > 0 ? period : 60;
        seed(*m_manager, "EURUSD", effective, {{lastBarTime, 1.1, 1.15, 1.05, 1.1}});
        Chart chart(m_manager.get(), "EURUSD", period);
        for (const auto &t : ticks)
            chart.updateWithTick(tick(t.first, t.second));

        QCOMPARE(chart.candlesticks()->data()->size(), bars);
        QCOMPARE(chart.lastBarTime(), lastTime);
        QCOMPARE((chart.candlesticks()->data()->constEnd() - 1)->close, close);
        QCOMPARE(chart.barKeys().size(), bars);
        QCOMPARE(chart.barTimestamps().size(), bars);
        // The completed bar reaches the manager with its final prices.
        QCOMPARE(m_manager->getChartHistory("EURUSD", effective).first().close, heldClose);
    }

    void ticksThatDoNotBelongAreIgnored_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<qint64>("time");
        QTest::newRow("a tick of another symbol") << "GBPUSD" << kHour + 60;
        QTest::newRow("a tick without a symbol") << "" << kHour + 60;
        QTest::newRow("a tick at time 0") << "EURUSD" << qint64(0);
    }
    void ticksThatDoNotBelongAreIgnored()
    {
        QFETCH(QString, symbol);
        QFETCH(qint64, time);
        seed(*m_manager, "EURUSD", 60, {{kHour, 1.1, 1.15, 1.05, 1.1}});
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.updateWithTick(tick(time, 1.5, symbol));
        QCOMPARE((chart.candlesticks()->data()->constEnd() - 1)->high, 1.15);
        QVERIFY(!chart.isDirty());
    }

    void completedBarEntersTheSeriesWithItsFinalPrices()
    {
        switchIndicators("EURUSD", kAllSwitches);
        seed(*m_manager, "EURUSD", 60, makeBars(120, kHour, 60));
        Chart chart(m_manager.get(), "EURUSD", 60);
        const qint64 next = kHour + 120 * 3600;
        // Three bars of several ticks each, the first tick of each far from its close.
        for (int bar = 0; bar < 3; ++bar) {
            const qint64 start = next + bar * 3600;
            chart.updateWithTick(tick(start, 1.3));
            chart.updateWithTick(tick(start + 60, 1.05));
            chart.updateWithTick(tick(start + 120, 1.18 + bar * 0.01));
        }
        chart.updateWithTick(tick(next + 3 * 3600, 1.2));
        QTRY_VERIFY(!chart.indicatorsPending());

        const int completed = chart.barKeys().size() - 2;
        const auto candle = chart.candlesticks()->data()->at(completed);
        QCOMPARE(chart.barOpen()[completed], candle->open);
        QCOMPARE(chart.barHigh()[completed], 1.3);
        QCOMPARE(chart.barLow()[completed], 1.05);
        QCOMPARE(chart.barClose()[completed], 1.20);
        QCOMPARE(m_manager->getChartHistory("EURUSD", 60).constLast().close, 1.20);

        // Every indicator equals one computed afresh over the same bars, and its
        // graphs show exactly its output.
        Chart fresh(nullptr, "EURUSD", 60);
        fresh.setCandleStickData(seriesOf(chart));
        for (int i = 0; i < Chart::IndicatorCount; ++i) {
            const auto indicator = Chart::Indicator(i);
            if (indicator == Chart::ForceIndex) // drawn from random volumes
                continue;
            const IndicatorLines &live = chart.indicatorLines(indicator);
            QVERIFY2(!live.isEmpty(), qPrintable(Chart::indicatorName(indicator)));
            for (auto it = live.cbegin(); it != live.cend(); ++it) {
                const QString where = Chart::indicatorName(indicator) + " " + it.key() + ": ";
                const QString fault = compareSeries(*it, fresh.indicatorLines(indicator).value(it.key()));
                QVERIFY2(fault.isEmpty(), qPrintable(where + fault));
            }
            const auto plottables = chart.indicatorPlottables(indicator);
            for (QCPAbstractPlottable *plottable : plottables) {
                const QString line = live.contains(plottable->name()) ? plottable->name() : QString();
                const QString fault = compareSeries(plottedSeries(plottable), live.value(line));
                QVERIFY2(fault.isEmpty(), qPrintable(Chart::indicatorName(indicator) + " graph: " + fault));
            }
        }
    }

    void ticksReplotOnlyOnTheDrawTimer()
    {
        seed(*m_manager, "EURUSD", 60, makeBars(60, kHour, 60));
        Chart chart(m_manager.get(), "EURUSD", 60);
        QSignalSpy replots(&chart, &QCustomPlot::afterReplot);
        const qint64 live = kHour + 59 * 3600;
        for (int i = 0; i < 20; ++i)
            chart.updateWithTick(tick(live + i, 1.1 + i * 0.0001));
        chart.updateWithTick(tick(live + 3600, 1.2)); // opens a bar
        QCOMPARE(replots.count(), 0);
        QVERIFY(chart.isDirty());
        QTRY_VERIFY(!chart.isDirty());
        QVERIFY(replots.count() >= 1);
        QCOMPARE(chart.lastPriceText(), QString("1.20000"));
    }

    void valueAxisFollowsThePrice_data()
    {
        QTest::addColumn<double>("bid");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::newRow("a bid above the range lifts the upper bound 5 points above it") << 1.3 << 1.05 << 1.30005;
        QTest::newRow("a bid below the range lowers the lower bound 5 points below it") << 1.0 << 0.99995 << 1.15;
        QTest::newRow("a bid inside the range changes nothing") << 1.1 << 1.05 << 1.15;
    }
    void valueAxisFollowsThePrice()
    {
        QFETCH(double, bid);
        QFETCH(double, lower);
        QFETCH(double, upper);
        seed(*m_manager, "EURUSD", 60, {{kHour, 1.1, 1.15, 1.05, 1.1}});
        Chart chart(m_manager.get(), "EURUSD", 60);
        QCOMPARE(chart.yAxis2->range().lower, 1.05);
        QCOMPARE(chart.yAxis2->range().upper, 1.15);
        // A tick of an earlier bucket must not touch the axis either.
        chart.updateWithTick(tick(kHour - 1, 9.9));
        chart.updateWithTick(tick(kHour + 10, bid));
        QVERIFY(std::abs(chart.yAxis2->range().lower - lower) < 1e-12);
        QVERIFY(std::abs(chart.yAxis2->range().upper - upper) < 1e-12);
    }

    void timeframeChange()
    {
        seed(*m_manager, "EURUSD", 60, makeBars(70, kHour, 60));
        seed(*m_manager, "EURUSD", 240, makeBars(30, kHour, 240));
        Chart chart(m_manager.get(), "EURUSD", 60);
        QSignalSpy changed(&chart, &Chart::timeframeChanged);
        const QString settingsFile = m_manager->settingsFolder() + "/EURUSD_60.csf";

        QAction same("H1");
        chart.onTimeframeChanged(&same);
        QAction unknown("H2");
        chart.onTimeframeChanged(&unknown);
        chart.onTimeframeChanged(nullptr);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(chart.period(), 60);
        QVERIFY(!QFile::exists(settingsFile));

        QAction h4("H4");
        chart.onTimeframeChanged(&h4);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().toInt(), 240);
        QCOMPARE(chart.windowTitle(), QString("EURUSD, H4"));
        QCOMPARE(chart.candlesticks()->data()->size(), 30);
        const auto checked = std::find_if(chart.timeframeActions().cbegin(), chart.timeframeActions().cend(),
                                          [](QAction *a) { return a->isChecked(); });
        QCOMPARE((*checked)->text(), QString("H4"));
        // The period left had its colours saved to its settings file.
        QVERIFY(QFile::exists(settingsFile));
        ChartManager reader(nullptr);
        reader.setAccount(m_login, "Demo-Server");
        QCOMPARE(reader.getColors("EURUSD", 60), chart.colors());
    }

    void periodLabels_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("title");
        QTest::newRow("an hourly chart is H1") << 60 << "EURUSD, H1";
        QTest::newRow("a weekly chart is W1") << 10080 << "EURUSD, W1";
        QTest::newRow("a period of 20 is labelled MN but kept") << 20 << "EURUSD, MN";
    }
    void periodLabels()
    {
        QFETCH(int, period);
        QFETCH(QString, title);
        Chart chart(nullptr, "EURUSD", period);
        QCOMPARE(chart.windowTitle(), title);
        QCOMPARE(chart.period(), period);
    }

    void indicatorSwitchesRoundTrip_data()
    {
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<QStringList>("paneOrder");
        QTest::newRow("no stored switch shows nothing") << QStringList() << QStringList();
        QTest::newRow("bulls power stacks above bears power whatever the order")
            << QStringList{"BearsPower", "BullsPower"} << QStringList{"Bulls Power", "Bears Power"};
        QTest::newRow("panes stack in load order, overlays only show their graphs")
            << QStringList{"RelativeVigorIndex", "Adx", "EnvelopesLower", "MovingAverage", "MACD"}
            << QStringList{"Adx", "MACD", "Relative Vigor Index"};
    }
    void indicatorSwitchesRoundTrip()
    {
        QFETCH(QStringList, switches);
        QFETCH(QStringList, paneOrder);
        switchIndicators("EURUSD", switches);
        seed(*m_manager, "EURUSD", 60, makeBars(100, kHour, 60));

        QStringList stored;
        {
            Chart chart(m_manager.get(), "EURUSD", 60);
            QStringList rows;
            QCOMPARE(chart.plotLayout()->elementCount(), 1 + paneOrder.size());
            for (int row = 1; row < chart.plotLayout()->rowCount(); ++row) {
                for (int i = 0; i < Chart::IndicatorCount; ++i) {
                    if (chart.indicatorPane(Chart::Indicator(i)) == chart.plotLayout()->element(row, 0))
                        rows << Chart::indicatorName(Chart::Indicator(i));
                }
            }
            QCOMPARE(rows, paneOrder);
            QCOMPARE(chart.indicatorAction(Chart::Envelopes)->isChecked(), switches.contains("EnvelopesLower"));
            QCOMPARE(chart.indicatorAction(Chart::Adx)->isChecked(), switches.contains("Adx"));
            QCOMPARE(chart.indicatorPlottables(Chart::Envelopes)[1]->visible(), switches.contains("EnvelopesLower"));
            QVERIFY(!chart.indicatorPlottables(Chart::Envelopes)[0]->visible());
            // Panes shown at start are filled at once, not at the next bar.
            if (switches.contains("Adx"))
                QVERIFY(chart.indicatorPlottables(Chart::Adx)[0]->interface1D()->dataCount() > 0);
            QSettings("MorWell", "Client").remove("Indicator/EURUSD");
            chart.saveIndicatorSettings();
            QSettings settings("MorWell", "Client");
            settings.beginGroup("Indicator/EURUSD");
            QCOMPARE(settings.childKeys().size(), 28);
            for (const QString &key : settings.childKeys()) {
                if (settings.value(key).toBool())
                    stored << key;
            }
        }
        // The two RVI lines are never switched off, so their keys always read true.
        switches << "RelativeVigorIndex1" << "RelativeVigorIndex2";
        std::sort(stored.begin(), stored.end());
        std::sort(switches.begin(), switches.end());
        QCOMPARE(stored, switches);
    }

    void valueAxesFitTheBarsInView_data()
    {
        QTest::addColumn<QCPRange>("view");
        QTest::addColumn<bool>("flatTail");
        QTest::newRow("the last 50 bars") << QCPRange(150, 200) << false;
        QTest::newRow("bars in the middle with the live bar out of view") << QCPRange(40, 60) << false;
        QTest::newRow("flat bars whose Williams %R is not a number") << QCPRange(150, 200) << true;
    }
    void valueAxesFitTheBarsInView()
    {
        QFETCH(QCPRange, view);
        QFETCH(bool, flatTail);
        switchIndicators("EURUSD", {"WilliamsPercentRange", "MACD", "BearsPower"});
        QList<CandleStick> bars = makeBars(200, kHour, 60);
        if (flatTail) {
            for (int i = 170; i < 200; ++i)
                bars[i] = {bars[i].timestamp, 1.1, 1.1, 1.1, 1.1};
        }
        seed(*m_manager, "EURUSD", 60, bars);
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.xAxis->setRange(view);

        const int first = std::max(0, int(view.lower) - 1);
        const int last = std::min(199, int(view.upper) + 1);
        double low = bars.last().low;
        double high = bars.last().high;
        for (int i = first; i <= last; ++i) {
            low = std::min(low, bars[i].low);
            high = std::max(high, bars[i].high);
        }
        QCOMPARE(chart.yAxis2->range(), QCPRange(low, high));

        for (auto indicator : {Chart::WilliamsPercentRange, Chart::BearsPower}) {
            const IndicatorSeries &series = chart.indicatorLines(indicator).value(QString());
            double min = std::numeric_limits<double>::max();
            double max = -min;
            for (int m = 0; m < series.keys.size(); ++m) {
                if (series.keys[m] >= first && series.keys[m] <= last && std::isfinite(series.values[m])) {
                    min = std::min(min, series.values[m]);
                    max = std::max(max, series.values[m]);
                }
            }
            QCOMPARE(chart.indicatorPane(indicator)->axis(QCPAxis::atRight)->range(), QCPRange(min, max));
            QCOMPARE(chart.indicatorPane(indicator)->axis(QCPAxis::atBottom)->range(), view);
        }
        // The MACD pane follows its signal line, not the histogram.
        const IndicatorSeries &signal = chart.indicatorLines(Chart::Macd).value("signal");
        double signalMax = -std::numeric_limits<double>::max();
        for (int m = 0; m < signal.keys.size(); ++m) {
            if (signal.keys[m] >= first && signal.keys[m] <= last)
                signalMax = std::max(signalMax, signal.values[m]);
        }
        QCOMPARE(chart.indicatorPane(Chart::Macd)->axis(QCPAxis::atRight)->range().upper, signalMax);
    }

    void rangeBeforeAnIndicatorStartsIsKept()
    {
        switchIndicators("EURUSD", {"RSI"});
        seed(*m_manager, "EURUSD", 60, makeBars(100, kHour, 60));
        Chart chart(m_manager.get(), "EURUSD", 60);
        QCPAxis *rsiAxis = chart.indicatorPane(Chart::Rsi)->axis(QCPAxis::atRight);
        const QCPRange fitted = rsiAxis->range();
        chart.xAxis->setRange(0, 10);
        QCOMPARE(rsiAxis->range(), fitted);
        // Scrolling through a pane's own bottom axis reaches the price pane.
        chart.indicatorPane(Chart::Rsi)->axis(QCPAxis::atBottom)->setRange(20, 40);
        QCOMPARE(chart.xAxis->range(), QCPRange(20, 40));
    }

    void valueToolTip_data()
    {
        QTest::addColumn<double>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("midway between bars 10 and 11 shows bar 10") << 10.5 << "RSI\nValue: 10";
        QTest::newRow("near bar 11 shows bar 11") << 10.8 << "RSI\nValue: 11";
        QTest::newRow("beyond the last point shows the last") << 40.0 << "RSI\nValue: 19";
    }
    void valueToolTip()
    {
        QFETCH(double, key);
        QFETCH(QString, text);
        Chart chart(nullptr, "EURUSD", 60);
        chart.resize(800, 600);
        chart.replot();
        // Two pixels per bar, so that a half bar falls on a whole pixel.
        chart.xAxis->setRange(0, chart.axisRect()->width() / 2.0);
        chart.replot();
        IndicatorSeries series;
        for (int i = 0; i < 20; ++i) {
            series.keys << i;
            series.values << i;
        }
        const int x = qRound(chart.xAxis->coordToPixel(key));
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 100), chart.mapToGlobal(QPoint(x, 100)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        chart.showValueToolTip(series, "RSI", &move);
        QCOMPARE(QToolTip::text(), text);
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
        // The same text again is not shown again.
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
        QTest::addColumn<bool>("lineShown");
        QTest::addColumn<int>("dy"); // pixels off the line
        QTest::addColumn<bool>("found");
        QTest::newRow("a pointer on a shown line names the indicator") << true << 0 << true;
        QTest::newRow("a pointer outside the line's pane shows nothing") << true << -200 << false;
        QTest::newRow("a hidden line is not hit") << false << 0 << false;
    }
    void graphToolTip()
    {
        QFETCH(bool, lineShown);
        QFETCH(int, dy);
        QFETCH(bool, found);
        switchIndicators("EURUSD", {"RSI"});
        seed(*m_manager, "EURUSD", 60, makeBars(100, kHour, 60));
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.resize(800, 600);
        chart.replot();
        auto *graph = qobject_cast<QCPGraph *>(chart.indicatorPlottables(Chart::Rsi).first());
        graph->setVisible(lineShown);
        const IndicatorSeries &rsi = chart.indicatorLines(Chart::Rsi).value(QString());
        QVERIFY(!rsi.keys.isEmpty());
        const int m = rsi.keys.size() - 10;
        const QPoint at(qRound(graph->keyAxis()->coordToPixel(rsi.keys[m])),
                        qRound(graph->valueAxis()->coordToPixel(rsi.values[m])) + dy);
        QMouseEvent move(QEvent::MouseMove, at, chart.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        bool hit = false;
        chart.showGraphToolTip(graph, rsi, "RSI", &move, hit);
        QCOMPARE(hit, found);
        if (found)
            QCOMPARE(QToolTip::text(), QString("RSI\nValue: %1").arg(rsi.values[m]));
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    void nullManager()
    {
        QTest::ignoreMessage(QtWarningMsg, "Chart manager is null.");
        {
            Chart chart(nullptr, "EURUSD", 60);
            chart.loadChart();
            chart.updateWithTick(tick(kHour, 1.1));
            QCOMPARE(chart.candlesticks()->data()->size(), 0);
            QCOMPARE(chart.digits(), 5);
            chart.setCandleStickData(makeBars(3, kHour, 60));
            chart.updateWithTick(tick(kHour + 3 * 3600, 1.1));
            QCOMPARE(chart.candlesticks()->data()->size(), 4);
        }
        QVERIFY(m_manager->getChartHistory("EURUSD", 60).isEmpty());
        QVERIFY(!QFile::exists(m_manager->settingsFolder() + "/EURUSD_60.csf"));
    }

    void crosshairAtTheCentre()
    {
        Chart chart(nullptr, "EURUSD", 60);
        chart.resize(801, 601);
        chart.xAxis->setRange(0, 100);
        chart.yAxis2->setRange(1.0, 2.0);
        chart.replot();
        const int items = chart.itemCount();
        chart.showCrosshair();
        QCOMPARE(chart.itemCount(), items);
        chart.setDrawingMode(3);
        chart.showCrosshair();
        const auto crosshair = chart.crosshairItems();
        QCOMPARE(crosshair.size(), 2);
        auto *horizontal = qobject_cast<QCPItemStraightLine *>(crosshair[0]);
        auto *vertical = qobject_cast<QCPItemStraightLine *>(crosshair[1]);
        QVERIFY(horizontal && vertical);
        QCOMPARE(horizontal->point1->value(), chart.yAxis2->pixelToCoord(300));
        QCOMPARE(vertical->point1->key(), std::trunc(chart.xAxis->pixelToCoord(400) + 0.5));
        // Lines and the price tag's three items.
        QCOMPARE(chart.itemCount(), items + 5);
        chart.showCrosshair();
        QCOMPARE(chart.itemCount(), items + 5);
    }

    void screenshot()
    {
        switchIndicators("EURUSD", {"BollingerML", "BollingerTL", "BollingerBL", "RSI", "MACD"});
        seed(*m_manager, "EURUSD", 60, makeBars(300, kHour, 60));
        Chart chart(m_manager.get(), "EURUSD", 60);
        chart.resize(1000, 700);
        chart.updateWithTick(tick(kHour + 300 * 3600, 1.135));
        const QString path = QDir::temp().filePath("chart-screenshot.png");
        QVERIFY(chart.savePng(path, 1000, 700));
        QVERIFY(QImage(path).width() == 1000);
    }
};

KESTRAL_TEST_MAIN(TestSymbolChartWidget)
#include "tst_symbolchartwidget.moc"
