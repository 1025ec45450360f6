// Tick latency of the local trade server to a well-behaved client: idle, and while
// 60 other clients in another process attack it, half flooding it with chart
// requests, half never reading what they asked for. Latency runs from when a round
// of ticks was due (on the beat of the server's tick timer, watched in the server's
// thread) to the first tick of that round arriving at the client; rounds
// the server never sends show as fewer rounds. Also the peak resident memory of this process,
// which holds the server and the one client.
#include "residentmemory.h"
#include "serverapp.h"
#include "silentwebsocket.h"
#include "tradeserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int attackers = 60;
constexpr int attackAccounts = 10;
constexpr qint64 firstAttackLogin = 200001;
constexpr int measureMs = 20000;
constexpr int warmUpMs = 3000;

qint64 steadyNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

QString loginText(qint64 login, const QString &password)
{
    return QStringLiteral(R"({"req_code":1,"id":%1,"password":"%2","type":3})").arg(login).arg(password);
}

constexpr qint64 tickNs = qint64(tradeserver::TradeServer::tickIntervalMs) * 1000000;

struct Bench
{
    tradeserver::ServerApp *server = nullptr;
    qint64 beatStartNs = 0; // just before the server started: its rounds are due a beat apart from then
    QWebSocket *client = nullptr;
    QHash<qint64, qint64> arrivals; // tick ms to the steady ns its first tick arrived
    QString exe;
    long peakKiB = 0;
    int attackerConnections = 0;
    QString recordPath;        // every request the server handled, one line each
    qint64 charts[2] = {0, 0}; // chart requests handled while measuring, idle / attacked
    double medianMs[2] = {0, 0};
    double p99Ms[2] = {0, 0};
    int rounds[2] = {0, 0};
};
Bench g;


// Runs this thread's events for a while, never sleeping between them as a test wait does.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<double> latenciesMs()
{
    std::vector<double> samples;
    // Each round's first tick, from the last beat before it came: a round started late
    // counts its lateness, whether or not the rounds before it were late too.
    for (const qint64 arrived : std::as_const(g.arrivals))
        samples.push_back(double((arrived - g.beatStartNs) % tickNs) / 1e6);
    std::sort(samples.begin(), samples.end());
    return samples;
}

// Shows the attackers were served, not shut out, while the latency was measured.
qint64 chartsHandled()
{
    QFile record(g.recordPath);
    if (!record.open(QIODevice::ReadOnly))
        return 0;
    qint64 charts = 0;
    while (!record.atEnd())
        charts += record.readLine().contains(R"("req_code":3)") ? 1 : 0;
    return charts;
}

