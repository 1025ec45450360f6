#include "appglobals.h"
#include "chartmanager.h"
#include "testmain.h"

#include <QDataStream>
#include <QDirIterator>
#include <QJsonArray>
#include <QSignalSpy>
#include <memory>
#include <tuple>
#include <utility>

using Bars = QVector<CandleStick>;
using Events = QList<QPair<QString, int>>;

namespace {

CandleStick bar(qint64 time, double base = 1.0)
{
    return {time, base, base + 0.5, base - 0.5, base + 0.25};
}

// What another build writes: the data stream with its defaults.
QByteArray streamed(const Bars &bars)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    for (const CandleStick &b : bars)
        out << b.timestamp << b.open << b.high << b.low << b.close;
    return bytes;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every record in file order, duplicates included.
Bars rawRecords(const QString &path)
{
    const QByteArray bytes = readBytes(path);
    QDataStream in(bytes);
    Bars bars(bytes.size() / 40);
    for (CandleStick &b : bars)
        in >> b.timestamp >> b.open >> b.high >> b.low >> b.close;
    return bars;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QJsonObject barJson(const CandleStick &b)
{
    return {{"datetime", b.timestamp}, {"open", b.open}, {"high", b.high}, {"low", b.low}, {"close", b.close}};
}

QJsonObject reply(const Bars &bars, const QString &symbol = "EURUSD", const QJsonValue &interval = 60)
{
    QJsonArray array;
    for (const CandleStick &b : bars)
        array.append(barJson(b));
    return {{"res_code", 3}, {"symbol", symbol}, {"array", array}, {"interval", interval}};
}

qint64 freshLogin()
{
    static qint64 login = 5000;
    return ++login;
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Loader announcements come from the worker thread; collect them where the test runs.
struct ReadySink : QObject
{
    explicit ReadySink(ChartManager *manager)
    {
        connect(
            manager, &ChartManager::readyChartHistory, this,
            [this](const QString &symbol, int period) {
                events.append({symbol, period});
            },
            Qt::QueuedConnection);
    }
    Events events;
};

void settle()
{
    QVERIFY(ChartManager::waitForFileWork(30000));
    QCoreApplication::processEvents();
}

QAtomicInt memoryOnlyWarnings;
void countWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains("memory only"))
        ++memoryOnlyWarnings;
}

QByteArray settingsBytes(const QStringList &colors, const QList<ChartObjectRecord> &objects,
                         const QList<double> &levels)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(colors.size());
    for (const QString &c : colors)
        out << c;
    out << qint32(objects.size());
    for (const ChartObjectRecord &o : objects)
        out << o.x1 << o.y1 << o.x2 << o.y2 << o.name;
    out << qint32(levels.size());
    for (const double l : levels)
        out << l;
    return bytes;
}

} // namespace

class TestChartManager : public QObject
{
    Q_OBJECT

private slots:
    void chartHistoryRequest()
    {
        const auto request = ChartManager::chartHistoryRequest("EURUSD", 60, 1700000000, -1);
        QCOMPARE(
            *request,
            (QJsonObject{{"from", 1700000000}, {"to", -1}, {"symbol", "EURUSD"}, {"interval", 60}, {"req_code", 3}}));
        // An empty symbol, a period below 1 or a negative start send nothing; a null client is harmless.
        for (const auto &[symbol, period, from] : {std::tuple{"", 60, 0}, {"EURUSD", 0, 0}, {"EURUSD", 60, -1}}) {
            QVERIFY(!ChartManager::chartHistoryRequest(symbol, period, from, -1));
            ChartManager(nullptr).requestChartHistory(symbol, period, from, -1);
        }
    }

