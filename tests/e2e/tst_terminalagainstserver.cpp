// The terminal program against the local trade server, both as real processes: the
// terminal logs in by itself, fills its market watch and charts, trades through its
// windows (when an X server can be had for it) and logs in again after the server
// restarts on the same ports. Each step is checked from what the server recorded,
// the terminal's log and, under X, screenshots.
#include "testmain.h"

#include <QDate>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <memory>

namespace {

constexpr int patienceMs = 20000;
constexpr int screenWidth = 1280;
constexpr int screenHeight = 800;

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

// Stops the process it holds however the test ends.
struct Child
{
    QProcess process;
    ~Child() { stop(); }
    void stop()
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

QMap<QString, quint16> startServer(Child &server, const QStringList &ports, const QString &record)
{
    server.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.process.start(QStringLiteral(KESTRAL_SERVER_EXE),
                         ports + QStringList{"--duration", "120", "--record", record});
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

QList<QJsonObject> recorded(const QString &path)
{
    QList<QJsonObject> requests;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return requests;
    while (!file.atEnd())
        requests.append(QJsonDocument::fromJson(file.readLine()).object());
    return requests;
}

int countRequests(const QString &path, int code, int type = -1)
{
    int count = 0;
    for (const QJsonObject &request : recorded(path))
        count += request.value("req_code").toInt() == code && (type < 0 || request.value("type").toInt() == type);
    return count;
}

// An X server of its own, with xdotool and ImageMagick to drive and see it.
class Display
{
public:
    bool start()
    {
        for (const char *tool : {"Xvfb", "xdotool", "import"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return false;
        m_xvfb.process.start(QStringLiteral("Xvfb"),
                             {"-displayfd", "1", "-screen", "0",
                              QStringLiteral("%1x%2x24").arg(screenWidth).arg(screenHeight), "-nolisten", "tcp"});
        if (!QTest::qWaitFor(
                [&] { return m_xvfb.process.canReadLine() || m_xvfb.process.state() == QProcess::NotRunning; },
                patienceMs))
            return false;
        const QByteArray number = m_xvfb.process.readLine().trimmed();
        m_name = number.isEmpty() ? QString() : QStringLiteral(":") + QString::fromLatin1(number);
        return !m_name.isEmpty();
    }
    QString name() const { return m_name; }

    QString run(const QString &program, const QStringList &arguments) const
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", m_name);
        tool.setProcessEnvironment(environment);
        tool.start(program, arguments);
        if (!tool.waitForFinished(10000))
            tool.kill();
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }
    QString xdo(const QStringList &arguments) const { return run(QStringLiteral("xdotool"), arguments); }

    // The newest visible window whose title matches, or an empty id.
    QString window(const QString &title) const
    {
        const QStringList ids = xdo({"search", "--onlyvisible", "--name", title}).split('\n', Qt::SkipEmptyParts);
        return ids.isEmpty() ? QString() : ids.last();
    }
    QString waitForWindow(const QString &title) const
    {
        QString id;
        (void)QTest::qWaitFor([&] { return !(id = window(title)).isEmpty(); }, patienceMs);
        return id;
    }
    QRect geometry(const QString &id) const
    {
        QRect rect;
        for (const QString &line : xdo({"getwindowgeometry", "--shell", id}).split('\n')) {
            const QStringList pair = line.split('=');
            if (pair.size() != 2)
                continue;
            const int value = pair.last().toInt();
            if (pair.first() == "X")
                rect.moveLeft(value);
            else if (pair.first() == "Y")
                rect.moveTop(value);
            else if (pair.first() == "WIDTH")
                rect.setWidth(value);
            else if (pair.first() == "HEIGHT")
                rect.setHeight(value);
        }
        return rect;
    }
    void click(QPoint at, int button = 1, int repeat = 1) const
    {
        xdo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
        xdo({"click", "--repeat", QString::number(repeat), "--delay", "80", QString::number(button)});
    }
    QImage shot(const QString &path) const
    {
        run(QStringLiteral("import"), {"-window", "root", path});
        return QImage(path);
    }

private:
    Child m_xvfb;
    QString m_name;
};

// Pixels in the area that differ from the area's most common colour.
int inkIn(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y)];
    int most = 0;
    for (int count : std::as_const(counts))
        most = std::max(most, count);
    return inside.width() * inside.height() - most;
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

    void terminalTradesAndReconnects()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString firstRecord = folder.filePath("first.jsonl");
        const QString secondRecord = folder.filePath("second.jsonl");

        auto server = std::make_unique<Child>();
        const QMap<QString, quint16> ports =
            startServer(*server, {"--broker-port", "0", "--trade-port", "0", "--account-port", "0"}, firstRecord);
        QCOMPARE(ports.size(), 3);

        // The terminal writes its log into its own folder, so it runs from a copy in ours.
        const QString terminalPath = folder.filePath("kestral-terminal");
        QVERIFY(QFile::copy(QStringLiteral(KESTRAL_TERMINAL_EXE), terminalPath));
        const QString dataHome = folder.filePath("data");
        QVERIFY(writeAccounts(dataHome, ports.value("trade-port")));

        Display display;
        const bool underX = display.start();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dataHome);
        environment.insert("XDG_CONFIG_HOME", folder.filePath("config"));
        environment.insert("HOME", folder.path());
        environment.insert("KESTRAL_BROKER_HOST", "127.0.0.1");
        environment.insert("KESTRAL_BROKER_PORT", QString::number(ports.value("broker-port")));
        environment.insert("KESTRAL_ACCOUNT_PORT", QString::number(ports.value("account-port")));
        if (underX) {
            environment.insert("QT_QPA_PLATFORM", "xcb");
            environment.insert("DISPLAY", display.name());
        } else {
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        }
        Child terminal;
        terminal.process.setProcessEnvironment(environment);
        terminal.process.setProcessChannelMode(QProcess::ForwardedChannels);
        terminal.process.start(terminalPath, QStringList());
        QVERIFY(terminal.process.waitForStarted(patienceMs));

