// The terminal program against the local trade server, both as real processes, the
// terminal on an X server of its own: it logs in by itself, shows ticking quotes, buys
// through its order window and quits from its menu. Each step is checked from what the
// server recorded, the terminal's log and screenshots.
#include "testmain.h"

#include <QDate>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int patienceMs = 20000;

// Stops the process it holds however the test ends.
struct Child
{
    QProcess process;
    ~Child()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
};

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

// The server prints the ports it chose, one "<name>-port <number>" line each.
QMap<QString, quint16> startServer(Child &server, const QString &record)
{
    server.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.process.start(
        QStringLiteral(KESTRAL_SERVER_EXE),
        {"--broker-port", "0", "--trade-port", "0", "--account-port", "0", "--duration", "120", "--record", record});
    QMap<QString, quint16> chosen;
    (void)QTest::qWaitFor(
        [&] {
            while (server.process.canReadLine()) {
                const QStringList words = QString::fromUtf8(server.process.readLine()).split(' ');
                if (words.size() == 2 && words.first().endsWith("-port"))
                    chosen.insert(words.first(), quint16(words.last().trimmed().toUInt()));
            }
            return chosen.size() == 3 || server.process.state() == QProcess::NotRunning;
        },
        patienceMs);
    return chosen;
}

// The requests of this code (and type, unless -1) the server recorded, one JSON object a line.
int countRequests(const QString &record, int code, int type = -1)
{
    QFile file(record);
    int count = 0;
    if (!file.open(QIODevice::ReadOnly))
        return count;
    while (!file.atEnd()) {
        const QJsonObject request = QJsonDocument::fromJson(file.readLine()).object();
        count += request.value("req_code").toInt() == code && (type < 0 || request.value("type").toInt() == type);
    }
    return count;
}

QString xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000))
        tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The newest visible window whose title matches, or an empty id once patience runs out.
QString waitForWindow(const QString &title)
{
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            return !(id = xdotool({"search", "--onlyvisible", "--name", title}).section('\n', -1)).isEmpty();
        },
        patienceMs);
    return id;
}

QImage shot(const QString &window, const QString &path)
{
    QProcess::execute(QStringLiteral("import"), {"-window", window, path});
    return QImage(path);
}

int changedIn(const QImage &before, const QImage &after, const QRect &area)
{
    int changed = 0;
    const QRect inside = area & before.rect() & after.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    return changed;
}

int logCount(const QString &path, const QByteArray &text)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(text)) : 0;
}

} // namespace

class TestTerminalAgainstServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The programs under test run with the sanitizer's fast unwinding: the slow one this
        // test's own leak reports ask for makes them too slow to answer a keep-alive in time.
        QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        sanitizer.replace("fast_unwind_on_malloc=0", "fast_unwind_on_malloc=1");
        qputenv("ASAN_OPTIONS", sanitizer);
    }

    void terminalTradesAndQuits()
    {
        for (const char *tool : {"Xvfb", "xdotool", "import"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("needs Xvfb, xdotool and ImageMagick's import");
        Child xvfb;
        xvfb.process.start(QStringLiteral("Xvfb"),
                           {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        QVERIFY2(QTest::qWaitFor([&] { return xvfb.process.canReadLine(); }, patienceMs), "Xvfb did not start");
        // The terminal and the X tools find the display here; this test itself stays offscreen.
        qputenv("DISPLAY", ":" + xvfb.process.readLine().trimmed());

        QTemporaryDir folder;
        const QString record = folder.filePath("record.jsonl");
        Child server;
        const QMap<QString, quint16> ports = startServer(server, record);
        QCOMPARE(ports.size(), 3);

        // The terminal writes its log into its own folder, so it runs from a copy in ours.
        const QString terminalPath = folder.filePath("kestral-terminal");
        QVERIFY(QFile::copy(QStringLiteral(KESTRAL_TERMINAL_EXE), terminalPath));
        QVERIFY(writeAccounts(folder.filePath("data"), ports.value("trade-port")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", folder.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", folder.filePath("config"));
        environment.insert("HOME", folder.path());
        environment.insert("KESTRAL_BROKER_HOST", "127.0.0.1");
        environment.insert("KESTRAL_BROKER_PORT", QString::number(ports.value("broker-port")));
        environment.insert("KESTRAL_ACCOUNT_PORT", QString::number(ports.value("account-port")));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // The terminal draws no OpenGL; without this the X platform loads the machine's GL
        // driver, which leaks at unload on some machines and not others.
        environment.insert("QT_XCB_GL_INTEGRATION", "none");
        Child terminal;
        terminal.process.setProcessEnvironment(environment);
        terminal.process.setProcessChannelMode(QProcess::ForwardedChannels);
        terminal.process.start(terminalPath, QStringList());

        const QString log = folder.filePath("Logs/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        QVERIFY2(
            QTest::qWaitFor([&] { return logCount(log, "100001 login to KestralDemo successfully") == 1; }, patienceMs),
            "no successful login in the terminal's log");
        QCOMPARE(countRequests(record, 1), 1);

        // The market watch, at the window's top left, fills and ticks.
        // Titled by the account once the window has handled the login, which the log may show first.
        const QString main = waitForWindow("^KESTRAL$|\\(100001, KestralDemo\\)$");
        QVERIFY2(!main.isEmpty(), "no main window on the X display");
        const QRect watch(0, 80, 300, 300);
        const QImage before = shot(main, folder.filePath("before.png"));
        QVERIFY2(
            QTest::qWaitFor([&] { return changedIn(before, shot(main, folder.filePath("after.png")), watch) > 200; },
                            patienceMs),
            "no quotes ticking in the market watch");

        // F9, then Buy by Market, the right one of the order window's two bottom buttons.
        xdotool({"windowfocus", "--sync", main, "key", "F9"});
        const QString order = waitForWindow("^Order$");
        QVERIFY2(!order.isEmpty(), "F9 opened no order window");
        QTest::qWait(500);
        const QString shape = xdotool({"getwindowgeometry", "--shell", order});
        const auto size = [&](const char *name) {
            return QRegularExpression(QStringLiteral("%1=(\\d+)").arg(name)).match(shape).captured(1).toInt();
        };
        xdotool({"mousemove", "--window", order, QString::number(size("WIDTH") * 3 / 4),
                 QString::number(size("HEIGHT") - 46), "click", "1"});
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(record, 4, 0) == 1; }, patienceMs),
                 "no market buy reached the server");
        QVERIFY2(QTest::qWaitFor([&] { return logCount(log, "Trade Response\tRequest completed (10009)") == 1; },
                                 patienceMs),
                 "the terminal's log shows no completed trade");

        // File, then its last entry, Exit: the terminal ends by itself, and so does the server.
        xdotool({"mousemove", "--window", main, "20", "10", "click", "1", "sleep", "0.5", "key", "Up", "Return"});
        QVERIFY2(terminal.process.waitForFinished(patienceMs), "the terminal did not quit from its menu");
        QCOMPARE(terminal.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(terminal.process.exitCode(), 0);
        server.process.terminate();
        QVERIFY(server.process.waitForFinished(patienceMs));
        QCOMPARE(server.process.exitCode(), 0);
    }
};

KESTRAL_TEST_MAIN(TestTerminalAgainstServer)
#include "tst_terminalagainstserver.moc"
