// The chart window over 100,000 bars with every indicator switched on: loading
// the bars, a tick that only moves the live candle, a tick that opens a bar, and
// a replot of the 50 bars in view. Ticks are measured against loading the same
// bars, and the open-bar tick against the same chart with no indicator on.
#include "chartmanager.h"
#include "symbolchartwidget.h"
#include "testmain.h"
#include "tickdata.h"

#include <QApplication>
#include <QJsonArray>
#include <QProcess>
#include <QFile>
#include <QSettings>
#include <unistd.h>
#include <benchmark/benchmark.h>

#include "medianreporter.h"
#include "residentmemory.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBars = 100000;
constexpr qint64 kStart = 1500000000 / 3600 * 3600;
const QString kOn = QStringLiteral("ALLON");
const QString kOff = QStringLiteral("ALLOFF");

QList<CandleStick> market(int count = kBars)
{
    QList<CandleStick> bars;
    bars.reserve(count);
    std::mt19937 random(20240521);
    std::normal_distribution<double> move(0.0, 0.0008);
    std::uniform_real_distribution<double> wick(0.0, 0.0005);
    double price = 1.1;
    for (int i = 0; i < count; ++i) {
        const double open = price;
        price *= 1.0 + move(random);
        bars.append({kStart + qint64(i) * 3600, open, std::max(open, price) + wick(random),
                     std::min(open, price) - wick(random), price});
    }
    return bars;
}

const QList<CandleStick> &bars()
{
    static const QList<CandleStick> all = market();
    return all;
}

void switchEverything(const QString &symbol, bool on)
{
    QSettings settings(QStringLiteral("MorWell"), QStringLiteral("Client"));
    for (const char *key : {"Adx", "BollingerML", "BollingerTL", "BollingerBL", "CommodityChannelIndex", "MACD",
                            "Momentum", "MovingAverage", "ParabolicSAR", "EnvelopesUpper", "EnvelopesLower",
                            "AlligatorJaws", "AlligatorTeeth", "AlligatorLips", "RSI", "StandardDeviation",
                            "ForceIndex", "WilliamsPercentRange", "AverageTrueRange", "DeMarker",
                            "AccumulationDistribution", "OnBalanceVolume", "MoneyFlowIndex", "BullsPower",
                            "BearsPower", "RelativeVigorIndex"})
        settings.setValue(QStringLiteral("Indicator/%1/%2").arg(symbol, QLatin1String(key)), on);
}

std::unique_ptr<SymbolChartWidget> loadedChart(const QString &symbol)
{
    auto chart = std::make_unique<SymbolChartWidget>(nullptr, symbol, 60);
    chart->resize(1200, 800);
    chart->setCandleStickData(bars());
    return chart;
}

TickData tickAt(const QString &symbol, qint64 time, double bid)
{
    TickData tick;
    tick.symbol = symbol;
    tick.timestamp = time;
    tick.bid = bid;
    tick.ask = bid + 0.0002;
    tick.digits = 5;
    tick.minVol = 0.01;
    tick.maxVol = 100;
    tick.stepVol = 0.01;
    return tick;
}

void BM_SetCandleStickData(benchmark::State &state)
{
    SymbolChartWidget chart(nullptr, kOn, 60);
    chart.resize(1200, 800);
    for (auto _ : state)
        chart.setCandleStickData(bars());
}
BENCHMARK(BM_SetCandleStickData)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TickMovesCandle(benchmark::State &state)
{
    auto chart = loadedChart(kOn);
    const qint64 time = qint64(chart->lastBarTime()) + 1;
    double bid = bars().last().close;
    for (auto _ : state) {
        bid += 0.00001;
        chart->updateWithTick(tickAt(kOn, time, bid));
    }
}
BENCHMARK(BM_TickMovesCandle)->Unit(benchmark::kMicrosecond);

void tickOpensBar(benchmark::State &state, const QString &symbol)
{
    auto chart = loadedChart(symbol);
    qint64 time = qint64(chart->lastBarTime());
    double bid = bars().last().close;
    for (auto _ : state) {
        time += 3600;
        bid += 0.00001;
        chart->updateWithTick(tickAt(symbol, time, bid));
    }
}
void BM_TickOpensBar(benchmark::State &state) { tickOpensBar(state, kOn); }
BENCHMARK(BM_TickOpensBar)->Unit(benchmark::kMillisecond)->Iterations(200);
void BM_TickOpensBarNoIndicators(benchmark::State &state) { tickOpensBar(state, kOff); }
BENCHMARK(BM_TickOpensBarNoIndicators)->Unit(benchmark::kMillisecond)->Iterations(200);

