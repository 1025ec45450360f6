// A whole session against the local trade server. By default: from the connect call
// of a shown main window to the first tick on screen (a market-watch cell's text
// changing), with the server in this process on free ports, and on to four charts
// holding history. With --soak-minutes N: the terminal program against the server
// program feeding 300 symbols, 10 ticks a second each, and its resident memory
// every minute.
#include "appglobals.h"
#include "chartmanager.h"
#include "clientterminal.h"
#include "savedaccounts.h"
#include "scalewidgettree.h"
#include "serverapp.h"
#include "symbolchartwidget.h"
#include "tradeclient.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

tradeserver::ServerApp *g_server = nullptr;
double g_chartsMs = 0.0;

QHash<QPair<int, int>, QString> cellTexts(const QTableWidget *table)
{
    QHash<QPair<int, int>, QString> texts;
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column)
            if (const QTableWidgetItem *item = table->item(row, column))
                texts.insert({row, column}, item->text());
    return texts;
}

// Whether a cell that already showed a text now shows another.
bool ticked(const QHash<QPair<int, int>, QString> &before, const QHash<QPair<int, int>, QString> &now)
{
    for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
        const QString old = before.value(it.key());
        if (!old.isEmpty() && old != it.value())
            return true;
    }
    return false;
}

bool chartsWithHistory(const Client_Terminal &window)
{
    const QList<SymbolChartWidget *> charts = window.chartWindows();
    if (charts.size() < 4)
        return false;
    for (const SymbolChartWidget *chart : charts)
        if (chart->barKeys().isEmpty())
            return false;
    return true;
}

void BM_ConnectToFirstTickOnScreen(benchmark::State &state)
{
    const QString url = QStringLiteral("ws://127.0.0.1:%1").arg(g_server->tradePort());
    const QString login = QString::number(g_server->demo().login);
    double chartsTotal = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        savedaccounts::write(savedaccounts::filePath(), {});
        auto *client = new TradeClient;
        auto window = std::make_unique<Client_Terminal>(client);
        scaleWidgetTree(window.get(), 1.0);
        window->showMaximized();
        const bool shown = QTest::qWaitForWindowExposed(window.get());
        const auto *table = window->findChild<QTableWidget *>(QStringLiteral("symbolTableWidget"));
        savedaccounts::write(savedaccounts::filePath(),
                             {{login, g_server->demo().password, url, "KestralDemo", "Bench", "online"}});
        QElapsedTimer clock;
        state.ResumeTiming();

        clock.start();
        window->autoLoginFromAccounts();
        QHash<QPair<int, int>, QString> seen;
        const bool tick = table && QTest::qWaitFor(
                                       [&] {
                                           const auto now = cellTexts(table);
                                           if (ticked(seen, now))
                                               return true;
                                           for (auto it = now.constBegin(); it != now.constEnd(); ++it)
                                               if (!seen.contains(it.key()))
                                                   seen.insert(it.key(), it.value());
                                           return false;
                                       },
                                       20000);

        state.PauseTiming();
        const bool charts = QTest::qWaitFor([&] { return chartsWithHistory(*window); }, 20000);
        chartsTotal += double(clock.elapsed());
        window.reset();
        client->logout();
        client->wait();
        delete client;
        ChartManager::waitForFileWork();
        QDir(accountPath("KestralDemo", g_server->demo().login)).removeRecursively();
        if (!shown || !tick || !charts) {
            state.SkipWithError(!shown ? "window never shown" : !tick ? "no tick on screen" : "no charts with history");
            break;
        }
        state.ResumeTiming();
    }
    g_chartsMs = state.iterations() > 0 ? chartsTotal / double(state.iterations()) : 0.0;
}
BENCHMARK(BM_ConnectToFirstTickOnScreen)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration)
                milliseconds = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double milliseconds = -1.0;
};

long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int soak(int minutes, const QString &root)
{
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(KESTRAL_SERVER_EXE),
                 {"--broker-port", "0", "--trade-port", "0", "--account-port", "0", "--symbols", "300", "--tick-rate",
                  "10", "--duration", QString::number(minutes * 60 + 120)});
    QMap<QString, QString> ports;
    (void)QTest::qWaitFor(
        [&] {
            while (server.canReadLine()) {
                const QStringList words = QString::fromUtf8(server.readLine()).trimmed().split(' ');
                if (words.size() == 2 && words.first().endsWith("-port"))
                    ports.insert(words.first(), words.last());
            }
            return ports.size() == 3 || server.state() == QProcess::NotRunning;
        },
        20000);
    if (ports.size() != 3) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    savedaccounts::write(savedaccounts::filePath(), {{"100001", "demo123", "ws://127.0.0.1:" + ports["trade-port"],
                                                      "KestralDemo", "Soak", "online"}});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTRAL_BROKER_PORT", ports["broker-port"]);
    environment.insert("KESTRAL_ACCOUNT_PORT", ports["account-port"]);
    QProcess terminal;
    terminal.setProcessEnvironment(environment);
    terminal.setWorkingDirectory(root);
    terminal.setProcessChannelMode(QProcess::ForwardedChannels);
    terminal.start(QStringLiteral(KESTRAL_TERMINAL_EXE), QStringList());
    if (!terminal.waitForStarted(20000)) {
        std::fprintf(stderr, "the terminal did not start\n");
        return 1;
    }
    QList<long> kib;
    for (int minute = 1; minute <= minutes && terminal.state() == QProcess::Running; ++minute) {
        QTest::qWait(60000);
        kib.append(residentKiB(terminal.processId()));
        std::printf("minute %d: terminal RSS %ld KiB\n", minute, kib.last());
        std::fflush(stdout);
    }
    const bool alive = terminal.state() == QProcess::Running;
    terminal.terminate();
    if (!terminal.waitForFinished(20000))
        terminal.kill();
    server.terminate();
    if (!server.waitForFinished(20000))
        server.kill();
    if (!alive || kib.size() < 2) {
        std::fprintf(stderr, "the terminal ended early\n");
        return 1;
    }
    std::printf("RSS after %d minutes / after 1 minute: %.3f (goal: flat, at most 1.10)\n", minutes,
                double(kib.last()) / double(kib.first()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root;
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
        qputenv(name, QFile::encodeName(root.path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    QDir::setCurrent(root.path());

    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--soak-minutes") == 0)
            return soak(std::max(2, std::atoi(argv[i + 1])), root.path());

    initTerminalResources();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type >= QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    tradeserver::ServerOptions options;
    options.brokerPort = options.tradePort = options.accountPort = 0;
    tradeserver::ServerApp server(options);
    if (!server.start()) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    g_server = &server;
    qputenv("KESTRAL_BROKER_PORT", QByteArray::number(server.brokerPort()));
    qputenv("KESTRAL_ACCOUNT_PORT", QByteArray::number(server.accountPort()));

    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("Connect call to the first tick on screen: %.1f ms (goal: under 1000 ms); "
                "to four charts with history: %.1f ms\n",
                reporter.milliseconds, g_chartsMs);
    return 0;
}