    void mergesReply_data()
    {
        QTest::addColumn<Bars>("held");
        QTest::addColumn<QJsonObject>("incoming");
        QTest::addColumn<Bars>("expected");
        QTest::addColumn<Bars>("written"); // empty: the file keeps its bytes

        const Bars three{bar(100), bar(200), bar(300)};
        QTest::newRow("a first reply is held and all but its newest bar written")
            << Bars() << reply(three) << three << Bars{bar(100), bar(200)};
        QTest::newRow("a held time is replaced, other held bars stay and all are rewritten")
            << three << reply({bar(200, 7), bar(400)}) << Bars{bar(100), bar(200, 7), bar(300), bar(400)}
            << Bars{bar(100), bar(200, 7), bar(300)};
        QTest::newRow("the later of two equal times in a reply wins, out of order bars are sorted")
            << Bars() << reply({bar(200), bar(100, 1), bar(100, 2)}) << Bars{bar(100, 2), bar(200)}
            << Bars{bar(100, 2)};
        QTest::newRow("a single bar held leaves the file as it was")
            << Bars() << reply({bar(100)}) << Bars{bar(100)} << Bars();
        QTest::newRow("an empty array changes nothing") << three << reply({}) << three << Bars();
        QTest::newRow("interval zero changes nothing") << three << reply({bar(400)}, "EURUSD", 0) << three << Bars();
        QTest::newRow("an empty symbol changes nothing") << Bars() << reply({bar(400)}, "") << Bars() << Bars();
        QJsonObject junk = reply({});
        junk["array"] = QJsonArray{1, "x", QJsonObject{{"open", 1.0}}, QJsonObject{{"datetime", "soon"}}};
        QTest::newRow("elements without a time are not bars") << three << junk << three << Bars();
    }
    void mergesReply()
    {
        QFETCH(Bars, held);
        QFETCH(QJsonObject, incoming);
        QFETCH(Bars, expected);
        QFETCH(Bars, written);

        ChartManager manager(nullptr);
        manager.setAccount(freshLogin(), "Demo-Server");
        if (!held.isEmpty())
            manager.updateChartHistoryFromServer(reply(held));
        settle();
        const QString path = manager.historyFolder() + "/EURUSD_60";
        if (!QFile::exists(path))
            writeBytes(path, "sentinel");
        const QByteArray before = readBytes(path);

        QSignalSpy spy(&manager, &ChartManager::readyChartHistory);
        manager.updateChartHistoryFromServer(incoming);
        settle();
        QCOMPARE(manager.getChartHistory("EURUSD", 60).toVector(), expected);
        QCOMPARE(spy.count(), expected != held ? 1 : 0);
        if (spy.count())
            QCOMPARE(spy.at(0), (QVariantList{"EURUSD", 60}));
        QCOMPARE(readBytes(path), written.isEmpty() ? before : streamed(written));
    }

    void appendsLiveBars_data()
    {
        QTest::addColumn<bool>("account");
        QTest::addColumn<bool>("seeded"); // by a reply of 100, 200, 300
        QTest::addColumn<Bars>("appended");
        QTest::addColumn<Bars>("expected");
        QTest::addColumn<Bars>("fileRecords");

        QTest::newRow("a completed bar after the newest is held and appended")
            << true << true << Bars{bar(300, 2), bar(400)} << Bars{bar(100), bar(200), bar(300, 2), bar(400)}
            << Bars{bar(100), bar(200), bar(300, 2), bar(400)};
        QTest::newRow("a bar of the newest time replaces it and is still appended")
            << true << true << Bars{bar(400), bar(400, 3)} << Bars{bar(100), bar(200), bar(300), bar(400, 3)}
            << Bars{bar(100), bar(200), bar(400), bar(400, 3)};
        QTest::newRow("the first bar of an empty history is taken and appended")
            << true << false << Bars{bar(500)} << Bars{bar(500)} << Bars{bar(500)};
        QTest::newRow("a bar older than the newest changes nothing")
            << true << true << Bars{bar(250)} << Bars{bar(100), bar(200), bar(300)} << Bars{bar(100), bar(200)};
        QTest::newRow("without an account the bar is held in memory only")
            << false << true << Bars{bar(400)} << Bars{bar(100), bar(200), bar(300), bar(400)} << Bars();
    }
    void appendsLiveBars()
    {
        QFETCH(bool, account);
        QFETCH(bool, seeded);
        QFETCH(Bars, appended);
        QFETCH(Bars, expected);
        QFETCH(Bars, fileRecords);

        ChartManager manager(nullptr);
        const qint64 login = freshLogin();
        manager.setAccount(account ? login : 0, "Demo-Server");
        if (seeded)
            manager.updateChartHistoryFromServer(reply({bar(100), bar(200), bar(300)}));
        QSignalSpy spy(&manager, &ChartManager::readyChartHistory);
        for (const CandleStick &b : std::as_const(appended))
            manager.appendCandleStick("EURUSD", 60, b.timestamp, b.open, b.high, b.low, b.close);
        settle();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(manager.getChartHistory("EURUSD", 60).toVector(), expected);
        QCOMPARE(rawRecords(accountPath("Demo-Server", login) + "/ChartHistory/EURUSD_60"), fileRecords);

        // What a restart reads back: the later of two records of one time.
        ChartManager reread(nullptr);
        reread.setAccount(login, "Demo-Server");
        settle();
        expected.removeOne(bar(300)); // the reply's newest bar is never written
        QCOMPARE(reread.getChartHistory("EURUSD", 60).toVector(), account ? expected : Bars());
    }

