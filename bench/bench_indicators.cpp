// Cost of each chart indicator over 100,000 bars computed from an empty output,
// against the cost of extending that output by one new bar. A live chart runs
// the second on every completed bar, so it must stay a tiny fraction of the first.
#include "indicators.h"

#include <benchmark/benchmark.h>

#include "medianreporter.h"

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBars = 100000;

struct Bars
{
    QVector<double> keys, open, high, low, close, volume;

    Bars first(int n) const
    {
        return {keys.mid(0, n), open.mid(0, n), high.mid(0, n), low.mid(0, n), close.mid(0, n), volume.mid(0, n)};
    }
};

// One bar more than the full computation reads, for the extension.
const Bars &market()
{
    static const Bars bars = [] {
        Bars b;
        std::mt19937 random(20240521);
        std::normal_distribution<double> move(0.0, 0.0008);
        std::uniform_real_distribution<double> wick(0.0, 0.0005);
        double price = 1.1;
        for (int i = 0; i <= kBars; ++i) {
            const double open = price;
            price *= 1.0 + move(random);
            b.keys << i;
            b.open << open;
            b.close << price;
            b.high << std::max(open, price) + wick(random);
            b.low << std::min(open, price) - wick(random);
            b.volume << double(100 + i % 1000);
        }
        return b;
    }();
    return bars;
}

using Compute = std::function<void(const Bars &, IndicatorLines &)>;

struct Indicator
{
    std::string name;
    bool extending;
    Compute compute;
};

std::vector<Indicator> indicators()
{
    // Parameters as the chart window passes them.
    return {
        {"Adx", true, [](const Bars &b, IndicatorLines &o) { calcAdx(o, b.keys, b.open, b.high, b.low, b.close, 14); }},
        {"Bollinger", true, [](const Bars &b, IndicatorLines &o) { calcBollinger(o, b.keys, b.close, 20, 2); }},
        {"CommodityChannelIndex", true,
         [](const Bars &b, IndicatorLines &o) {
             calcCommodityChannelIndex(o[QString()], b.keys, b.open, b.high, b.low, b.close, 14, 6);
         }},
        {"MACD", true,
         [](const Bars &b, IndicatorLines &o) { calcMacd(o, b.keys, b.open, b.high, b.low, b.close, 12, 26, 9, 0); }},
        {"Momentum", true,
         [](const Bars &b, IndicatorLines &o) {
             calcMomentum(o[QString()], b.keys, b.open, b.high, b.low, b.close, 14, 0);
         }},
        {"MovingAverage", true,
         [](const Bars &b, IndicatorLines &o) {
             calcMovingAverage(o[QString()], b.keys, b.open, b.high, b.low, b.close, 10, QStringLiteral("Simple"), 0);
         }},
        {"ParabolicSAR", false,
         [](const Bars &b, IndicatorLines &o) { calcParabolicSar(b.keys, b.high, b.low, o[QString()], 0.2, 0.2); }},
        {"Envelopes", false, [](const Bars &b, IndicatorLines &o) { calcEnvelopes(b.keys, b.close, o, 14, 0.1); }},
        {"Alligator", false, [](const Bars &b, IndicatorLines &o) { calcAlligator(b.keys, b.close, o); }},
        {"RSI", true, [](const Bars &b, IndicatorLines &o) { calcRsi(o[QString()], b.keys, b.close, 14); }},
        {"StandardDeviation", true,
         [](const Bars &b, IndicatorLines &o) { calcStandardDeviation(o[QString()], b.keys, b.close, 14); }},
        {"ForceIndex", true,
         [](const Bars &b, IndicatorLines &o) { calcForceIndex(o[QString()], b.keys, b.close, b.volume, 14); }},
        {"WilliamsPercentRange", true,
         [](const Bars &b, IndicatorLines &o) {
             calcWilliamsPercentRange(o[QString()], b.keys, b.high, b.low, b.close, 14);
         }},
        {"AverageTrueRange", true,
         [](const Bars &b, IndicatorLines &o) {
             calcAverageTrueRange(o[QString()], b.keys, b.high, b.low, b.close, 14);
         }},
        {"DeMarker", true,
         [](const Bars &b, IndicatorLines &o) { calcDeMarker(o[QString()], b.keys, b.high, b.low, 14); }},
        {"AccumulationDistribution", true,
         [](const Bars &b, IndicatorLines &o) {
             calcAccumulationDistribution(o[QString()], b.keys, b.open, b.high, b.low, b.close);
         }},
        {"OnBalanceVolume", true,
         [](const Bars &b, IndicatorLines &o) { calcOnBalanceVolume(o[QString()], b.keys, b.close, b.high); }},
        {"BearsPower", false,
         [](const Bars &b, IndicatorLines &o) { calcPower(b.keys, b.low, b.close, o[QString()], 14); }},
        {"BullsPower", false,
         [](const Bars &b, IndicatorLines &o) { calcPower(b.keys, b.high, b.close, o[QString()], 14); }},
        {"MoneyFlowIndex", true,
         [](const Bars &b, IndicatorLines &o) {
             calcMoneyFlowIndex(o[QString()], b.keys, b.high, b.low, b.close, 14);
         }},
        {"RelativeVigorIndex", false,
         [](const Bars &b, IndicatorLines &o) {
             calcRelativeVigorIndex(o, b.keys, b.open, b.high, b.low, b.close, 10);
         }},
    };
}

