// kestral-server: a local trade server with a simulated market, so the terminal
// has something to log in to without a broker.
#include "serverapp.h"
#include "serverstore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

bool readPort(const QCommandLineParser &parser, const QString &name, quint16 *port)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const uint value = parser.value(name).toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Also names the data folder, so the server's file sits apart from the terminal's.
    QCoreApplication::setApplicationName(QStringLiteral("kestral-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local trade server with a simulated market."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options{
        {QStringLiteral("broker-port"), QStringLiteral("Broker list port (0: any free port)."), QStringLiteral("port")},
        {QStringLiteral("trade-port"), QStringLiteral("Trade server port (0: any free port)."), QStringLiteral("port")},
        {QStringLiteral("account-port"), QStringLiteral("Account service port (0: any free port)."),
         QStringLiteral("port")},
        {QStringLiteral("duration"), QStringLiteral("Stop after this many seconds."), QStringLiteral("seconds")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the simulated market (same seed, same history)."),
         QStringLiteral("number")},
        {QStringLiteral("record"), QStringLiteral("Append every trade-server request handled to this file."),
         QStringLiteral("file")},
        {QStringLiteral("symbols"), QStringLiteral("Trade this many symbols, made-up ones beyond the real market."),
         QStringLiteral("count")},
        {QStringLiteral("tick-rate"),
         QStringLiteral("How often each symbol ticks, up to 10: a tick every 100 ms (default 3)."),
         QStringLiteral("rate")},
        {QStringLiteral("timezone"), QStringLiteral("Server time zone sent at login, as +HH:MM."),
         QStringLiteral("zone")},
        {QStringLiteral("data"),
         QStringLiteral("Keep accounts and trades in this folder instead of the user's data folder "
                        "(:memory: keeps them for this run only)."),
         QStringLiteral("folder")},
    };
    parser.addOptions(options);
    parser.process(app);

    tradeserver::ServerOptions settings;
    if (!readPort(parser, QStringLiteral("broker-port"), &settings.brokerPort) ||
        !readPort(parser, QStringLiteral("trade-port"), &settings.tradePort) ||
        !readPort(parser, QStringLiteral("account-port"), &settings.accountPort)) {
        std::fprintf(stderr, "kestral-server: a port must be a number from 0 to 65535\n");
        return 2;
    }
    if (parser.isSet(QStringLiteral("seed")))
        settings.seed = parser.value(QStringLiteral("seed")).toULongLong();
    settings.recordPath = parser.value(QStringLiteral("record"));
    if (parser.isSet(QStringLiteral("symbols"))) {
        bool ok = false;
        settings.symbols = parser.value(QStringLiteral("symbols")).toInt(&ok);
        if (!ok || settings.symbols < 1 || settings.symbols > 5000) {
            std::fprintf(stderr, "kestral-server: the symbols must be a count from 1 to 5000\n");
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("tick-rate"))) {
        bool ok = false;
        settings.tickRate = parser.value(QStringLiteral("tick-rate")).toDouble(&ok);
        if (!ok || !(settings.tickRate > 0.0) || settings.tickRate > 10.0) {
            std::fprintf(stderr, "kestral-server: the tick rate must be above 0 and at most 10\n");
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("timezone"))) {
        settings.timeZone = parser.value(QStringLiteral("timezone"));
        if (tradeserver::Desk::zoneOffsetSeconds(settings.timeZone) == 0 &&
            settings.timeZone != QLatin1String("+00:00") && settings.timeZone != QLatin1String("-00:00")) {
            std::fprintf(stderr, "kestral-server: the time zone must read +HH:MM or -HH:MM\n");
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        const double seconds = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || seconds <= 0.0 || seconds > 30.0 * 86400) {
            std::fprintf(stderr, "kestral-server: the duration must be a positive number of seconds\n");
            return 2;
        }
        QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    }

    const QString data = parser.isSet(QStringLiteral("data"))
                             ? parser.value(QStringLiteral("data"))
                             : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty()) {
        std::fprintf(stderr, "kestral-server: no data folder; name one with --data\n");
        return 2;
    }
    settings.database = data == tradeserver::ServerStore::memoryPath()
                            ? data
                            : QDir(data).absoluteFilePath(tradeserver::ServerStore::fileName());

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }

    tradeserver::ServerApp server(settings);
    if (!server.start()) {
        std::fprintf(stderr, "kestral-server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    const auto &demo = server.demo();
    std::printf("broker-port %u\ntrade-port %u\naccount-port %u\n", server.brokerPort(), server.tradePort(),
                server.accountPort());
    std::printf("database %s\n", qPrintable(QDir::toNativeSeparators(settings.database)));
    // The demo account outlives the run: a password changed since is not printed as it was.
    const tradeserver::TradingEngine &engine = server.desk().engine();
    const bool mainKept = engine.authenticate(demo.login, demo.password) == tradeserver::Access::Full;
    const bool investorKept = engine.authenticate(demo.login, demo.investorPassword) == tradeserver::Access::ReadOnly;
    std::printf("demo-account login %lld password %s investor %s\n", static_cast<long long>(demo.login),
                mainKept ? qPrintable(demo.password) : "(changed)",
                investorKept ? qPrintable(demo.investorPassword) : "(changed)");
    std::fflush(stdout);
    const int result = app.exec();
    std::printf("stopped\n");
    return result;
}
