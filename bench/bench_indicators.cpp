// Cost of each chart indicator over 100,000 bars computed from an empty output,
// against the cost of extending that output by one new bar. A live chart runs
// the second on every completed bar, so it must stay a tiny fraction of the first.
//
// Each full run is also printed as a multiple of a baseline timed in the same
// run (a plain running-sum 10-bar average of the closes), so the figures hold
// on a busy machine. Defaults to 9 interleaved repetitions; pass
// --benchmark_repetitions to choose.
#include "indicators.h"

#include <benchmark/benchmark.h>

#include "medianreporter.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBars = 100000;
const std::string kBaseline = "baseline/running-sum average";

struct Bars
{
    // Bar indexes, held as a chart holds them.
    IndicatorKeys keys;
    QVector<double> open, high, low, close, volume;

    Bars first(int n) const
    {
        return {IndicatorKeys::stepping(0.0, n), open.mid(0, n), high.mid(0, n), low.mid(0, n), close.mid(0, n), volume.mid(0, n)};
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
    double goal; // multiple of the baseline's time
};

std::vector<Indicator> indicators()
{
    // Parameters as the chart window passes them.
    return {
        {"Adx", true, [](const Bars &b, IndicatorLines &o) { calcAdx(o, b.keys, b.open, b.high, b.low, b.close, 14); },
         19},
        {"Bollinger", true, [](const Bars &b, IndicatorLines &o) { calcBollinger(o, b.keys, b.close, 20, 2); }, 2.7},
        {"CommodityChannelIndex", true,
         [](const Bars &b, IndicatorLines &o) {
             calcCommodityChannelIndex(o[QString()], b.keys, b.open, b.high, b.low, b.close, 14, 6);
         },
         8.6},
        {"MACD", true,
         [](const Bars &b, IndicatorLines &o) { calcMacd(o, b.keys, b.open, b.high, b.low, b.close, 12, 26, 9, 0); },
         2.5},
        {"Momentum", true,
         [](const Bars &b, IndicatorLines &o) {
             calcMomentum(o[QString()], b.keys, b.open, b.high, b.low, b.close, 14, 0);
         },
         0.3},
        {"MovingAverage", true,
         [](const Bars &b, IndicatorLines &o) {
             calcMovingAverage(o[QString()], b.keys, b.open, b.high, b.low, b.close, 10, QStringLiteral("Simple"), 0);
         },
         1.5},
        {"ParabolicSAR", false,
         [](const Bars &b, IndicatorLines &o) { calcParabolicSar(b.keys, b.high, b.low, o[QString()], 0.2, 0.2); },
         6.2},
        {"Envelopes", false, [](const Bars &b, IndicatorLines &o) { calcEnvelopes(b.keys, b.close, o, 14, 0.1); }, 2.1},
        {"Alligator", false, [](const Bars &b, IndicatorLines &o) { calcAlligator(b.keys, b.close, o); }, 6.9},
        {"RSI", true, [](const Bars &b, IndicatorLines &o) { calcRsi(o[QString()], b.keys, b.close, 14); }, 6.4},
        {"StandardDeviation", true,
         [](const Bars &b, IndicatorLines &o) { calcStandardDeviation(o[QString()], b.keys, b.close, 14); }, 2.3},
        {"ForceIndex", true,
         [](const Bars &b, IndicatorLines &o) { calcForceIndex(o[QString()], b.keys, b.close, b.volume, 14); }, 2.5},
        {"WilliamsPercentRange", true,
         [](const Bars &b, IndicatorLines &o) {
             calcWilliamsPercentRange(o[QString()], b.keys, b.high, b.low, b.close, 14);
         },
         9.2},
        {"AverageTrueRange", true,
         [](const Bars &b, IndicatorLines &o) {
             calcAverageTrueRange(o[QString()], b.keys, b.high, b.low, b.close, 14);
         },
         2.3},
        {"DeMarker", true,
         [](const Bars &b, IndicatorLines &o) { calcDeMarker(o[QString()], b.keys, b.high, b.low, 14); }, 3},
        {"AccumulationDistribution", true,
         [](const Bars &b, IndicatorLines &o) {
             calcAccumulationDistribution(o[QString()], b.keys, b.open, b.high, b.low, b.close);
         },
         1.4},
        {"OnBalanceVolume", true,
         [](const Bars &b, IndicatorLines &o) { calcOnBalanceVolume(o[QString()], b.keys, b.close, b.high); }, 4.8},
        {"BearsPower", false,
         [](const Bars &b, IndicatorLines &o) { calcPower(b.keys, b.low, b.close, o[QString()], 14); }, 2.8},
        {"BullsPower", false,
         [](const Bars &b, IndicatorLines &o) { calcPower(b.keys, b.high, b.close, o[QString()], 14); }, 2.8},
        {"MoneyFlowIndex", true,
         [](const Bars &b, IndicatorLines &o) { calcMoneyFlowIndex(o[QString()], b.keys, b.high, b.low, b.close, 14); },
         8.7},
        {"RelativeVigorIndex", false,
         [](const Bars &b, IndicatorLines &o) {
             calcRelativeVigorIndex(o, b.keys, b.open, b.high, b.low, b.close, 10);
         },
         4},
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

// The unit of the goals: a 10-bar average of the closes by one running sum,
// into an output kept between runs.
void baseline(benchmark::State &state)
{
    const QVector<double> close = market().close.mid(0, kBars);
    std::vector<double> out(kBars);
    for (auto _ : state) {
        const double *c = close.constData();
        double *o = out.data();
        double sum = 0.0;
        for (int i = 0; i < 10; ++i) {
            sum += c[i];
            o[i] = sum / (i + 1);
        }
        for (int i = 10; i < kBars; ++i) {
            sum += c[i] - c[i - 10];
            o[i] = sum / 10;
        }
        benchmark::DoNotOptimize(o);
        benchmark::ClobberMemory();
    }
}

void syntheticVolume(benchmark::State &state)
{
    const int count = market().keys.size();
    for (auto _ : state)
        benchmark::DoNotOptimize(makeSyntheticVolume(count));
}

// Ratios from the thread's CPU time: on a machine shared with other work, wall
// time counts the waits for a core as well.
class CpuTimeReporter : public MedianReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        std::vector<Run> cpu = runs;
        for (Run &run : cpu)
            run.real_accumulated_time = run.cpu_accumulated_time;
        MedianReporter::ReportRuns(cpu);
    }
};

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
    if (!reporter.has(kBaseline))
        return;
    std::printf("\n%-26s %14s %14s %8s   (multiples of the baseline, %.3f ms; medians of per-repetition ratios)\n",
                "indicator", "kept storage", "fresh output", "goal", reporter.milliseconds(kBaseline));
    for (const Indicator &indicator : list) {
        const double again = reporter.ratio("again/" + indicator.name, kBaseline);
        const double full = reporter.ratio("full/" + indicator.name, kBaseline);
        if (again == 0.0 || full == 0.0)
            continue;
        std::printf("%-26s %13.2fx %13.2fx %7.1fx   %s\n", indicator.name.c_str(), again, full, indicator.goal,
                    again <= indicator.goal ? "met" : "missed");
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
    benchmark::RegisterBenchmark(kBaseline.c_str(), baseline)->Unit(benchmark::kMicrosecond);

    // Ratios need repetitions of both sides, interleaved so a burst of load elsewhere hits both.
    std::vector<char *> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    if (std::none_of(args.begin(), args.end(),
                     [](const char *a) { return std::string(a).rfind("--benchmark_repetitions", 0) == 0; })) {
        args.push_back(repetitions.data());
        args.push_back(interleaving.data());
    }
    argc = int(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter, list);
    benchmark::Shutdown();
    return 0;
}