void fullComputation(benchmark::State &state, const Compute &compute)
{
    const Bars bars = market().first(kBars);
    for (auto _ : state) {
        IndicatorLines out;
        compute(bars, out);
        benchmark::DoNotOptimize(out);
    }
}

// As the chart recomputes: into the outputs of the run before, emptied but
// keeping their storage, so no fresh pages are written.
void recomputation(benchmark::State &state, const Compute &compute)
{
    const Bars bars = market().first(kBars);
    IndicatorLines out;
    compute(bars, out);
    for (auto _ : state) {
        for (IndicatorSeries &series : out) {
            series.keys.resize(0);
            series.values.resize(0);
        }
        compute(bars, out);
        benchmark::DoNotOptimize(out);
    }
}

void extensionByOneBar(benchmark::State &state, const Compute &compute, bool extending)
{
    const Bars &bars = market();
    IndicatorLines out;
    compute(bars.first(kBars), out);
    QMap<QString, int> sizes;
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        sizes[it.key()] = it->keys.size();
    for (auto _ : state) {
        compute(bars, out);
        benchmark::DoNotOptimize(out);
        // Back to the state before the new bar, so every iteration extends once.
        if (extending) {
            for (auto it = out.begin(); it != out.end(); ++it) {
                it->keys.resize(sizes[it.key()]);
                it->values.resize(sizes[it.key()]);
            }
        }
    }
}

void syntheticVolume(benchmark::State &state)
{
    const QVector<double> keys = market().keys;
    for (auto _ : state)
        benchmark::DoNotOptimize(makeSyntheticVolume(keys));
}

// Extension over full computation per indicator, medians over repetitions.
void printRatios(const MedianReporter &reporter, const std::vector<Indicator> &list)
{
    std::printf("\n%-26s %10s %12s %16s %12s   goals: recompute under 0.8 ms, one bar under 1 %% of it\n", "indicator",
                "full (ms)", "again (ms)", "one bar (us)", "one/again");
    for (const Indicator &indicator : list) {
        const std::string full = "full/" + indicator.name;
        const std::string one = "extend/" + indicator.name;
        if (!reporter.has(full) || !reporter.has(one) || !reporter.has("again/" + indicator.name))
            continue;
        const std::string again = "again/" + indicator.name;
        const double againMs = reporter.milliseconds(again);
        const double share = 100.0 * reporter.seconds(one) / reporter.seconds(again);
        std::printf("%-26s %10.3f %12.3f %16.3f %11.4f%%  %s%s\n", indicator.name.c_str(), reporter.milliseconds(full),
                    againMs, reporter.seconds(one) * 1e6, share, againMs < 0.8 && share < 1.0 ? "met" : "missed",
                    indicator.extending ? "" : "  (continued from its last bar)");
    }
    if (reporter.has("makeSyntheticVolume"))
        std::printf("%-26s %14.3f  (drawn anew on every chart update)\n", "makeSyntheticVolume",
                    reporter.milliseconds("makeSyntheticVolume"));
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<Indicator> list = indicators();
    for (const Indicator &indicator : list) {
        benchmark::RegisterBenchmark(("full/" + indicator.name).c_str(), fullComputation, indicator.compute)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("again/" + indicator.name).c_str(), recomputation, indicator.compute)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("extend/" + indicator.name).c_str(), extensionByOneBar, indicator.compute,
                                     indicator.extending)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("makeSyntheticVolume", syntheticVolume)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter, list);
    benchmark::Shutdown();
    return 0;
}
