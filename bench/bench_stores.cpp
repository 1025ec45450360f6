// Cost of the tick path through the stores, against copying the same batch.
#include "positiondatastore.h"
#include "symboldatastorage.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include "medianreporter.h"

#include <cstdio>
#include <map>
#include <string>

namespace {

QString symbolName(int index)
{
    return QStringLiteral("SYM%1").arg(index, 3, 10, QLatin1Char('0'));
}

QJsonArray positionsOver(int symbols, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i) {
        array.append(QJsonObject{{"ticket", 1000 + i},
                                 {"symbol", symbolName(i % symbols)},
                                 {"type", i % 3 == 0 ? "sell" : "buy"},
                                 {"volume", 1000 + i},
                                 {"price", 1.1},
                                 {"csize", 100000.0},
                                 {"r_profit", 1.0},
                                 {"digits", 5}});
    }
    return array;
}

QList<TickData> batchOf(int symbols, double bid)
{
    QList<TickData> batch;
    for (int i = 0; i < symbols; ++i) {
        TickData tick;
        tick.symbol = symbolName(i);
        tick.bid = bid;
        tick.ask = bid + 0.0002;
        tick.digits = 5;
        batch.append(tick);
    }
    return batch;
}

// Receivers as cheap as possible, so the figures are the stores' own cost
// plus what every direct connection costs anyway.
struct Sink : QObject
{
    int positions = 0;
    double total = 0.0;
    void connectTo(PositionDataStore &store)
    {
        connect(&store, &PositionDataStore::positionProfitChanged, this, [this](const Position &) { ++positions; });
        connect(&store, &PositionDataStore::symbolNetProfitChanged, this,
                [this](const QString &, int, double, double, double, double, double profit) { total += profit; });
        connect(&store, &PositionDataStore::netProfitChanged, this, [this](double profit) { total += profit; });
    }
};

void copyBatch(benchmark::State &state)
{
    const auto batch = batchOf(500, 1.1);
    for (auto _ : state) {
        QList<TickData> copy;
        copy.reserve(batch.size());
        for (const auto &tick : batch)
            copy.append(tick);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(copyBatch)->Name("baseline/copy 500-tick batch");

void repriceOneSymbol(benchmark::State &state)
{
    PositionDataStore store;
    Sink sink;
    sink.connectTo(store);
    store.setOpenPositions(positionsOver(1, 1000));
    TickData tick = batchOf(1, 1.1).constFirst();
    int step = 0;
    for (auto _ : state) {
        tick.bid = 1.1 + (++step & 1) * 0.0001; // every tick moves the price
        tick.ask = tick.bid + 0.0002;
        store.onPriceChanged(tick);
    }
    benchmark::DoNotOptimize(sink.total);
}
BENCHMARK(repriceOneSymbol)->Name("one tick, 1000 positions of its symbol");

void batchThroughStores(benchmark::State &state)
{
    SymbolDataStorage symbols;
    PositionDataStore store;
    Sink sink;
    sink.connectTo(store);
    QObject::connect(&symbols, &SymbolDataStorage::tickChanged, &store, &PositionDataStore::onPriceChanged);
    store.setOpenPositions(positionsOver(500, 2000));
    const QList<TickData> batches[2] = {batchOf(500, 1.1), batchOf(500, 1.1001)};
    int step = 0;
    for (auto _ : state)
        symbols.onUpdatedTicks(batches[++step & 1]);
    benchmark::DoNotOptimize(sink.total);
    state.counters["per tick"] = benchmark::Counter(500, benchmark::Counter::kIsIterationInvariantRate
                                                             | benchmark::Counter::kInvert);
}
BENCHMARK(batchThroughStores)->Name("batch of 500 symbols, 2000 positions");

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string baseline = "baseline/copy 500-tick batch";
    if (reporter.has(baseline)) {
        std::printf("\nRatio to copying a 500-tick batch (median over repetitions):\n");
        const char *goals[][2] = {
            {"one tick, 1000 positions of its symbol", "goal: the symbol's positions only, no walk over the others"},
            {"batch of 500 symbols, 2000 positions", "goal: each tick costs its own symbol's positions, no total re-added"},
        };
        for (const auto &goal : goals)
            std::printf("  %-45s %8.2fx  (%s)\n", goal[0], reporter.ratio(goal[0], baseline), goal[1]);
    }
    benchmark::Shutdown();
    return 0;
}