void BM_TickLatency(benchmark::State &state, bool attacked)
{
    for (auto _ : state) {
        QProcess attack;
        if (attacked) {
            attack.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            attack.start(g.exe, {"--attack", QString::number(g.server->tradePort()),
                                 QString::number((warmUpMs + measureMs) / 1000 + 5)});
            runFor(warmUpMs);
        }
        g.arrivals.clear();
        const qint64 chartsBefore = chartsHandled();
        runFor(measureMs);
        g.charts[attacked] = chartsHandled() - chartsBefore;
        const std::vector<double> samples = latenciesMs();
        if (attacked) {
            g.peakKiB = statusKiB("VmHWM:");
            QMetaObject::invokeMethod(
                g.server, [] { g.attackerConnections = g.server->tradeServer().connectionCount() - 1; },
                Qt::BlockingQueuedConnection);
            attack.kill();
            attack.waitForFinished(10000);
        }
        if (samples.size() < 10 || g.client->state() != QAbstractSocket::ConnectedState) {
            state.SkipWithError("the well-behaved client got no ticks");
            return;
        }
        const double median = samples[samples.size() / 2];
        const double p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
        g.medianMs[attacked] = median;
        g.p99Ms[attacked] = p99;
        g.rounds[attacked] = int(samples.size());
        state.SetIterationTime(median / 1e3);
        state.counters["p99_ms"] = p99;
        state.counters["rounds"] = double(samples.size());
    }
}
BENCHMARK_CAPTURE(BM_TickLatency, idle, false)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TickLatency, attacked, true)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The attacking process: half the clients flood chart requests and read the
// replies, half ask for charts and never read; each comes back when dropped.
// With a login and password, every client uses that account (to attack a server
// program run by hand) instead of the ones made for this bench.
int attack(quint16 port, int seconds, qint64 login = 0, const QString &password = QString())
{
    const auto account = [&](int i) { return login != 0 ? login : firstAttackLogin + i % attackAccounts; };
    const QString secret = login != 0 ? password : QStringLiteral("attack");
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    const QStringList symbols{"EURUSD", "GBPUSD", "USDJPY", "XAUUSD", "EURGBP"};
    const QList<int> periods{1, 5, 15, 30, 60, 240, 1440, 10080};
    const auto chart = [&](int i) {
        return QStringLiteral(R"({"req_code":3,"symbol":"%1","interval":%2,"from":0,"to":-1})")
            .arg(symbols.at(i % symbols.size()))
            .arg(periods.at(i / symbols.size() % periods.size()));
    };
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1").arg(port));
    std::vector<std::unique_ptr<QWebSocket>> flooders;
    for (int i = 0; i < attackers / 2; ++i) {
        flooders.push_back(std::make_unique<QWebSocket>());
        QWebSocket *socket = flooders.back().get();
        QObject::connect(socket, &QWebSocket::connected, socket,
                         [socket, id = account(i), secret] { socket->sendTextMessage(loginText(id, secret)); });
        QObject::connect(socket, &QWebSocket::disconnected, socket,
                         [socket, url] { QTimer::singleShot(100, socket, [socket, url] { socket->open(url); }); });
        auto *flood = new QTimer(socket);
        QObject::connect(flood, &QTimer::timeout, socket, [socket, chart] {
            if (socket->state() == QAbstractSocket::ConnectedState)
                for (int k = 0; k < 20; ++k)
                    socket->sendTextMessage(chart(k));
        });
        flood->start(10);
        socket->open(url);
    }
    std::vector<std::unique_ptr<SilentWebSocket>> silent(attackers / 2);
    int round = 0;
    const auto renew = [&] {
        for (int i = 0; i < int(silent.size()); ++i) {
            silent[i] = std::make_unique<SilentWebSocket>();
            if (!silent[i]->open(port, 2000))
                continue;
            silent[i]->send(loginText(account(i), secret).toUtf8());
            for (int k = 0; k < 20; ++k)
                silent[i]->send(chart(k + round).toUtf8());
        }
        ++round;
    };
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, &again, renew);
    again.start(tradeserver::TradeServer::silenceLimitMs + 2000); // once the server has dropped them
    renew();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i + 2 < argc; ++i)
        if (std::strcmp(argv[i], "--attack") == 0)
            return i + 4 < argc ? attack(quint16(std::atoi(argv[i + 1])), std::atoi(argv[i + 2]),
                                         std::atoll(argv[i + 3]), QString::fromLocal8Bit(argv[i + 4]))
                                : attack(quint16(std::atoi(argv[i + 1])), std::atoi(argv[i + 2]));
    g.exe = QCoreApplication::applicationFilePath();

    tradeserver::ServerOptions options;
    options.brokerPort = options.tradePort = options.accountPort = 0;
    options.tickRate = 10.0; // every symbol ticks every round
    options.seed = 5;
    QTemporaryDir records;
    g.recordPath = options.recordPath = records.filePath(QStringLiteral("requests"));
    auto *server = new tradeserver::ServerApp(options);
    for (int i = 0; i < attackAccounts; ++i)
        server->desk().engine().createAccount(QStringLiteral("Attacker"), QStringLiteral("attack"),
                                              QStringLiteral("view"), 10000.0, 100, firstAttackLogin + i);
    QThread thread;
    server->moveToThread(&thread);
    thread.start();
    bool started = false;
    QMetaObject::invokeMethod(
        server,
        [&] {
            g.beatStartNs = steadyNs();
            started = server->start();
        },
        Qt::BlockingQueuedConnection);
    if (!started) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server->errorString()));
        return 1;
    }
    g.server = server;

    QWebSocket client;
    g.client = &client;
    QObject::connect(&client, &QWebSocket::connected, &client,
                     [&] { client.sendTextMessage(loginText(server->demo().login, server->demo().password)); });
    QObject::connect(&client, &QWebSocket::textMessageReceived, &client, [&](const QString &text) {
        const qint64 arrived = steadyNs();
        if (!text.startsWith(QLatin1String(R"({"ask")")) && !text.contains(QLatin1String(R"("res_code":2)")))
            return;
        const qint64 tickMs = QJsonDocument::fromJson(text.toUtf8()).object().value("tm_ms").toVariant().toLongLong();
        if (!g.arrivals.contains(tickMs))
            g.arrivals.insert(tickMs, arrived);
    });
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server->tradePort())));
    if (!QTest::qWaitFor([&] { return !g.arrivals.isEmpty(); }, 20000)) {
        std::fprintf(stderr, "the well-behaved client got no tick\n");
        return 1;
    }
    const long idleKiB = statusKiB("VmRSS:");

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    client.close();
    QMetaObject::invokeMethod(
        server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();

    const auto ratio = [](const double *pair) { return pair[0] > 0.0 ? pair[1] / pair[0] : 0.0; };
    std::printf("Tick latency to a well-behaved client, idle / with %d attackers (%d / %d rounds):\n", attackers,
                g.rounds[0], g.rounds[1]);
    std::printf("  median %.3f ms / %.3f ms: %.2fx (goal: within 2x)\n", g.medianMs[0], g.medianMs[1],
                ratio(g.medianMs));
    std::printf("  p99    %.3f ms / %.3f ms: %.2fx (goal: within 2x)\n", g.p99Ms[0], g.p99Ms[1], ratio(g.p99Ms));
    std::printf("  attackers' connections open at the end: %d; chart requests served while measuring: %lld\n",
                g.attackerConnections, static_cast<long long>(g.charts[1]));
    std::printf("Peak resident memory of the process holding the server: %.1f MiB (%.1f MiB before the attack)\n",
                double(g.peakKiB) / 1024.0, double(idleKiB) / 1024.0);
    return 0;
}
