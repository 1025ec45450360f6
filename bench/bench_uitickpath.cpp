// The user-interface tick path of the main window: one 100 ms batch of 300 symbols
// through the symbol store and Client_Terminal::onPrice, with 300 market-watch
// rows, 200 open positions over 50 symbols, the net table and 4 charts of 100,000
// bars; measured against the same batch through the stores alone. Also the load
// of a trade-history reply of 10,000 deals, and positions, orders and history
// replies of 50,000 rows: the window's time and the memory they cost.
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
#include "residentmemory.h"
#include <QElapsedTimer>
#include <QJsonDocument>
#include <benchmark/benchmark.h>

#include <cmath>
#include <malloc.h>
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

constexpr int kBigRows = 50000;

// A reply of 50,000 rows, every field of a row filled; `variant` changes each row.
QJsonObject bigReply(int code, int variant)
{
    QJsonArray rows;
    for (int i = 0; i < kBigRows; ++i) {
        QJsonObject row{{"ticket", 100000 + i}, {"symbol", symbolName(i % kSymbols)}, {"time", 1700000000 + i},
                        {"volume", 1000 + variant}, {"price", 1.1},  {"price_o", 1.1}, {"price_c", 1.2},
                        {"sl", 1.0},   {"tp", 1.3},     {"s_price", 1.05}, {"digits", 5},    {"swap", -0.5},
                        {"profit", 2.5}, {"commission", -0.1}, {"csize", 100000.0}, {"r_profit", 1.0}, {"state", i % 7}};
        row.insert("type", code == 6 ? QJsonValue(i % 8) : QJsonValue(i % 2 ? "buy" : "sell"));
        rows.append(row);
    }
    if (code == 4)
        return {{"res_code", 4}, {"is_last", 1}, {"balance", 10000}, {"array", rows}};
    if (code == 6)
        return {{"res_code", 6}, {"array", rows}};
    return {{"res_code", 5}, {"positions", rows}};
}

const char *kindOf(int code)
{
    return code == 4 ? "positions" : code == 6 ? "orders" : "history";
}

// As the reply reaches the window, and what it leaves for the event loop (the
// history request, layout, painting) until the window answers again.
void handle(Client_Terminal &window, const QJsonObject &reply)
{
    const int code = reply.value("res_code").toInt();
    if (code == 4)
        window.onPosition(reply);
    else if (code == 6)
        window.onOrder(reply);
    else
        window.historyTableLoad(reply);
    QCoreApplication::processEvents();
}

// A changed reply of the same size replacing the one shown.
void BM_BigReply(benchmark::State &state)
{
    const int code = int(state.range(0));
    Terminal terminal;
    terminal.window->show();
    const QJsonObject replies[] = {bigReply(code, 0), bigReply(code, 1)};
    handle(*terminal.window, replies[0]);
    int round = 0;
    for (auto _ : state)
        handle(*terminal.window, replies[++round % 2]);
}
BENCHMARK(BM_BigReply)->Arg(4)->Arg(6)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(4);


struct BigReplyCost
{
    double firstLoadMs = 0;
    double heldMiB = 0; // heap in use after the reply is gone, against before it came
    double peakMiB = 0; // the highest resident memory on the way, against before
};

// The first load into an empty window, in a window of its own.
BigReplyCost bigReplyCost(int code)
{
    const QByteArray text = QJsonDocument(bigReply(code, 0)).toJson(QJsonDocument::Compact);
    Terminal terminal;
    terminal.window->show();
    QCoreApplication::processEvents();
    // Freed memory goes back to the system first, so that what the load takes shows.
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // restarts the peak from here
    clear.close();
    const long before = residentKiB();
    const size_t inUseBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    BigReplyCost cost;
    {
        // Parsed from its text as the client does: a parsed object is more compact than a built one.
        const QJsonObject reply = QJsonDocument::fromJson(text).object();
        QElapsedTimer timer;
        timer.start();
        handle(*terminal.window, reply);
        cost.firstLoadMs = double(timer.nsecsElapsed()) / 1e6;
    }
    cost.heldMiB = (double(mallinfo2().uordblks + mallinfo2().hblkhd) - double(inUseBefore)) / (1 << 20);
    cost.peakMiB = double(peakResidentKiB() - before) / 1024.0;
    return cost;
}

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
    for (const int code : {4, 6, 5}) {
        const std::string name = "BM_BigReply/" + std::to_string(code) + "/iterations:4";
        if (!ms.has(name))
            continue;
        const BigReplyCost cost = bigReplyCost(code);
        std::printf("%s reply of %d rows: first load %.0f ms, a changed one %.0f ms (goal: under 1000 ms); "
                    "held %.0f MB (goal: under 200 MB), resident peak %.0f MB with the parsed reply itself\n",
                    kindOf(code), kBigRows, cost.firstLoadMs, ms.milliseconds(name), cost.heldMiB, cost.peakMiB);
    }
    return 0;
}
