// A trade server that resends big replies for a while: positions and orders of
// 50,000 rows every 2 s, each time with one position and one order changed and
// every profit moved, and a history of 50,000 closed positions answering every
// history request. The real client and main window handle them; the server runs
// in a second copy of this program, so that its own texts do not count. Measures
// the window's longest stall and the process's resident memory, at its peak and
// at the end.
//
//   bench_bigreplies [--flood-seconds=N] [benchmark options]   (default 60 s)
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
#include <QProcess>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kRows = 50000;
constexpr int kResendMs = 2000;
constexpr double kHeldGoalMiB = 400;
constexpr double kPeakGoalMiB = 500;
constexpr double kStallGoalMs = 250;
int g_floodSeconds = 60;

QString symbolName(int index)
{
    return QStringLiteral("SYM%1").arg(index, 2, 10, QLatin1Char('0'));
}

// Rows as a server fills them. `variant` moves every profit and replaces the last row
// by one of another ticket: a position closed and one opened.
QJsonArray rows(int code, int variant)
{
    QJsonArray array;
    for (int i = 0; i < kRows; ++i) {
        const int ticket = i == kRows - 1 && variant ? 900000 + variant : 100000 + i;
        QJsonObject row{{"ticket", ticket},
                        {"login", 1001},
                        {"symbol", symbolName(i % 40)},
                        {"time", 1700000000 + i},
                        {"volume", 10000 * (1 + i % 5)},
                        {"price", 1.1 + i % 100 * 1e-4},
                        {"price_o", 1.1},
                        {"price_c", 1.2},
                        {"sl", 1.0},
                        {"tp", 1.3},
                        {"s_price", 1.05},
                        {"digits", 5},
                        {"swap", -0.5},
                        {"profit", 2.5 + variant},
                        {"commission", -0.1},
                        {"csize", 100000.0},
                        {"r_profit", 1.0},
                        {"state", i % 7}};
        row.insert("type", code == 6 ? QJsonValue(i % 8) : QJsonValue(i % 2 ? "buy" : "sell"));
        array.append(row);
    }
    return array;
}

QByteArray text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

class ResendingServer : public FakeTradeServer
{
public:
    ResendingServer()
    {
        QJsonArray symbols;
        for (int i = 0; i < 40; ++i)
            symbols.append(QJsonObject{{"symbol", symbolName(i)}, {"digits", 5}, {"c_size", 100000}});
        setReplies(1, {QJsonObject{{"res_code", 8}, {"array", symbols}}});
        setReplies(5, {QJsonObject{{"res_code", 5}, {"positions", rows(5, 0)}}});
        for (int variant = 0; variant < 2; ++variant) {
            m_positions[variant] =
                text({{"res_code", 4}, {"is_last", 1}, {"balance", 100000}, {"array", rows(4, variant)}});
            m_orders[variant] = text({{"res_code", 6}, {"array", rows(6, variant)}});
        }
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const int variant = m_round++ % 2;
            for (QTcpSocket *tcp : std::as_const(m_clients)) {
                if (!tcp->property("open").toBool())
                    continue;
                write(tcp, 0x1, m_positions[variant]);
                write(tcp, 0x1, m_orders[variant]);
            }
        });
        m_timer.start(kResendMs);
    }

private:
    QByteArray m_positions[2];
    QByteArray m_orders[2];
    QTimer m_timer;
    int m_round = 0;
};

