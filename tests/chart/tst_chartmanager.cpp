#include "appglobals.h"
#include "chartfixture.h"
#include "testmain.h"

#include <QDataStream>
#include <QDirIterator>
#include <QSignalSpy>
#include <tuple>

using namespace chartfixture;
using Bars = QVector<CandleStick>;
using Events = QList<QPair<QString, int>>;

namespace {

struct HistoryRow
{
    Bars held; // from a reply, which writes all but its newest bar
    QJsonObject incoming;
    Bars appended, expected;
    Bars file; // a file missing before the update is made to hold a bar at 1
    bool account = true;
    bool asked = true;
    bool marked = false; // the file's first bar differs from the held one, so a rewrite shows
};

CandleStick bar(qint64 time, double base = 1.0) { return {time, base, base + 0.5, base - 0.5, base + 0.25}; }

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

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray settingsBytes(const QList<QColor> &colors, const QList<ChartObjectRecord> &objects,
                         const QList<double> &levels)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(colors.size());
    for (const QColor &c : colors)
        out << c.name(QColor::HexArgb);
    out << qint32(objects.size());
    for (const ChartObjectRecord &o : objects)
        out << o.x1 << o.y1 << o.x2 << o.y2 << o.name;
    out << qint32(levels.size());
    for (const double l : levels)
        out << l;
    return bytes;
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

} // namespace

Q_DECLARE_METATYPE(HistoryRow)

class TestChartManager : public QObject
{
    Q_OBJECT

private slots:
    void chartHistoryRequest()
    {
        QCOMPARE(
            *ChartManager::chartHistoryRequest("EURUSD", 60, 1700000000, -1),
            (QJsonObject{{"from", 1700000000}, {"to", -1}, {"symbol", "EURUSD"}, {"interval", 60}, {"req_code", 3}}));
        // An empty symbol, a period below 1 or a negative start send nothing; a null client is harmless.
        for (const auto &[symbol, period, from] : {std::tuple{"", 60, 0}, {"EURUSD", 0, 0}, {"EURUSD", 60, -1}}) {
            QVERIFY(!ChartManager::chartHistoryRequest(symbol, period, from, -1));
            ChartManager(nullptr).requestChartHistory(symbol, period, from, -1);
        }
    }

    void updatesHistory_data()
    {
        QTest::addColumn<HistoryRow>("row");
        const Bars three{bar(100), bar(200), bar(300)}, two{bar(100), bar(200)}, sentinel{bar(1)};
        const Bars four{bar(100), bar(200), bar(300), bar(400)};
        QJsonObject junk = historyReply({});
        junk["array"] = QJsonArray{1, "x", QJsonObject{{"open", 1.0}}, QJsonObject{{"datetime", "soon"}},
                                   QJsonObject{{"datetime", 1e300}}, QJsonObject{{"datetime", -9.3e18}}};
        const auto row = [](const char *name, const HistoryRow &r) { QTest::newRow(name) << r; };

        row("a first reply is held and all but its newest bar added to the file",
            {{}, historyReply(three), {}, three, sentinel + two});
        row("a changed saved bar is replaced, other held bars stay and the file is rewritten",
            {three, historyReply({bar(200, 7), bar(400)}), {}, {bar(100), bar(200, 7), bar(300), bar(400)},
             {bar(100), bar(200, 7), bar(300)}, true, true, true});
        row("bars after the saved ones are appended, the saved ones left as they are",
            {three, historyReply({bar(300), bar(400), bar(500)}), {}, four + Bars{bar(500)},
             {bar(100, 9), bar(200), bar(300), bar(400)}, true, true, true});
        row("a repeat of the held bars writes and announces nothing",
            {three, historyReply(three), {}, three, {bar(100, 9), bar(200)}, true, true, true});
        row("a symbol and period nobody asked for is neither held nor saved",
            {{}, historyReply(three), {}, {}, sentinel, true, false});
        row("the later of two equal times in a reply wins, out of order bars are sorted",
            {{}, historyReply({bar(200), bar(100, 1), bar(100, 2)}), {}, {bar(100, 2), bar(200)},
             {bar(1), bar(100, 2)}});
        row("a single bar is held and leaves the file as it was", {{}, historyReply({bar(100)}), {}, {bar(100)}, sentinel});
        row("interval zero changes nothing", {three, historyReply({bar(400)}, 0), {}, three, two});
        row("an empty symbol changes nothing", {{}, historyReply({bar(400)}, 60, ""), {}, {}, sentinel});
        row("elements without a time are not bars", {three, junk, {}, three, two});
        row("a completed bar after the newest is held and appended",
            {three, {}, {bar(300, 2), bar(400)}, {bar(100), bar(200), bar(300, 2), bar(400)},
             {bar(100), bar(200), bar(300, 2), bar(400)}});
        row("a bar of the newest time replaces it and is still appended",
            {three, {}, {bar(400), bar(400, 3)}, {bar(100), bar(200), bar(300), bar(400, 3)},
             {bar(100), bar(200), bar(400), bar(400, 3)}});
        row("a bar older than the newest changes nothing", {three, {}, {bar(250)}, three, two});
        row("without an account the bar is held in memory only", {three, {}, {bar(400)}, four, sentinel, false});
    }
    void updatesHistory()
    {
        QFETCH(HistoryRow, row);
        const qint64 login = row.account ? nextLogin() : 0;
        // A "%1" in the server name must stay literal in the path.
        const auto m = manager(login, "Demo%1");
        if (row.asked)
            m->requestChartHistory("EURUSD", 60, 0, -1);
        if (!row.held.isEmpty())
            m->updateChartHistoryFromServer(historyReply(row.held));
        settle();
        const QString path = configPath() + "/Demo%1/" + QString::number(login) + "/ChartHistory/EURUSD_60";
        if (!QFile::exists(path))
            writeBytes(path, streamed({bar(1)}));
        if (row.marked)
            writeBytes(path, readBytes(path).replace(0, 40, streamed({bar(100, 9)})));

        QSignalSpy spy(m.get(), &ChartManager::readyChartHistory);
        if (!row.incoming.isEmpty())
            m->updateChartHistoryFromServer(row.incoming);
        for (const CandleStick &b : std::as_const(row.appended))
            m->appendCandleStick("EURUSD", 60, b.timestamp, b.open, b.high, b.low, b.close);
        settle();
        QCOMPARE(m->getChartHistory("EURUSD", 60).toVector(), row.expected);
        QCOMPARE(readBytes(path), streamed(row.file));
        // Only a reply that changes the bars announces them; live bars never do.
        const bool announced = !row.incoming.isEmpty() && row.expected != row.held;
        QCOMPARE(static_cast<QList<QVariantList>>(spy),
                 (announced ? QList<QVariantList>{{"EURUSD", 60}} : QList<QVariantList>()));
    }