// The whole latency of a new bar: the tick, then the indicators that rebuild
// their output in the background, until their graphs are updated.
void BM_TickOpensBarUntilIndicatorsDone(benchmark::State &state)
{
    auto chart = loadedChart(kOn);
    qint64 time = qint64(chart->lastBarTime());
    double bid = bars().last().close;
    for (auto _ : state) {
        time += 3600;
        bid += 0.00001;
        chart->updateWithTick(tickAt(kOn, time, bid));
        while (chart->indicatorsPending())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}
BENCHMARK(BM_TickOpensBarUntilIndicatorsDone)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_ReplotView(benchmark::State &state)
{
    auto chart = loadedChart(kOn);
    for (auto _ : state)
        chart->replot();
}
BENCHMARK(BM_ReplotView)->Unit(benchmark::kMillisecond)->Iterations(50);

constexpr int kLongBars = 1000000;

// A million bars with every indicator on: the load, and what the chart keeps per bar.
std::unique_ptr<SymbolChartWidget> g_longChart;
void BM_LoadLongChart(benchmark::State &state)
{
    QList<CandleStick> bars = market(kLongBars);
    for (auto _ : state) {
        g_longChart.reset();
        const long before = residentKiB();
        g_longChart = std::make_unique<SymbolChartWidget>(nullptr, kOn, 60);
        g_longChart->resize(1200, 800);
        g_longChart->setCandleStickData(bars);
        state.counters["bytes_per_bar"] = double(residentKiB() - before) * 1024.0 / kLongBars;
    }
}
BENCHMARK(BM_LoadLongChart)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReplotWholeHistory(benchmark::State &state)
{
    if (!g_longChart) {
        state.SkipWithError("the long chart was not loaded");
        return;
    }
    g_longChart->xAxis->setRange(-1, kLongBars + 1);
    for (auto _ : state)
        g_longChart->replot();
}
BENCHMARK(BM_ReplotWholeHistory)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same window with its last 1,000 bars in view: the whole history should cost little more.
void BM_ReplotThousandBars(benchmark::State &state)
{
    if (!g_longChart) {
        state.SkipWithError("the long chart was not loaded");
        return;
    }
    g_longChart->xAxis->setRange(kLongBars - 1000, kLongBars + 1);
    for (auto _ : state)
        g_longChart->replot();
}
BENCHMARK(BM_ReplotThousandBars)->Unit(benchmark::kMillisecond)->Iterations(10);

QJsonObject replyOf(const QString &symbol, const QList<CandleStick> &list)
{
    QJsonArray array;
    for (const CandleStick &b : list)
        array.append(QJsonObject{
            {"datetime", b.timestamp}, {"open", b.open}, {"high", b.high}, {"low", b.low}, {"close", b.close}});
    return {{"res_code", 3}, {"symbol", symbol}, {"interval", 60}, {"array", array}};
}

void waitForIndicators(SymbolChartWidget &chart)
{
    while (chart.indicatorsPending())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// Opening a window on bars the manager already holds, no indicator on: the
// window's own work on the user-interface thread.
void BM_OpenLoadedChart(benchmark::State &state)
{
    ChartManager manager(nullptr);
    // The manager takes only the history a chart asked for.
    manager.requestChartHistory(kOff, 60, 0, -1);
    manager.updateChartHistoryFromServer(replyOf(kOff, bars()));
    QCoreApplication::processEvents();
    for (auto _ : state) {
        auto chart = std::make_unique<SymbolChartWidget>(&manager, kOff, 60);
        chart->resize(1200, 800);
        chart->replot();
        state.PauseTiming();
        chart.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenLoadedChart)->Unit(benchmark::kMillisecond)->Iterations(20);

// A one-bar reply into a 300,000-bar chart with every indicator on: the manager's
// merge and the window's, until the event queue is empty; the indicators that run
// on the worker are waited for outside the timed part.
void BM_OneBarReply(benchmark::State &state)
{
    constexpr int kHeld = 300000;
    QList<CandleStick> held = market(kHeld + 200);
    const QList<CandleStick> later = held.mid(kHeld);
    held = held.mid(0, kHeld);
    ChartManager manager(nullptr);
    manager.requestChartHistory(kOn, 60, 0, -1);
    manager.updateChartHistoryFromServer(replyOf(kOn, held));
    QCoreApplication::processEvents();
    SymbolChartWidget chart(&manager, kOn, 60);
    chart.resize(1200, 800);
    waitForIndicators(chart);
    int next = 0;
    for (auto _ : state) {
        const QJsonObject reply = replyOf(kOn, {later.at(next++ % later.size())});
        manager.updateChartHistoryFromServer(reply);
        QCoreApplication::sendPostedEvents();
        state.PauseTiming();
        waitForIndicators(chart);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OneBarReply)->Unit(benchmark::kMillisecond)->Iterations(50);

// What a chart of a million bars with every indicator on keeps, read in a
// process of its own so that no earlier run's freed memory is counted again.
int printBytesPerBar()
{
    const QList<CandleStick> bars = market(kLongBars);
    const long before = residentKiB();
    {
        SymbolChartWidget chart(nullptr, kOn, 60);
        chart.resize(1200, 800);
        chart.setCandleStickData(bars);
        waitForIndicators(chart);
        chart.xAxis->setRange(-1, kLongBars + 1);
        chart.replot();
        std::printf("%.1f\n", double(residentKiB() - before) * 1024.0 / kLongBars);
    }
    return 0;
}

double bytesPerBarInFreshProcesses(const QString &program, int runs)
{
    std::vector<double> figures;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(program, {QStringLiteral("--bytes-per-bar")});
        if (!child.waitForFinished(600000))
            return 0.0;
        figures.push_back(child.readAllStandardOutput().trimmed().toDouble());
    }
    std::sort(figures.begin(), figures.end());
    return figures[figures.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    testsupport::IsolatedEnvironment environment;
    QApplication app(argc, argv);
    switchEverything(kOn, true);
    switchEverything(kOff, false);
    if (argc > 1 && QByteArray(argv[1]) == "--bytes-per-bar")
        return printBytesPerBar();

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto has = [&reporter](const char *name) { return reporter.has(name); };
    const auto ms = [&reporter](const char *name) { return reporter.milliseconds(name); };
    if (has("BM_SetCandleStickData/iterations:5"))
        std::printf("setCandleStickData, 100,000 bars, all indicators: %.1f ms (goal: linear in the bars)\n",
                    ms("BM_SetCandleStickData/iterations:5"));
    if (has("BM_TickMovesCandle"))
        std::printf("tick moving the live candle: %.4f ms (goal: under 0.1 ms)\n", ms("BM_TickMovesCandle"));
    if (has("BM_TickOpensBar/iterations:200"))
        std::printf("tick opening a bar: %.3f ms (goal: under 5 ms)\n", ms("BM_TickOpensBar/iterations:200"));
    if (has("BM_TickOpensBar/iterations:200") && has("BM_TickOpensBarNoIndicators/iterations:200"))
        std::printf("tick opening a bar, no indicator on: %.3f ms; all on / none on: %.1f (goal: under 5 ms all on)\n",
                    ms("BM_TickOpensBarNoIndicators/iterations:200"),
                    ms("BM_TickOpensBar/iterations:200") / ms("BM_TickOpensBarNoIndicators/iterations:200"));
    if (has("BM_TickOpensBar/iterations:200") && has("BM_SetCandleStickData/iterations:5"))
        std::printf("tick opening a bar / loading all bars: %.4f (goal: a small fraction)\n",
                    ms("BM_TickOpensBar/iterations:200") / ms("BM_SetCandleStickData/iterations:5"));
    if (has("BM_TickOpensBarUntilIndicatorsDone/iterations:100"))
        std::printf("tick opening a bar until the background indicators are drawn: %.3f ms (off the UI thread "
                    "but for the final hand-over)\n",
                    ms("BM_TickOpensBarUntilIndicatorsDone/iterations:100"));
    if (has("BM_LoadLongChart/iterations:1") && has("BM_SetCandleStickData/iterations:5"))
        std::printf("setCandleStickData, 1,000,000 bars: %.0f ms, %.1f x the 100,000-bar load (goal: no worse than "
                    "linear, 10)\n",
                    ms("BM_LoadLongChart/iterations:1"),
                    reporter.ratio("BM_LoadLongChart/iterations:1", "BM_SetCandleStickData/iterations:5"));
    if (has("BM_ReplotWholeHistory/iterations:10"))
        std::printf("replot with 1,000,000 bars in view: %.1f ms (goal: under 30 ms)\n",
                    ms("BM_ReplotWholeHistory/iterations:10"));
    if (has("BM_ReplotView/iterations:50"))
        std::printf("replot of the 50 bars in view: %.2f ms (goal: under 30 ms)\n", ms("BM_ReplotView/iterations:50"));
    if (has("BM_ReplotWholeHistory/iterations:10") && has("BM_ReplotThousandBars/iterations:10"))
        std::printf("replot, whole history of 1,000,000 bars in view, all indicators: %.1f ms (goal: <= 15 ms), "
                    "%.2f x the replot of 1,000 bars in view (goal: <= 2)\n",
                    ms("BM_ReplotWholeHistory/iterations:10"),
                    reporter.ratio("BM_ReplotWholeHistory/iterations:10", "BM_ReplotThousandBars/iterations:10"));
    if (has("BM_OpenLoadedChart/iterations:20"))
        std::printf("opening a 100,000-bar chart whose bars are loaded, UI thread: %.2f ms (goal: <= 3 ms)\n",
                    ms("BM_OpenLoadedChart/iterations:20"));
    if (has("BM_OneBarReply/iterations:50"))
        std::printf("one-bar history reply into a 300,000-bar chart, all indicators, UI thread: %.3f ms "
                    "(goal: <= 1 ms)\n",
                    ms("BM_OneBarReply/iterations:50"));
    if (qEnvironmentVariableIsEmpty("BENCH_NO_MEMORY"))
        std::printf("chart memory, 1,000,000 bars, all indicators, median of 3 fresh processes: %.0f B/bar "
                    "(goal: <= 350 B/bar)\n",
                    bytesPerBarInFreshProcesses(QCoreApplication::applicationFilePath(), 3));
    g_longChart.reset(); // before the application goes
    return 0;
}
