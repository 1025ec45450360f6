// Cost of laying out the time axis: it runs on every replot, and a chart
// replots up to twenty times a second on live ticks.
#include "mydatetimeticker.h"

#include <benchmark/benchmark.h>

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

BENCHMARK_MAIN();
