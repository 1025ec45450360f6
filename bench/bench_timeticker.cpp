// Cost of laying out the time axis: it runs on every replot, and a chart
// replots up to twenty times a second on live ticks.
#include "mydatetimeticker.h"

#include <benchmark/benchmark.h>

#include "medianreporter.h"

#include <cstdio>

namespace {

void layOutTimeAxis(benchmark::State &state)
{
    const int bars = 100000;
    const double visible = double(state.range(0));
    MyDateTimeTicker ticker;
    ticker.setDateTimeFormat(QStringLiteral("dd MMM\nHH:mm"));
    for (int i = 0; i < bars; ++i)
        ticker.appendTimestamp(1.6e9 + i * 60.0);
    const QCPRange range(bars - visible, bars + 5);
    QVector<double> ticks;
    QVector<double> subTicks;
    QVector<QString> labels;
    for (auto _ : state) {
        ticker.generate(range, QLocale::c(), QLatin1Char('g'), 6, ticks, &subTicks, &labels);
        benchmark::DoNotOptimize(labels.data());
    }
}
// From a deep zoom on the newest bars out to the whole history.
BENCHMARK(layOutTimeAxis)->Arg(2)->Arg(100)->Arg(100000);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double deep = reporter.seconds("layOutTimeAxis/2");
    const double whole = reporter.seconds("layOutTimeAxis/100000");
    if (deep > 0.0 && whole > 0.0)
        std::printf("time axis over the whole history / over 2 bars: %.2f (goal: the visible span sets the cost, "
                    "not the history)\n",
                    whole / deep);
    return 0;
}
