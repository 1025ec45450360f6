// What keeping the accounts in a database file costs the local trade server: a
// trade's round trip (request sent to result read) through one server whose
// database is a file, against one kept in memory, taking turns in the same run;
// and how long a server takes to start on a file of 1,000 accounts with 1,000
// deals each.
#include "serverapp.h"
#include "serverstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int startupAccounts = 1000;
constexpr int dealsPerAccount = 1000;

constexpr int tradersPerServer = 24; // so no client runs out of its request budget
constexpr qint64 firstTraderLogin = 300001;
constexpr int roundTrips = 3000;

// A logged-in client of one server that trades in and out of a small position.
class Trader
{
public:
    Trader(quint16 port, qint64 login)
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket, [this](const QString &text) {
            if (text.contains(QLatin1String(R"("res_code":7)")))
                m_result = QJsonDocument::fromJson(text.toUtf8()).object();
            else if (text.contains(QLatin1String(R"("res_code":1,)")))
                m_loggedIn = text.contains(QLatin1String(R"("state":1)"));
            else if (text.contains(QLatin1String(R"("res_code":4)")))
                m_positions = QJsonDocument::fromJson(text.toUtf8()).object();
            m_wait.quit();
        });
        QObject::connect(&m_socket, &QWebSocket::connected, &m_socket, [this, login] {
            send({{"req_code", 1}, {"id", login}, {"password", "bench"}, {"type", 3}});
        });
        m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
    }

    bool ready()
    {
        return waitFor([this] { return m_loggedIn; });
    }

    // One trade, opening or closing by turns: the seconds from sending it to its result; < 0 on failure.
    double trade()
    {
        QJsonObject request{{"req_code", 4}, {"symbol", "EURUSD"}, {"volume", 100}};
        const QJsonArray open = m_positions.value("array").toArray();
        if (open.isEmpty()) {
            request.insert("type", 0);
            request.insert("order_type", 0);
        } else {
            request.insert("type", 4);
            request.insert("order_id", open.first().toObject().value("ticket"));
        }
        m_result = {};
        m_positions = {};
        QElapsedTimer timer;
        timer.start();
        send(request);
        if (!waitFor([this] { return !m_result.isEmpty(); }))
            return -1.0;
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        // The pushed positions name the next trade's ticket; not part of the round trip.
        if (m_result.value("status").toInt() != tradeserver::Done ||
            !waitFor([this] { return !m_positions.isEmpty(); }))
            return -1.0;
        return seconds;
    }

private:
    void send(const QJsonObject &message)
    {
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    }
    // Sleeps in the event loop until a message comes, not in a timed poll that would blur the figures.
    template <typename Predicate> bool waitFor(Predicate done)
    {
        QElapsedTimer patience;
        patience.start();
        while (!done() && patience.elapsed() < 20000) {
            QTimer::singleShot(1000, &m_wait, &QEventLoop::quit);
            m_wait.exec();
        }
        return done();
    }

    QWebSocket m_socket;
    QEventLoop m_wait;
    bool m_loggedIn = false;
    QJsonObject m_result;
    QJsonObject m_positions;
};

// Each server answers from a thread of its own, so one's rounds of ticks never delay the other's replies.
struct Side
{
    std::unique_ptr<QThread> thread;
    tradeserver::ServerApp *server = nullptr; // lives in `thread`
    std::vector<std::unique_ptr<Trader>> traders;
    size_t next = 0;
    std::vector<double> seconds;
};

Side g_memory;
Side g_file;
bool g_failed = false;

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(fraction * double(values.size()))));
}

// The two servers take turns, so a busy moment of the machine falls on both alike.
void BM_TradeRoundTrip(benchmark::State &state)
{
    for (auto _ : state) {
        for (Side *side : {&g_memory, &g_file}) {
            Trader &trader = *side->traders.at(side->next++ % side->traders.size());
            const double seconds = trader.trade();
            if (seconds < 0.0) {
                g_failed = true;
                state.SkipWithError("a trade failed");
                return;
            }
            side->seconds.push_back(seconds);
        }
    }
}
BENCHMARK(BM_TradeRoundTrip)->Iterations(roundTrips)->Unit(benchmark::kMicrosecond);

tradeserver::ServerOptions options(const QString &database)
{
    tradeserver::ServerOptions result;
    result.brokerPort = result.tradePort = result.accountPort = 0;
    result.seed = 9;
    // Few ticks: a round of them sent to every client holds up a reply by milliseconds,
    // on either server alike, and would bury what the file costs in the tail.
    result.tickRate = 0.2;
    result.database = database;
    return result;
}