// The server side: prints its port, serves until its parent stops it or for a bound time.
int serve(int seconds)
{
    ResendingServer server;
    std::printf("%u\n", unsigned(server.url().port()));
    std::fflush(stdout);
    QTimer::singleShot((seconds + 60) * 1000, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}


struct FloodResult
{
    double longestStallMs = 0;
    int stallsOverGoal = 0;
    double peakMiB = 0;
    double startMiB = 0;   // logged in, before the first big reply
    double heldMiB = 0;    // at the flood's last instant, whatever was in flight then
    double settledMiB = 0; // three seconds later, the last replies handled: what is held
    int tradeRows = 0;
    int historyRows = 0;
    bool loggedIn = false;
};

FloodResult runFlood()
{
    FloodResult result;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve"), QString::number(g_floodSeconds)});
    if (!server.waitForReadyRead(60000))
        return result;
    const QString port = QString::fromLatin1(server.readLine()).trimmed();
    savedaccounts::write(savedaccounts::filePath(),
                         {{"1001", "secret", QStringLiteral("ws://127.0.0.1:") + port, "Resend", "", "online"}});
    auto *client = new TradeClient; // never destroyed, as in the program
    auto window = std::make_unique<Client_Terminal>(client);
    window->resize(1280, 800);
    window->show();
    QElapsedTimer wait;
    wait.start();
    while (window->login() != 1001 && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    result.loggedIn = window->login() == 1001;
    result.startMiB = residentKiB() / 1024.0;

    qint64 longest = 0;
    QElapsedTimer since;
    QElapsedTimer flood;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 gap = since.restart();
        longest = qMax(longest, gap);
        if (gap > kStallGoalMs)
            ++result.stallsOverGoal;
    });
    since.start();
    beat.start(5);
    flood.start();
    while (flood.elapsed() < g_floodSeconds * 1000LL)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    result.heldMiB = residentKiB() / 1024.0;
    server.kill();
    server.waitForFinished();
    wait.restart();
    while (wait.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    beat.stop();
    result.settledMiB = residentKiB() / 1024.0;
    result.longestStallMs = double(longest);
    result.peakMiB = peakResidentKiB() / 1024.0;
    result.tradeRows = window->findChild<QTableWidget *>("tradeTableWidget")->rowCount();
    result.historyRows = window->findChild<QTableWidget *>("positionTableWidget")->rowCount();
    client->logout();
    window.reset();
    return result;
}

FloodResult g_result;

void BM_BigReplies(benchmark::State &state)
{
    for (auto _ : state)
        g_result = runFlood();
    if (!g_result.loggedIn)
        state.SkipWithError("the terminal did not log in to the resending server");
    state.counters["longest_stall_ms"] = g_result.longestStallMs;
    state.counters["peak_MiB"] = g_result.peakMiB;
    state.counters["held_MiB"] = g_result.settledMiB;
}
BENCHMARK(BM_BigReplies)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--serve") == 0 && i + 1 < argc) {
            QCoreApplication app(argc, argv);
            return serve(std::atoi(argv[i + 1]));
        }
    }
    // Our own option goes before the benchmark library sees the rest.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--flood-seconds=", 16) == 0)
            g_floodSeconds = std::max(1, std::atoi(argv[i] + 16));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    testsupport::IsolatedEnvironment environment;
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    qputenv("KESTRAL_BROKER_PORT", "1");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    initTerminalResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const FloodResult &r = g_result;
    std::printf("%d s of positions and orders of %d rows resent every %d s, a %d-row history per request "
                "(trade table %d rows, history %d rows at the end):\n",
                g_floodSeconds, kRows, kResendMs / 1000, kRows, r.tradeRows, r.historyRows);
    std::printf("  longest stall of the window %.0f ms (goal: at most %.0f ms), %d stalls over it: %s\n",
                r.longestStallMs, kStallGoalMs, r.stallsOverGoal, r.longestStallMs <= kStallGoalMs ? "met" : "NOT met");
    std::printf("  resident memory at its peak %.0f MB (goal: at most %.0f MB): %s\n", r.peakMiB, kPeakGoalMiB,
                r.peakMiB <= kPeakGoalMiB ? "met" : "NOT met");
    std::printf("  (resident when logged in, before the first big reply: %.0f MB)\n", r.startMiB);
    std::printf("  held after the minute, its last replies handled, %.0f MB (goal: at most %.0f MB): %s; "
                "%.0f MB at its last instant, mid-reply\n",
                r.settledMiB, kHeldGoalMiB, r.settledMiB <= kHeldGoalMiB ? "met" : "NOT met", r.heldMiB);
    return 0;
}