    void cacheFiles_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("action"); // 0 none, 1 rewrite with the bars, 2 append the first bar
        QTest::addColumn<Bars>("bars");
        QTest::addColumn<QByteArray>("after"); // empty: as before
        QTest::addColumn<Bars>("loaded");

        const Bars two{bar(-5, -1.25), bar(1700000000, 1.0842)}, three = two + Bars{bar(1700000060)};
        QTest::newRow("records come back in time order, the later of two of one time winning")
            << streamed({bar(300), bar(200, 1), bar(100), bar(200, 9)}) << 0 << Bars() << QByteArray()
            << Bars{bar(100), bar(200, 9), bar(300)};
        QTest::newRow("two records of one time in order give one bar, the later")
            << streamed({bar(100), bar(200, 1), bar(200, 9)}) << 0 << Bars() << QByteArray()
            << Bars{bar(100), bar(200, 9)};
        QTest::newRow("a record cut short by a crash is dropped")
            << streamed({bar(100), bar(200)}) + streamed({bar(300)}).left(17) << 0 << Bars() << QByteArray()
            << Bars{bar(100), bar(200)};
        QTest::newRow("a record of non-finite prices is dropped")
            << streamed({bar(100), bar(200, qQNaN()), bar(300, qInf())}) << 0 << Bars() << QByteArray() << Bars{bar(100)};
        QTest::newRow("a rewrite stores the data stream layout") << QByteArray("old") << 1 << two << streamed(two) << two;
        QTest::newRow("a rewrite with no bars leaves the file") << streamed(two) << 1 << Bars() << QByteArray() << two;
        QTest::newRow("an append after a torn record does not shift the records after it")
            << streamed(two) + "\x01\x02\x03" << 2 << Bars{three.last()} << streamed(three) << three;
    }
    void cacheFiles()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, action);
        QFETCH(Bars, bars);
        QFETCH(QByteArray, after);
        const QString path = QDir::currentPath() + "/cache_60";
        writeBytes(path, before);
        QVERIFY(action != 1 || ChartManager::writeHistoryFile(path, bars));
        QVERIFY(action != 2 || ChartManager::appendHistoryRecord(path, bars.first()));
        QCOMPARE(readBytes(path), after.isEmpty() ? before : after);
        QTEST(ChartManager::loadHistoryFile(path), "loaded");
    }

    void unsafeNamesStayInMemory_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("a symbol climbing out of the folder") << "Demo" << "../../../evil";
        QTest::newRow("a server climbing out of the config folder") << "../../x" << "EURUSD";
    }
    void unsafeNamesStayInMemory()
    {
        QFETCH(QString, server);
        QFETCH(QString, symbol);
        const QStringList before = filesBelow(QDir::homePath());
        {
            const auto m = manager(nextLogin(), server);
            m->requestChartHistory(symbol, 60, 0, -1);
            for (int i = 0; i < 2; ++i) {
                m->updateChartHistoryFromServer(historyReply({bar(100), bar(200)}, 60, symbol));
                m->appendCandleStick(symbol, 60, 300, 1, 1, 1, 1);
                m->setLevels(symbol, 60, {1.5 + i}, true);
                QVERIFY(!m->saveChartSettings(symbol, 60));
                QVERIFY(!m->loadChartSettings(symbol, 60));
            }
            settle();
            QCOMPARE(m->getChartHistory(symbol, 60).size(), 3);
            QCOMPARE(m->getLevels(symbol, 60), QList<double>{2.5});
        }
        QCOMPARE(filesBelow(QDir::homePath()), before);
    }

    void accountChangeDropsTheOldLoader_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("the account changes while the loader reads") << false;
        QTest::newRow("the manager goes while the loader reads and bars are queued") << true;
    }
    void accountChangeDropsTheOldLoader()
    {
        QFETCH(bool, destroy);
        const qint64 oldLogin = nextLogin(), newLogin = nextLogin();
        const QString oldFolder = accountPath("Old", oldLogin) + "/ChartHistory/";
        const QString newFolder = accountPath("New", newLogin) + "/ChartHistory/";
        Bars many;
        for (int i = 0; i < 50000; ++i)
            many.append(bar(i * 60));
        QVERIFY(QDir().mkpath(oldFolder));
        for (int f = 0; f < 8; ++f)
            QVERIFY(ChartManager::writeHistoryFile(oldFolder + QString("OLD%1_60").arg(f), many));
        // Of the new account's entries NEW_60 is read back, and the names a file takes apart as
        // symbol_period however odd; a symbol holding an underscore cannot be told from its
        // period, and folders and empty files are skipped.
        for (const char *name : {"NEW_60", "NE_W_60", "NEW60", "EMPTY_60", "_60", "NEW_", "NEW_60.bak"})
            writeBytes(newFolder + name, name == QLatin1String("EMPTY_60") ? QByteArray() : streamed({bar(100)}));
        QVERIFY(QDir().mkpath(newFolder + "FOLDER_60"));

        auto m = std::make_unique<ChartManager>(nullptr);
        m->setAccount(oldLogin, "Old");
        if (destroy) {
            // Completed bars queued behind the loader reach their file before the manager is gone.
            Bars appended;
            for (int i = 1; i <= 3000; ++i) {
                appended.append(bar(i * 60));
                m->appendCandleStick("EURUSD", 60, i * 60, 1.0, 1.5, 0.5, 1.25);
            }
            m.reset();
            QCOMPARE(readBytes(oldFolder + "EURUSD_60"), streamed(appended));
            return; // the sanitizers report any touch of the destroyed manager
        }
        m->setAccount(newLogin, "New");
        // Loader announcements come from the worker thread; collect them where the test runs.
        Events events;
        connect(
            m.get(), &ChartManager::readyChartHistory, this,
            [&](const QString &symbol, int period) { events.append({symbol, period}); }, Qt::QueuedConnection);
        // While the old loader still reads, a reply arrives; the cache must not undo it.
        m->requestChartHistory("NEW", 60, 0, -1);
        m->updateChartHistoryFromServer(historyReply({bar(100, 5), bar(200)}, 60, "NEW"));
        settle();
        std::sort(events.begin(), events.end());
        QCOMPARE(events, (Events{{"", 60}, {"NEW", 0}, {"NEW", 0}, {"NEW", 60}, {"NEW", 60}}));
        for (int f = 0; f < 8; ++f)
            QVERIFY(m->getChartHistory(QString("OLD%1").arg(f), 60).isEmpty());
        QCOMPARE(m->getChartHistory("NEW", 60).toVector(), (Bars{bar(100, 5), bar(200)}));

        m->setAccount(newLogin, "New"); // the same account again: nothing cleared, nothing reloaded
        settle();
        QCOMPARE(events.size(), 5);
        QCOMPARE(m->getChartHistory("NEW", 60).size(), 2);
    }

    void equalListsAreNeitherStoredNorSaved()
    {
        const auto m = manager(nextLogin());
        m->setColors("EURUSD", 60, {Qt::red}, false);
        m->setObjects("EURUSD", 60, {{1, 1.5, 2, 2.5, "Trend Line 1"}}, false);
        m->setLevels("EURUSD", 60, {1.5}, false);
        // Objects compare by their points, their names aside.
        m->setColors("EURUSD", 60, {Qt::red}, true);
        m->setObjects("EURUSD", 60, {{1, 1.5, 2, 2.5, "Renamed"}}, true);
        m->setLevels("EURUSD", 60, {1.5}, true);
        const QString file = m->settingsFolder() + "/EURUSD_60.csf";
        QVERIFY(!QFile::exists(file));
        QCOMPARE(m->getObjects("EURUSD", 60).constFirst().name, "Trend Line 1");
        m->setLevels("EURUSD", 60, {2.5}, true);
        QVERIFY(QFile::exists(file));
    }

    void settingsFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("clean"); // what is read and then written back; empty when refused

        const ChartObjectRecord line{1, 2.0, 3, 4.0, "Horizontal Line 1"};
        const QByteArray good = settingsBytes({Qt::red}, {line}, {1.25, 2.5});
        const QByteArray empty = settingsBytes({}, {}, {}), named = settingsBytes({}, {line}, {});
        const QByteArray rich = settingsBytes({Qt::black, QColor(255, 0, 0, 128)},
                                              {line, {-2, 0.5, 7, -0.25, "Fibo 38.2% \u2197"}}, {1.1, 1.2});
        const QByteArray odd = settingsBytes({}, {{1, 1, 1, 1, ""}, {2, 2, 2, 2, QString()}, {3, 3, 3, 3, "q\"\n\t"}}, {});
        QTest::newRow("colours, named objects and levels") << rich << rich;
        QTest::newRow("empty lists, empty, null and odd names") << odd << odd;
        QTest::newRow("bytes after the levels are ignored") << good + "xyz" << good;
        for (const int cut : {0, 2, 10, 40, 60, good.size() - 1})
            QTest::addRow("a file cut after %d bytes is refused", cut) << good.left(cut) << QByteArray();
        QTest::newRow("a negative colour count reads as no colours, and the drawings still load")
            << QByteArray(named).replace(0, 4, "\xff\xff\xff\xfe") << named;
        QTest::newRow("a negative level count reads as no levels")
            << QByteArray(named).replace(named.size() - 4, 4, QByteArray::fromHex("80000000")) << named;
        QTest::newRow("a huge object count is refused")
            << QByteArray(empty).replace(4, 4, "\x7f\xff\xff\xff") << QByteArray();
        QTest::newRow("a name longer than the file is refused")
            << QByteArray(named).replace(8 + 24, 4, "\x7f\xff\xff\xf0") << QByteArray();
        QTest::newRow("a name of an odd byte count is refused")
            << QByteArray(named).replace(8 + 24, 4, QByteArray::fromHex("00000003")) << QByteArray();
    }
    void settingsFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, clean);
        const qint64 login = nextLogin();
        const auto m = manager(login);
        const QList<ChartObjectRecord> held{{9, 9, 9, 9, "held"}};
        const ChartObjectRecord line240{4, 1.5, 8, 1.5, "Horizontal Line 2"};
        m->setObjects("EURUSD", 60, held, false);
        m->setLevels("EURUSD", 60, {7.0}, false);
        // Spelled out: users' drawings already lie in this folder.
        const QString path = QStringLiteral("%1/KESTRAL/config/Demo-Server/%2/ChartSettings/EURUSD_60.csf")
                                 .arg(appDataPath())
                                 .arg(login);
        writeBytes(path, bytes);
        QCOMPARE(m->loadChartSettings("EURUSD", 60), !clean.isEmpty());
        // A refused file leaves what was held. Streamed again, so that names count too, null or not.
        const QByteArray expected = clean.isEmpty() ? settingsBytes({}, held, {7.0}) : clean;
        QCOMPARE(settingsBytes(m->getColors("EURUSD", 60), m->getObjects("EURUSD", 60), m->getLevels("EURUSD", 60)),
                 expected);
        QVERIFY(m->saveChartSettings("EURUSD", 60));
        QCOMPARE(readBytes(path), expected);
        // Colours belong to the symbol: reading another period's file does not replace those held.
        const QList<QColor> held60 = m->getColors("EURUSD", 60);
        writeBytes(QFileInfo(path).absolutePath() + "/EURUSD_240.csf", settingsBytes({Qt::green}, {line240}, {}));
        QCOMPARE(m->getObjects("EURUSD", 240), QList<ChartObjectRecord>{line240});
        QCOMPARE(m->getColors("EURUSD", 240), held60.isEmpty() ? QList<QColor>{Qt::green} : held60);
        QCOMPARE(m->getColors("EURUSD", 60), m->getColors("EURUSD", 240));
    }
};

KESTRAL_TEST_MAIN(TestChartManager)
#include "tst_chartmanager.moc"