// A file such as a busy server leaves: every account traded in and out until it
// holds a full history of deals (with their orders and closed positions).
bool writeLargeFile(const QString &path)
{
    tradeserver::TradingEngine engine(defaultInstruments(), [] { return qint64(1700000000); });
    engine.setQuote(QStringLiteral("EURUSD"), {1.10000, 1.10010});
    for (int i = 0; i < startupAccounts; ++i) {
        const qint64 login = engine.createAccount(QStringLiteral("Trader %1").arg(i), QStringLiteral("main%1").arg(i),
                                                  QStringLiteral("view%1").arg(i), 10000.0, 100);
        // The deposit is the first deal; each round trip adds two.
        for (int deal = 1; deal < dealsPerAccount; deal += 2) {
            if (!engine.execute(login, {0, tradeserver::Buy, 1000, QStringLiteral("EURUSD")}).ok())
                return false;
            const qint64 ticket = engine.account(login)->positions.lastKey();
            if (!engine.execute(login, {4, -1, 0, QString(), 0, 0, 0, 0, ticket}).ok())
                return false;
        }
    }
    tradeserver::ServerStore store;
    return store.open(path) && store.saveAll(engine);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString file = folder.filePath(tradeserver::ServerStore::fileName());
    for (Side *side : {&g_memory, &g_file}) {
        side->thread = std::make_unique<QThread>();
        side->thread->start();
        // Made in its thread: a database connection serves only the thread that opened it.
        QObject anchor;
        anchor.moveToThread(side->thread.get());
        bool started = false;
        const QString database = side == &g_file ? file : tradeserver::ServerStore::memoryPath();
        QMetaObject::invokeMethod(
            &anchor,
            [&started, side, database] {
                side->server = new tradeserver::ServerApp(options(database));
                tradeserver::ServerApp *server = side->server;
                started = server->start();
                for (int i = 0; i < tradersPerServer; ++i)
                    server->desk().engine().createAccount(QStringLiteral("Bench"), QStringLiteral("bench"),
                                                          QStringLiteral("view"), 100000.0, 100, firstTraderLogin + i);
            },
            Qt::BlockingQueuedConnection);
        if (!started) {
            std::fprintf(stderr, "server: %s\n", qPrintable(side->server->errorString()));
            return 1;
        }
        for (int i = 0; i < tradersPerServer; ++i) {
            const qint64 login = firstTraderLogin + i;
            side->traders.push_back(std::make_unique<Trader>(side->server->tradePort(), login));
            if (!side->traders.back()->ready()) {
                std::fprintf(stderr, "a client could not log in\n");
                return 1;
            }
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::vector<double> memorySeconds = std::move(g_memory.seconds);
    const std::vector<double> fileSeconds = std::move(g_file.seconds);
    for (Side *side : {&g_memory, &g_file}) {
        side->traders.clear();
        tradeserver::ServerApp *server = side->server;
        QMetaObject::invokeMethod(
            server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        side->thread->quit();
        side->thread->wait();
    }

    // Start-up on a large file, from nothing to listening.
    const QString large = folder.filePath(QStringLiteral("large/") + tradeserver::ServerStore::fileName());
    QElapsedTimer writing;
    writing.start();
    if (!writeLargeFile(large)) {
        std::fprintf(stderr, "could not write the large file\n");
        return 1;
    }
    const double writeSeconds = double(writing.elapsed()) / 1e3;
    std::vector<double> startups;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        tradeserver::ServerApp server(options(large));
        const bool started = server.start();
        startups.push_back(double(timer.nsecsElapsed()) / 1e9);
        const tradeserver::Account *sample = server.desk().engine().accountWithHistory(100001 + startupAccounts / 2);
        if (!started || !sample || sample->deals.size() != dealsPerAccount) {
            std::fprintf(stderr, "the server did not start on the large file: %s\n", qPrintable(server.errorString()));
            return 1;
        }
    }
    QElapsedTimer timer;
    timer.start();
    {
        tradeserver::ServerApp server(options(tradeserver::ServerStore::memoryPath()));
        server.start();
    }
    const double emptySeconds = double(timer.nsecsElapsed()) / 1e9;

    if (g_failed)
        return 1;
    const double memoryMedian = percentile(memorySeconds, 0.5) * 1e3;
    const double fileMedian = percentile(fileSeconds, 0.5) * 1e3;
    const double memoryP99 = percentile(memorySeconds, 0.99) * 1e3;
    const double fileP99 = percentile(fileSeconds, 0.99) * 1e3;
    std::printf("Trade round trip, database file / in memory (%zu trades each):\n", fileSeconds.size());
    std::printf("  median %.3f ms / %.3f ms: %.2fx (goal: at most 1.5x)\n", fileMedian, memoryMedian,
                memoryMedian > 0 ? fileMedian / memoryMedian : 0.0);
    std::printf("  p99    %.3f ms / %.3f ms: %.2fx (goal: at most 3x)\n", fileP99, memoryP99,
                memoryP99 > 0 ? fileP99 / memoryP99 : 0.0);
    std::printf("Start-up on %d accounts with %d deals each (and their orders and closed positions): "
                "%.3f s, median of %zu (goal: at most 1 s); with no accounts: %.3f s; writing the file took %.1f s\n",
                startupAccounts, dealsPerAccount, percentile(startups, 0.5), startups.size(), emptySeconds,
                writeSeconds);
    return 0;
}
