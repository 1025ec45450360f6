// Loading a large cache file against a plain read of its bytes, and the time a
// server reply spends on the user-interface thread.
#include "appglobals.h"
#include "chartmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "medianreporter.h"
#include <cstdio>
#include <map>
#include <memory>

namespace {

QString g_cacheFile;

CandleStick barAt(qint64 time)
{
    const double base = 1.08 + (time % 977) * 1e-5;
    return {time, base, base + 0.0004, base - 0.0003, base + 0.0001};
}

QJsonObject replyOf(qint64 firstTime, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i) {
        const CandleStick b = barAt(firstTime + i * 60);
        array.append(QJsonObject{
            {"datetime", b.timestamp}, {"open", b.open}, {"high", b.high}, {"low", b.low}, {"close", b.close}});
    }
    return {{"res_code", 3}, {"symbol", "EURUSD"}, {"interval", 1}, {"array", array}};
}

void BM_PlainReadOfCacheFile(benchmark::State &state)
{
    for (auto _ : state) {
        QFile file(g_cacheFile);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
    }
}
BENCHMARK(BM_PlainReadOfCacheFile)->Unit(benchmark::kMillisecond);

void BM_LoadHistoryFile(benchmark::State &state)
{
    for (auto _ : state) {
        const QVector<CandleStick> bars = ChartManager::loadHistoryFile(g_cacheFile);
        benchmark::DoNotOptimize(bars.constData());
    }
}
BENCHMARK(BM_LoadHistoryFile)->Unit(benchmark::kMillisecond);

// 1,000 bars of the reply replace held ones, 1,000 are new; the rewrite it starts
// runs on the background worker and is waited for outside the timed part.
void BM_MergeReplyOnUiThread(benchmark::State &state)
{
    const int held = 100000;
    const QJsonObject seed = replyOf(0, held);
    const QJsonObject reply = replyOf(qint64(held - 1000) * 60, 2000);
    qint64 login = 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = std::make_unique<ChartManager>(nullptr);
        manager->setAccount(++login, "Bench");
        manager->requestChartHistory(seed.value("symbol").toString(), seed.value("interval").toInt(), 0, -1);
        manager->updateChartHistoryFromServer(seed);
        ChartManager::waitForFileWork();
        state.ResumeTiming();

        manager->updateChartHistoryFromServer(reply);

        state.PauseTiming();
        ChartManager::waitForFileWork();
        QDir(accountPath("Bench", login)).removeRecursively();
        manager.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MergeReplyOnUiThread)->Unit(benchmark::kMillisecond)->Iterations(25);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root;
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.path()));
    QCoreApplication app(argc, argv);

    g_cacheFile = root.path() + QStringLiteral("/EURUSD_1");
    QVector<CandleStick> bars;
    bars.reserve(1000000);
    for (int i = 0; i < 1000000; ++i)
        bars.append(barAt(qint64(i) * 60));
    if (!ChartManager::writeHistoryFile(g_cacheFile, bars))
        return 1;

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (reporter.has("BM_PlainReadOfCacheFile") && reporter.has("BM_LoadHistoryFile"))
        std::printf("Loading 1,000,000 bars / plain read of the same file: %.2f (goal: at most 3)\n",
                    reporter.ratio("BM_LoadHistoryFile", "BM_PlainReadOfCacheFile"));
    if (reporter.has("BM_MergeReplyOnUiThread/iterations:25"))
        std::printf("Merging a 2,000-bar reply into 100,000 bars on the UI thread: %.2f ms (goal: under 20 ms)\n",
                    reporter.milliseconds("BM_MergeReplyOnUiThread/iterations:25"));
    return 0;
}
