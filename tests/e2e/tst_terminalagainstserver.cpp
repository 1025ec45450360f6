// The terminal program against the local trade server, both as real processes: the
// terminal logs in to the demo account by itself and both keep running.
#include "testmain.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

constexpr int patienceMs = 60000;

bool writeAccounts(const QString &dataHome, quint16 tradePort)
{
    const QJsonArray accounts{QJsonObject{{"account", "100001"},
                                          {"password", "demo123"},
                                          {"server", QStringLiteral("ws://127.0.0.1:%1").arg(tradePort)},
                                          {"server_name", "KestralDemo"},
                                          {"name", "Demo Trader"},
                                          {"status", "online"}}};
    // Whether the data folder carries the program's name depends on whether it is
    // first asked before or after the application object exists; both are served.
    for (const QString &base : {dataHome, dataHome + QStringLiteral("/kestral-terminal")}) {
        const QString folder = base + QStringLiteral("/KESTRAL/config");
        QFile file(folder + QStringLiteral("/ACCOUNTS"));
        if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly))
            return false;
        file.write(QJsonDocument(accounts).toJson());
    }
    return true;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(10000);
    }
}

} // namespace

class TestTerminalAgainstServer : public QObject
{
    Q_OBJECT

private slots:
    void terminalLogsInToTheLocalServer()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());

        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral(KESTRAL_SERVER_EXE),
                     {"--broker-port", "0", "--trade-port", "0", "--account-port", "0", "--duration", "180"});
        QMap<QString, quint16> ports;
        QVERIFY(QTest::qWaitFor(
            [&] {
                while (server.canReadLine()) {
                    const QStringList words = QString::fromUtf8(server.readLine()).split(' ');
                    if (words.size() == 2 && words.first().endsWith("-port"))
                        ports.insert(words.first(), quint16(words.last().trimmed().toUInt()));
                }
                return ports.size() == 3 || server.state() == QProcess::NotRunning;
            },
            patienceMs));
        QCOMPARE(ports.size(), 3);

        // The terminal writes its log into its own folder, so it runs from a copy in ours.
        const QString terminalPath = folder.path() + QStringLiteral("/kestral-terminal");
        QVERIFY(QFile::copy(QStringLiteral(KESTRAL_TERMINAL_EXE), terminalPath));
        const QString dataHome = folder.path() + QStringLiteral("/data");
        QVERIFY(writeAccounts(dataHome, ports.value("trade-port")));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dataHome);
        environment.insert("XDG_CONFIG_HOME", folder.path() + QStringLiteral("/config"));
        environment.insert("HOME", folder.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("KESTRAL_BROKER_HOST", "127.0.0.1");
        environment.insert("KESTRAL_BROKER_PORT", QString::number(ports.value("broker-port")));
        environment.insert("KESTRAL_ACCOUNT_PORT", QString::number(ports.value("account-port")));
        QProcess terminal;
        terminal.setProcessEnvironment(environment);
        terminal.setProcessChannelMode(QProcess::ForwardedChannels);
        terminal.start(terminalPath, QStringList());
        QVERIFY(terminal.waitForStarted(patienceMs));

        QFile log(folder.path() + QStringLiteral("/Logs/") + QDate::currentDate().toString("yyyy-MM-dd") +
                  QStringLiteral(".log"));
        const bool loggedIn = QTest::qWaitFor(
            [&] {
                if (terminal.state() == QProcess::NotRunning || !log.open(QIODevice::ReadOnly))
                    return terminal.state() == QProcess::NotRunning;
                const bool found = log.readAll().contains("100001 login to KestralDemo successfully");
                log.close();
                return found;
            },
            patienceMs);
        const bool terminalUp = terminal.state() == QProcess::Running;
        QTest::qWait(3000); // the first ticks, charts and trade tables arrive meanwhile
        const bool bothUp = terminal.state() == QProcess::Running && server.state() == QProcess::Running;
        stop(terminal);
        stop(server);

        QVERIFY2(terminalUp, "the terminal ended before it logged in");
        QVERIFY2(loggedIn, "no successful login in the terminal's log");
        QVERIFY2(bothUp, "the terminal or the server ended after the login");
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
    }
};

KESTRAL_TEST_MAIN(TestTerminalAgainstServer)
#include "tst_terminalagainstserver.moc"
