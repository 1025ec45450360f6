// A trade server that floods the logged-in terminal with replies for a while:
// positions, orders and history replies that change every time, and trade
// results, as fast as the socket takes them. Measures the longest time the
// window stops answering and the memory the flood leaves it holding.
#include "clientterminal.h"
#include "faketradeserver.h"
#include "residentmemory.h"
#include "savedaccounts.h"
#include "scalewidgettree.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kFloodMs = 8000;

QJsonArray rows(int count, int round)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(QJsonObject{{"ticket", 1000 + i}, {"symbol", "EURUSD"}, {"type", i % 2 ? "buy" : "sell"},
                                 {"volume", 100 + round}, {"price", 1.1}, {"price_o", 1.1}, {"price_c", 1.2},
                                 {"time", 1700000000 + i}, {"digits", 5}, {"profit", 1.5}, {"swap", -0.2}});
    return array;
}

// Lives in a thread of its own, so that writing the flood costs the window nothing.
class FloodServer : public FakeTradeServer
{
public:
    FloodServer()
    {
        QJsonArray symbols;
        for (const char *symbol : {"EURUSD", "GBPUSD", "USDJPY", "XAUUSD"})
            symbols.append(QJsonObject{{"symbol", symbol}, {"digits", 5}, {"c_size", 100000}});
        setReplies(1, {QJsonObject{{"res_code", 8}, {"array", symbols}}});
    }

    // Sends replies until `ms` have passed; returns through `sent` how many.
    void flood(int ms)
    {
        m_until.start();
        m_ms = ms;
        floodSome();
    }
    std::atomic<int> sent{0};
    std::atomic<bool> done{false};

private:
    void floodSome()
    {
        QTcpSocket *target = m_clients.isEmpty() ? nullptr : m_clients.first();
        if (!target || m_until.elapsed() > m_ms) {
            done = true;
            return;
        }
        connect(target, &QTcpSocket::bytesWritten, this, &FloodServer::floodSome, Qt::UniqueConnection);
        while (target->bytesToWrite() < (1 << 20)) {
            const int round = sent;
            QJsonObject reply;
            switch (round % 4) {
            case 0:
                reply = {{"res_code", 4}, {"is_last", 1}, {"balance", 1000 + round}, {"array", rows(200, round)}};
                break;
            case 1:
                reply = {{"res_code", 6}, {"array", rows(50, round)}};
                break;
            case 2:
                reply = {{"res_code", 5}, {"deals", rows(2000, round)}};
                break;
            default:
                reply = {{"res_code", 7}, {"status", 10009}, {"type", 0}};
            }
            write(target, 0x1, QJsonDocument(reply).toJson(QJsonDocument::Compact));
            ++sent;
        }
    }

    QElapsedTimer m_until;
    int m_ms = 0;
};

struct FloodResult
{
    double longestPauseMs = 0;
    double heldMiB = 0;
    int replies = 0;
};

FloodResult runFlood()
{
    QThread serverThread;
    QObject inServerThread;
    inServerThread.moveToThread(&serverThread);
    serverThread.start();
    FloodServer *server = nullptr;
    QMetaObject::invokeMethod(&inServerThread, [&] { server = new FloodServer; }, Qt::BlockingQueuedConnection);
    // Logs in by itself, as at a start with a saved online account.
    savedaccounts::write(savedaccounts::filePath(),
                         {{"1001", "secret", server->url().toString(), "Flood", "", "online"}});
    TradeClient *client = new TradeClient; // never destroyed, as in the program
    auto window = std::make_unique<Client_Terminal>(client);
    window->show();
    QElapsedTimer wait;
    wait.start();
    while (window->login() != 1001 && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const long before = residentKiB();
    QElapsedTimer since;
    qint64 longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longest = qMax(longest, since.restart());
    });
    since.start();
    beat.start(5);
    QMetaObject::invokeMethod(server, [server] { server->flood(kFloodMs); });
    while (!server->done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // What arrived last is handled too.
    wait.restart();
    while (wait.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    beat.stop();

    FloodResult result;
    result.longestPauseMs = double(longest) - 5.0;
    result.heldMiB = double(residentKiB() - before) / 1024.0;
    result.replies = server->sent;
    client->logout();
    window.reset();
    QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return result;
}

FloodResult g_result;

void BM_ReplyFlood(benchmark::State &state)
{
    for (auto _ : state)
        g_result = runFlood();
    state.counters["replies"] = g_result.replies;
    state.counters["longest_pause_ms"] = g_result.longestPauseMs;
    state.counters["held_MiB"] = g_result.heldMiB;
}
BENCHMARK(BM_ReplyFlood)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    testsupport::IsolatedEnvironment environment;
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    qputenv("KESTRAL_BROKER_PORT", "1");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    initTerminalResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("flood of %d replies in %d s: longest pause of the window %.0f ms (goal: under 100 ms); "
                "memory held after it %.0f MB (goal: bounded, not growing with the flood)\n",
                g_result.replies, kFloodMs / 1000, g_result.longestPauseMs, g_result.heldMiB);
    return 0;
}
