// The user-interface tick path of the main window: one 100 ms batch of 300 symbols
// through the symbol store and Client_Terminal::onPrice, with 300 market-watch
// rows, 200 open positions over 50 symbols, the net table and 4 charts of 100,000
// bars; measured against the same batch through the stores alone. Also the load
// of a trade-history reply of 10,000 deals.
#include "clientterminal.h"
#include "positiondatastore.h"
#include "symbolchartwidget.h"
#include "symboldatastorage.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QApplication>
#include <QJsonArray>
#include <QTableWidget>
#include "medianreporter.h"
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int kSymbols = 300;
constexpr int kPositionSymbols = 50;
constexpr int kPositions = 200;
constexpr int kBars = 100000;

QString symbolName(int index)
{
    return QStringLiteral("SYM%1").arg(index, 3, 10, QLatin1Char('0'));
}

QJsonObject symbolList()
{
    QJsonArray array;
    for (int i = 0; i < kSymbols; ++i)
        array.append(QJsonObject{{"symbol", symbolName(i)}, {"digits", 5}, {"c_size", 100000}});
    return {{"res_code", 8}, {"array", array}};
}

QJsonArray positions()
{
    QJsonArray array;
    for (int i = 0; i < kPositions; ++i)
        array.append(QJsonObject{{"ticket", 1000 + i},
                                 {"symbol", symbolName(i % kPositionSymbols)},
                                 {"type", i % 3 ? "buy" : "sell"},
                                 {"volume", 1000 + i},
                                 {"price", 1.1},
                                 {"csize", 100000.0},
                                 {"r_profit", 1.0},
                                 {"digits", 5},
                                 {"swap", -0.5}});
    return array;
}

// Every symbol once, all moved against the previous batch; one bar's time throughout.
QList<TickData> batch(int round)
{
    QList<TickData> ticks;
    const double move = (round % 2 ? 1 : -1) * 0.00001 * (1 + round % 7);
    for (int i = 0; i < kSymbols; ++i) {
        TickData tick;
        tick.symbol = symbolName(i);
        tick.timestamp = 1700000000 + kBars * 3600LL - 60;
        tick.serverTime = tick.timestamp;
        tick.bid = 1.1 + move + i * 1e-6;
        tick.ask = tick.bid + 0.00012;
        tick.askHigh = tick.ask + 0.002;
        tick.bidLow = tick.bid - 0.002;
        tick.digits = 5;
        ticks.append(tick);
    }
    return ticks;
}

QList<CandleStick> bars()
{
    QList<CandleStick> all;
    all.reserve(kBars);
    for (int i = 0; i < kBars; ++i) {
        const double price = 1.1 + 0.01 * std::sin(i / 50.0);
        all.append({1700000000 + qint64(i) * 3600, price, price + 0.001, price - 0.001, price + 0.0002});
    }
    return all;
}

struct Terminal
{
    Terminal()
    {
        window = std::make_unique<Client_Terminal>(&client);
        window->resize(1280, 800);
        window->symbolStorage().onSymbolListReceived(symbolList());
        const QList<CandleStick> history = bars();
        for (SymbolChartWidget *chart : window->chartWindows())
            chart->setCandleStickData(history);
        window->onPosition({{"balance", 10000}, {"is_last", 1}, {"array", positions()}});
    }
    TradeClient client;
    std::unique_ptr<Client_Terminal> window;
};

void BM_WindowBatch(benchmark::State &state)
{
    Terminal terminal;
    if (terminal.window->chartWindows().size() != 4 ||
        terminal.window->findChild<QTableWidget *>("symbolTableWidget")->rowCount() != kSymbols ||
        terminal.window->findChild<QTableWidget *>("tradeTableWidget")->rowCount() != kPositions) {
        state.SkipWithError("the window was not set up as intended");
        return;
    }
    int round = 0;
    for (auto _ : state)
        terminal.window->symbolStorage().onUpdatedTicks(batch(++round));
}
BENCHMARK(BM_WindowBatch)->Unit(benchmark::kMillisecond);

void BM_StoresBatch(benchmark::State &state)
{
    SymbolDataStorage symbols;
    PositionDataStore store;
    QObject::connect(&symbols, &SymbolDataStorage::tickChanged, &store, &PositionDataStore::onPriceChanged);
    symbols.onSymbolListReceived(symbolList());
    store.setOpenPositions(positions());
    int round = 0;
    for (auto _ : state)
        symbols.onUpdatedTicks(batch(++round));
}
BENCHMARK(BM_StoresBatch)->Unit(benchmark::kMillisecond);

void BM_HistoryOf10000Deals(benchmark::State &state)
{
    Terminal terminal;
    QJsonArray deals;
    for (int i = 0; i < 10000; ++i)
        deals.append(QJsonObject{{"ticket", i},
                                 {"type", i % 5},
                                 {"symbol", symbolName(i % kSymbols)},
                                 {"time", 1700000000 + i},
                                 {"order", 5000 + i},
                                 {"volume", 1000},
                                 {"price", 1.1},
                                 {"profit", 1.5 - i % 3},
                                 {"swap", -0.1},
                                 {"commission", -0.2}});
    const QJsonObject reply{{"res_code", 5}, {"deals", deals}};
    for (auto _ : state)
        terminal.window->historyTableLoad(reply);
}
BENCHMARK(BM_HistoryOf10000Deals)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    testsupport::IsolatedEnvironment environment;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const MedianReporter &ms = reporter;
    if (ms.has("BM_WindowBatch"))
        std::printf("batch of %d ticks through the window: %.3f ms (goal: under 5 ms)\n", kSymbols,
                    ms.milliseconds("BM_WindowBatch"));
    if (ms.has("BM_WindowBatch") && ms.has("BM_StoresBatch"))
        std::printf("the same batch through the stores alone: %.3f ms; window / stores: %.1f\n",
                    ms.milliseconds("BM_StoresBatch"), ms.ratio("BM_WindowBatch", "BM_StoresBatch"));
    if (ms.has("BM_HistoryOf10000Deals/iterations:10"))
        std::printf("history reply of 10,000 deals: %.1f ms (goal: under 200 ms)\n",
                    ms.milliseconds("BM_HistoryOf10000Deals/iterations:10"));
    return 0;
}