        const QString log =
            folder.filePath("Logs/" + QDate::currentDate().toString("yyyy-MM-dd") + QStringLiteral(".log"));
        const QByteArray loginLine = "100001 login to KestralDemo successfully";
        QVERIFY2(QTest::qWaitFor([&] { return logCount(log, loginLine) >= 1; }, patienceMs),
                 "no successful login in the terminal's log");
        QCOMPARE(countRequests(firstRecord, 1), 1);
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(firstRecord, 3) >= 1; }, patienceMs),
                 "the terminal's charts asked the server for no history");

        if (underX)
            driveTrading(display, firstRecord);
        else
            qWarning("no Xvfb, xdotool or ImageMagick: trading through the windows is left out");

        // The server goes and comes back on the same ports: the terminal logs in again.
        server.reset();
        server = std::make_unique<Child>();
        QCOMPARE(startServer(*server,
                             {"--broker-port", QString::number(ports.value("broker-port")), "--trade-port",
                              QString::number(ports.value("trade-port")), "--account-port",
                              QString::number(ports.value("account-port"))},
                             secondRecord),
                 ports);
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(secondRecord, 1) >= 1; }, patienceMs),
                 "the terminal did not log in to the restarted server");
        QVERIFY(QTest::qWaitFor([&] { return logCount(log, loginLine) >= 2; }, patienceMs));
        QCOMPARE(terminal.process.state(), QProcess::Running);

        server->stop();
        QCOMPARE(server->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server->process.exitCode(), 0);
    }

private:
    void driveTrading(const Display &display, const QString &record)
    {
        const QString main = display.waitForWindow("KESTRAL");
        QVERIFY2(!main.isEmpty(), "no main window on the X display");
        // No window manager: the window is placed and sized by hand, again until the
        // program's own restoring of its geometry is over.
        const QRect screen(0, 0, screenWidth, screenHeight);
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         display.xdo({"windowmove", "--sync", main, "0", "0"});
                         display.xdo({"windowsize", "--sync", main, QString::number(screenWidth),
                                      QString::number(screenHeight)});
                         QTest::qWait(500);
                         return display.geometry(main) == screen;
                     },
                     patienceMs),
                 "the main window does not fill the screen");
        display.xdo({"windowfocus", "--sync", main});
        QTest::qWait(1500);

        // The market watch fills and ticks.
        const QRect watch(0, 80, 300, 300);
        const QImage before = display.shot(QDir::temp().filePath("e2e-before.png"));
        QVERIFY(!before.isNull());
        QVERIFY2(inkIn(before, watch) > 2000, "an empty market watch");
        QVERIFY2(QTest::qWaitFor(
                     [&] { return changedIn(before, display.shot(QDir::temp().filePath("e2e-after.png")), watch) > 0; },
                     patienceMs),
                 "the market watch does not tick");

        // F9, then Buy by Market in the order window.
        display.xdo({"key", "F9"});
        const QString order = display.waitForWindow("^Order$");
        QVERIFY2(!order.isEmpty(), "F9 opened no order window");
        QTest::qWait(500);
        display.click(bottomButton(display.geometry(order), 3, 46));
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(record, 4, 0) >= 1; }, patienceMs),
                 "no market buy reached the server");
        display.xdo({"key", "--window", order, "Escape"});

        // The position shows in the trade table.
        const QRect firstRow(10, 602, screenWidth - 30, 14);
        QImage trading;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         trading = display.shot(QStringLiteral("/tmp/e2e-screenshot.png"));
                         return inkIn(trading, firstRow) > 300;
                     },
                     patienceMs),
                 "no position row in the trade table");
        QVERIFY(inkIn(trading, watch) > 2000);

        // A double-click on it offers to close it; Close does, and the history is asked for.
        const int historyAsked = countRequests(record, 5);
        // Again until it takes: a table reloaded between the two clicks loses them.
        QString closing;
        (void)QTest::qWaitFor(
            [&] {
                display.click(firstRow.center(), 1, 2);
                QTest::qWait(1000);
                return !(closing = display.window("^Close Position")).isEmpty();
            },
            patienceMs);
        QVERIFY2(!closing.isEmpty(), "no close-position window");
        QTest::qWait(500);
        display.shot(QDir::temp().filePath("e2e-close.png"));
        display.click(bottomButton(display.geometry(closing), 2, 61));
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(record, 4, 4) >= 1; }, patienceMs),
                 "no close request reached the server");
        QVERIFY2(QTest::qWaitFor([&] { return countRequests(record, 5) > historyAsked; }, patienceMs),
                 "the terminal did not renew its history after the close");
        display.xdo({"key", "--window", closing, "Escape"});
        QVERIFY2(
            QTest::qWaitFor([&] { return inkIn(display.shot(QDir::temp().filePath("e2e-closed.png")), firstRow) < 50; },
                            patienceMs),
            "the closed position stays in the trade table");
    }

    // A button of the dialog's bottom row, at `quarter` quarters of its width and
    // `fromBottom` pixels above its lower edge.
    static QPoint bottomButton(const QRect &window, int quarter, int fromBottom)
    {
        return window.topLeft() + QPoint(window.width() * quarter / 4, window.height() - fromBottom);
    }
};
KESTRAL_TEST_MAIN(TestTerminalAgainstServer)
#include "tst_terminalagainstserver.moc"