    void readsCacheFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Bars>("expected");
        QTest::newRow("records come back in time order, the later of two of one time winning")
            << streamed({bar(300), bar(200, 1), bar(100), bar(200, 9)}) << Bars{bar(100), bar(200, 9), bar(300)};
        QTest::newRow("a record cut short by a crash is dropped")
            << streamed({bar(100), bar(200)}) + streamed({bar(300)}).left(17) << Bars{bar(100), bar(200)};
        QTest::newRow("less than one record gives nothing") << QByteArray(39, '\x7f') << Bars();
    }
    void readsCacheFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Bars, expected);
        writeBytes("read_60", bytes);
        QCOMPARE(ChartManager::loadHistoryFile(QDir::currentPath() + "/read_60"), expected);
    }

    void writesWhatOtherBuildsRead()
    {
        const QString path = QDir::currentPath() + "/write_60";
        const Bars bars{bar(-5, -1.25), bar(1700000000, 1.0842)};
        QVERIFY(ChartManager::writeHistoryFile(path, bars));
        QCOMPARE(readBytes(path), streamed(bars));
        QVERIFY(ChartManager::writeHistoryFile(path, {}));
        QCOMPARE(readBytes(path), streamed(bars));

        // An append after a torn record must not shift every later record.
        writeBytes(path, streamed(bars) + "\x01\x02\x03");
        QVERIFY(ChartManager::appendHistoryRecord(path, bar(1700000060)));
        QCOMPARE(readBytes(path), streamed({bars.at(0), bars.at(1), bar(1700000060)}));
    }

    void loaderReadsOnlyWellNamedFiles()
    {
        const qint64 login = freshLogin();
        const QString folder = accountPath("Loader", login) + "/ChartHistory/";
        for (const char *name : {"EURUSD_60", "EUR_USD_60", "EURUSD60", "USDJPY_60"})
            writeBytes(folder + name, name == QLatin1String("USDJPY_60") ? QByteArray() : streamed({bar(100)}));
        QVERIFY(QDir().mkpath(folder + "GBPUSD_60"));

        ChartManager manager(nullptr);
        ReadySink sink(&manager);
        manager.setAccount(login, "Loader");
        settle();
        // A symbol holding an underscore is not read back; folders and empty files are skipped.
        QCOMPARE(sink.events, (Events{{"EURUSD", 60}}));
        QCOMPARE(manager.getChartHistory("EURUSD", 60).toVector(), Bars{bar(100)});
    }

    void unsafeNamesStayInMemory_data()
    {
        QTest::addColumn<QStringList>("serverAndSymbol");
        QTest::newRow("a symbol climbing out of the folder") << QStringList{"Demo", "../../../evil"};
        QTest::newRow("a symbol holding a slash") << QStringList{"Demo", "EUR/USD"};
        QTest::newRow("a symbol holding a backslash") << QStringList{"Demo", "EUR\\USD"};
        QTest::newRow("a symbol holding a NUL") << QStringList{"Demo", QString::fromUtf16(u"EUR\0USD", 7)};
        QTest::newRow("a symbol that is two dots") << QStringList{"Demo", ".."};
        QTest::newRow("a server climbing out of the config folder") << QStringList{"../../x", "EURUSD"};
        QTest::newRow("a server named after a device") << QStringList{"con", "EURUSD"};
    }
    void unsafeNamesStayInMemory()
    {
        QFETCH(QStringList, serverAndSymbol);
        const QString server = serverAndSymbol[0], symbol = serverAndSymbol[1];
        const QStringList before = filesBelow(QDir::homePath());
        memoryOnlyWarnings = 0;
        const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
        {
            ChartManager manager(nullptr);
            manager.setAccount(freshLogin(), server);
            for (int i = 0; i < 2; ++i) {
                manager.updateChartHistoryFromServer(reply({bar(100), bar(200)}, symbol));
                manager.appendCandleStick(symbol, 60, 300, 1, 1, 1, 1);
                manager.setLevels(symbol, 60, {1.5 + i}, true);
                QVERIFY(!manager.saveChartSettings(symbol, 60));
                QVERIFY(!manager.loadChartSettings(symbol, 60));
            }
            settle();
            QCOMPARE(manager.getChartHistory(symbol, 60).size(), 3);
            QCOMPARE(manager.getLevels(symbol, 60), QList<double>{2.5});
        }
        qInstallMessageHandler(previous);
        QCOMPARE(filesBelow(QDir::homePath()), before);
        QCOMPARE(int(memoryOnlyWarnings), 1);
    }

    void literalPercentSignsInNames()
    {
        ChartManager manager(nullptr);
        const qint64 login = freshLogin();
        manager.setAccount(login, "Srv%1");
        manager.updateChartHistoryFromServer(reply({bar(100), bar(200)}, "X%1_%2"));
        settle();
        QCOMPARE(rawRecords(configPath() + "/Srv%1/" + QString::number(login) + "/ChartHistory/X%1_%2_60"),
                 Bars{bar(100)});
    }

    void accountChangeDropsTheOldLoader_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("the account changes while the loader reads") << false;
        QTest::newRow("the manager goes while the loader reads") << true;
    }
    void accountChangeDropsTheOldLoader()
    {
        QFETCH(bool, destroy);
        const qint64 oldLogin = freshLogin();
        const qint64 newLogin = freshLogin();
        Bars many;
        for (int i = 0; i < 50000; ++i)
            many.append(bar(i * 60));
        QVERIFY(QDir().mkpath(accountPath("Old", oldLogin) + "/ChartHistory"));
        for (int f = 0; f < 8; ++f)
            QVERIFY(ChartManager::writeHistoryFile(
                accountPath("Old", oldLogin) + QString("/ChartHistory/OLD%1_60").arg(f), many));
        writeBytes(accountPath("New", newLogin) + "/ChartHistory/NEW_60", streamed({bar(100)}));

        auto manager = std::make_unique<ChartManager>(nullptr);
        manager->setAccount(oldLogin, "Old");
        if (destroy) {
            manager.reset();
            settle();
            return; // the sanitizers report any touch of the destroyed manager
        }
        manager->setAccount(newLogin, "New");
        ReadySink sink(manager.get());
        settle();
        QCOMPARE(sink.events, (Events{{"NEW", 60}}));
        for (int f = 0; f < 8; ++f)
            QVERIFY(manager->getChartHistory(QString("OLD%1").arg(f), 60).isEmpty());
        QCOMPARE(manager->getChartHistory("NEW", 60).toVector(), Bars{bar(100)});

        manager->setAccount(newLogin, "New"); // the same account again: nothing cleared, nothing reloaded
        settle();
        QCOMPARE(sink.events.size(), 1);
        QCOMPARE(manager->getChartHistory("NEW", 60).size(), 1);
    }

    void settingsRoundTrip_data()
    {
        QTest::addColumn<QList<QColor>>("colors");
        QTest::addColumn<QList<ChartObjectRecord>>("objects");
        QTest::addColumn<QList<double>>("levels");
        QTest::newRow("colours, named objects and levels")
            << QList<QColor>{Qt::black, QColor(255, 0, 0, 128)}
            << QList<ChartObjectRecord>{{3, 1.0842, 40, 1.0901, "Trend Line 1"},
                                        {-2, 0.5, 7, -0.25, "Fibo 38.2% \u2197"}}
            << QList<double>{1.1, 1.2};
        QTest::newRow("empty, null and odd names")
            << QList<QColor>()
            << QList<ChartObjectRecord>{{1, 1, 1, 1, ""}, {2, 2, 2, 2, QString()}, {3, 3, 3, 3, "q\"\n\t"}}
            << QList<double>();
    }
    void settingsRoundTrip()
    {
        QFETCH(QList<QColor>, colors);
        QFETCH(QList<ChartObjectRecord>, objects);
        QFETCH(QList<double>, levels);

        const qint64 login = freshLogin();
        ChartManager writer(nullptr);
        writer.setAccount(login, "Demo");
        writer.setColors("EURUSD", 15, colors, false);
        writer.setObjects("EURUSD", 15, objects, false);
        writer.setLevels("EURUSD", 15, levels, false);
        QVERIFY(writer.saveChartSettings("EURUSD", 15));
        QStringList names;
        for (const QColor &c : std::as_const(colors))
            names << c.name(QColor::HexArgb);
        QCOMPARE(readBytes(writer.settingsFolder() + "/EURUSD_15.csf"), settingsBytes(names, objects, levels));

        ChartManager reader(nullptr);
        reader.setAccount(login, "Demo");
        QVERIFY(reader.loadChartSettings("EURUSD", 15));
        QCOMPARE(reader.getColors("EURUSD", 15), colors);
        QCOMPARE(reader.getLevels("EURUSD", 15), levels);
        const QList<ChartObjectRecord> read = reader.getObjects("EURUSD", 15);
        QCOMPARE(read, objects);
        for (int i = 0; i < read.size(); ++i) {
            QCOMPARE(read.at(i).name, objects.at(i).name);
            QCOMPARE(read.at(i).name.isNull(), objects.at(i).name.isNull());
        }
    }

    void equalListsAreNeitherStoredNorSaved_data()
    {
        QTest::addColumn<int>("kind"); // 0 colours, 1 objects, 2 levels
        QTest::addColumn<bool>("changed");
        QTest::newRow("the same colours are not saved") << 0 << false;
        QTest::newRow("objects differing only in name are equal") << 1 << false;
        QTest::newRow("the same levels are not saved") << 2 << false;
        QTest::newRow("another colour is stored and saved") << 0 << true;
        QTest::newRow("a moved object is stored and saved") << 1 << true;
        QTest::newRow("another level is stored and saved") << 2 << true;
    }
    void equalListsAreNeitherStoredNorSaved()
    {
        QFETCH(int, kind);
        QFETCH(bool, changed);
        ChartManager manager(nullptr);
        manager.setAccount(freshLogin(), "Demo");
        manager.setColors("EURUSD", 60, {Qt::red}, false);
        manager.setObjects("EURUSD", 60, {{1, 1.5, 2, 2.5, "Trend Line 1"}}, false);
        manager.setLevels("EURUSD", 60, {1.5}, false);

        const double offset = changed ? 1.0 : 0.0;
        if (kind == 0)
            manager.setColors("EURUSD", 60, {changed ? Qt::blue : Qt::red}, true);
        if (kind == 1)
            manager.setObjects("EURUSD", 60, {{1, 1.5 + offset, 2, 2.5, "Renamed"}}, true);
        if (kind == 2)
            manager.setLevels("EURUSD", 60, {1.5 + offset}, true);
        QCOMPARE(QFile::exists(manager.settingsFolder() + "/EURUSD_60.csf"), changed);
        QCOMPARE(manager.getObjects("EURUSD", 60).constFirst().name, kind == 1 && changed ? "Renamed" : "Trend Line 1");
    }

    void refusesDamagedSettings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");

        const ChartObjectRecord line{1, 2.0, 3, 4.0, "Horizontal Line 1"};
        const QByteArray good = settingsBytes({"#ffff0000"}, {line}, {1.25, 2.5});
        QTest::newRow("a whole file is read") << good << true;
        QTest::newRow("bytes after the levels are ignored") << good + "xyz" << true;
        QTest::newRow("an empty file is refused") << QByteArray() << false;
        for (const int cut : {2, 10, 40, 60, good.size() - 1})
            QTest::addRow("a file cut after %d bytes is refused", cut) << good.left(cut) << false;
        const QByteArray empty = settingsBytes({}, {}, {});
        QTest::newRow("a negative colour count is refused")
            << QByteArray(empty).replace(0, 4, "\xff\xff\xff\xfe") << false;
        QTest::newRow("a huge object count is refused") << QByteArray(empty).replace(4, 4, "\x7f\xff\xff\xff") << false;
        QTest::newRow("a name longer than the file is refused")
            << settingsBytes({}, {line}, {}).replace(8 + 24, 4, "\x7f\xff\xff\xf0") << false;
        QTest::newRow("a name of an odd byte count is refused")
            << settingsBytes({}, {line}, {}).replace(8 + 24, 4, QByteArray::fromHex("00000003")) << false;
    }
    void refusesDamagedSettings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        ChartManager manager(nullptr);
        manager.setAccount(freshLogin(), "Demo");
        const QList<ChartObjectRecord> held{{9, 9, 9, 9, "held"}};
        manager.setObjects("EURUSD", 60, held, false);
        manager.setLevels("EURUSD", 60, {7.0}, false);
        writeBytes(manager.settingsFolder() + "/EURUSD_60.csf", bytes);

        QCOMPARE(manager.loadChartSettings("EURUSD", 60), accepted);
        QCOMPARE(manager.getLevels("EURUSD", 60), (accepted ? QList<double>{1.25, 2.5} : QList<double>{7.0}));
        QCOMPARE(manager.getColors("EURUSD", 60), (accepted ? QList<QColor>{Qt::red} : QList<QColor>()));
        if (!accepted)
            QCOMPARE(manager.getObjects("EURUSD", 60), held);
    }
};

KESTRAL_TEST_MAIN(TestChartManager)
#include "tst_chartmanager.moc"
