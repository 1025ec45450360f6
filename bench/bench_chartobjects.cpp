// A chart of 100,000 bars with 1,000 drawn objects on its period: saving them
// with the file write, restoring them when the bars arrive (the chart's
// construction from cached bars, which replots once), and a replot; each against
// the same chart without objects. The objects lie all in view (the worst case)
// or spread over the whole history, as drawn over months.
#include "chartmanager.h"
#include "symbolchartwidget.h"
#include "testmain.h"

#include <QApplication>
#include <QJsonArray>
#include "medianreporter.h"
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kBars = 100000;
constexpr int kObjects = 1000;
constexpr int kPeriod = 60;
constexpr qint64 kStart = 1500000000 / 3600 * 3600;
const QString kWith = QStringLiteral("DRAWN");
const QString kWithout = QStringLiteral("PLAIN");
const QString kSpread = QStringLiteral("SPREAD");

ChartManager *manager()
{
    static ChartManager *held = nullptr;
    if (!held) {
        held = new ChartManager(nullptr);
        held->setAccount(7, QStringLiteral("Bench-Server"));
        ChartManager::waitForFileWork();
    }
    return held;
}

// Bars of a random walk; returns the closes.
QVector<double> seedBars(const QString &symbol)
{
    std::mt19937 random(20240521);
    std::normal_distribution<double> move(0.0, 0.0008);
    QJsonArray array;
    double price = 1.1;
    QVector<double> closes;
    for (int i = 0; i < kBars; ++i) {
        const double open = price;
        price *= 1.0 + move(random);
        array.append(QJsonObject{{"datetime", kStart + qint64(i) * 3600},
                                 {"open", open},
                                 {"high", std::max(open, price) + 0.0002},
                                 {"low", std::min(open, price) - 0.0002},
                                 {"close", price}});
        closes.append(price);
    }
    manager()->requestChartHistory(symbol, kPeriod, 0, -1);
    manager()->updateChartHistoryFromServer(
        {{"res_code", 3}, {"symbol", symbol}, {"interval", kPeriod}, {"array", array}});
    ChartManager::waitForFileWork();
    return closes;
}

// A quarter each of horizontal, vertical and trend lines and Fibonacci levels, on
// the last 50 bars (all in view) or every 100th bar, each near its bar's close.
QList<ChartObjectRecord> drawnObjects(const QVector<double> &closes, bool inView)
{
    QList<ChartObjectRecord> records;
    for (int id = 1; id <= kObjects; ++id) {
        const qint32 x = inView ? kBars - 1 - id % 50 : id * (kBars / kObjects) - 1;
        const double y = closes[x] + 0.0001 * (id % 40 - 20);
        switch (id % 4) {
        case 0:
            records.append({0, y, x, y, QStringLiteral("Horizontal Line %1").arg(id)});
            break;
        case 1:
            records.append({x, 0, x, y, QStringLiteral("Vertical Line %1").arg(id)});
            break;
        case 2:
            records.append({x - 10, y, x, y + 0.002, QStringLiteral("Trend Line %1").arg(id)});
            break;
        default:
            records.append({x - 20, y, x, y, QStringLiteral("Fibonacci %1 (38.2%)").arg(id)});
            break;
        }
    }
    return records;
}

std::unique_ptr<SymbolChartWidget> openChart(const QString &symbol)
{
    auto chart = std::make_unique<SymbolChartWidget>(manager(), symbol, kPeriod);
    chart->resize(1200, 800);
    return chart;
}

void BM_Save(benchmark::State &state, const QString &symbol)
{
    auto chart = openChart(symbol);
    for (auto _ : state)
        chart->saveChartObjects();
}
BENCHMARK_CAPTURE(BM_Save, with, kWith)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, spread, kSpread)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, without, kWithout)->Unit(benchmark::kMillisecond);

// The objects come from the settings file each time, as after a restart: the
// file is read as a window's first look at the period reads it.
void BM_OpenFromCache(benchmark::State &state, const QString &symbol)
{
    for (auto _ : state) {
        manager()->loadChartSettings(symbol, kPeriod);
        auto chart = openChart(symbol);
        state.PauseTiming();
        chart.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_OpenFromCache, with, kWith)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OpenFromCache, spread, kSpread)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_OpenFromCache, without, kWithout)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Replot(benchmark::State &state, const QString &symbol)
{
    manager()->loadChartSettings(symbol, kPeriod);
    auto chart = openChart(symbol);
    state.counters["items"] = chart->itemCount();
    for (auto _ : state)
        chart->replot();
}
BENCHMARK_CAPTURE(BM_Replot, with, kWith)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Replot, spread, kSpread)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Replot, without, kWithout)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

int main(int argc, char **argv)
{
    testsupport::IsolatedEnvironment environment;
    QApplication app(argc, argv);
    const QVector<double> closes = seedBars(kWith);
    seedBars(kWithout);
    seedBars(kSpread);
    manager()->setObjects(kWith, kPeriod, drawnObjects(closes, true), true);
    manager()->setObjects(kSpread, kPeriod, drawnObjects(closes, false), true);
    {
        const auto chart = openChart(kWith);
        std::printf("1,000 saved objects give %d on the chart (with the Fibonacci labels) and %d plot items\n",
                    chart->objectNamesForCurrentPeriod().size(), chart->itemCount());
    }

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto report = [&reporter](const char *what, const std::string &name, const std::string &suffix,
                                    const char *goal) {
        const std::string without = name + "/without" + suffix;
        for (const char *where : {"with", "spread"}) {
            const std::string with = name + "/" + where + suffix;
            if (reporter.has(with) && reporter.has(without)) {
                const double a = reporter.milliseconds(with), b = reporter.milliseconds(without);
                std::printf("%s, objects %s: %.2f ms with 1,000 objects, %.2f ms without, %.2f ms added, "
                            "ratio %.2f (goal: %s)\n",
                            what, where[0] == 'w' ? "in view" : "spread", a, b, a - b, reporter.ratio(with, without),
                            goal);
            }
        }
    };
    report("saveChartObjects with its file write", "BM_Save", "", "under 20 ms");
    report("restore when the bars arrive", "BM_OpenFromCache", "/iterations:10", "at most 10 ms added");
    report("replot", "BM_Replot", "/iterations:50", "at most 4 ms added");
    return 0;
}
