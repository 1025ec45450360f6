#include "symboldatastorage.h"
#include "testmain.h"

namespace {

QJsonObject element(const QString &symbol, int digits = 5)
{
    return {{"symbol", symbol}, {"desc", symbol + " desc"}, {"path", "Forex\\Majors"}, {"digits", digits},
            {"c_size", 100000.0}, {"min_vol", 100}, {"max_vol", 1000000}, {"step_vol", 100}};
}

const auto reply = [](const QJsonArray &array) { return QJsonObject{{"res_code", 8}, {"array", array}}; };
const auto baseArray = [] { return QJsonArray{element("EurUsd"), element("AUDCAD"), element("gbpusd.i"), element("XAUUSD")}; };

TickData tick(const QString &symbol, double bid)
{
    return TickData::fromJson({{"symbol", symbol}, {"bid", bid}});
}

// Records every signal of the store by name, in emission order.
struct Recorder
{
    explicit Recorder(SymbolDataStorage &store)
    {
        QObject::connect(&store, &SymbolDataStorage::symbolListChanged, [this](const QStringList &list) {
            events << "list";
            lists << list;
        });
        QObject::connect(&store, &SymbolDataStorage::symbolSettingChanged, [this] { events << "setting"; });
        QObject::connect(&store, &SymbolDataStorage::tickChanged,
                         [this](const TickData &t) { events << "tick " + t.symbol; });
    }
    QStringList events;
    QList<QStringList> lists;
};

const QStringList ordered{"EurUsd", "gbpusd.i", "AUDCAD", "XAUUSD"};

} // namespace

class TestSymbolDataStorage : public QObject
{
    Q_OBJECT

private slots:
    void symbolListReplies_data()
    {
        QTest::addColumn<bool>("loadBaseFirst");
        QTest::addColumn<QJsonObject>("second");
        QTest::addColumn<QStringList>("expectedList");
        QTest::addColumn<QStringList>("expectedEvents");

        QJsonArray changed = baseArray();
        changed[2] = element("gbpusd.i", 3);
        QJsonArray dropped = baseArray();
        dropped.removeLast();
        QJsonArray junk{5, "EURUSD", QJsonArray{}, QJsonObject{{"desc", "no name"}}, element("AUDCAD")};
        // A stale duplicate before the true entry must not count as a change.
        QJsonArray duplicated = baseArray();
        duplicated.prepend(element("AUDCAD", 2));

        const QStringList orderedButHidden{"EurUsd", "gbpusd.i", "XAUUSD"};
        const QStringList both{"list", "setting"};

        QTest::newRow("the first list after clear puts EURUSD and GBPUSD names first, in any case")
            << false << reply(baseArray()) << ordered << both;
        QTest::newRow("the same list again changes nothing and keeps the hidden symbol hidden")
            << true << reply(baseArray()) << orderedButHidden << QStringList();
        QTest::newRow("one changed digits rebuilds the list and shows hidden symbols again")
            << true << reply(changed) << ordered << both;
        QTest::newRow("a dropped symbol leaves the list")
            << true << reply(dropped) << QStringList{"EurUsd", "gbpusd.i", "AUDCAD"} << both;
        QTest::newRow("an empty array empties the store") << true << reply({}) << QStringList() << both;
        QTest::newRow("a reply without an array changes nothing")
            << true << QJsonObject{{"res_code", 8}} << orderedButHidden << QStringList();
        QTest::newRow("elements that are not objects or have no symbol are skipped")
            << false << reply(junk) << QStringList{"AUDCAD"} << both;
        QTest::newRow("a symbol listed twice counts by its last entry")
            << true << reply(duplicated) << orderedButHidden << QStringList();
    }
    void symbolListReplies()
    {
        QFETCH(bool, loadBaseFirst);
        QFETCH(QJsonObject, second);
        QFETCH(QStringList, expectedList);
        QFETCH(QStringList, expectedEvents);

        SymbolDataStorage store;
        store.setSymbolList(QStringList{"USDJPY"}, false); // a workspace list, replaced by any changed reply
        if (loadBaseFirst) {
            store.onSymbolListReceived(reply(baseArray()));
            store.setSymbolVisible("AUDCAD", false);
        }
        Recorder recorder(store);
        store.onSymbolListReceived(second);

        QCOMPARE(recorder.events, expectedEvents);
        if (!recorder.lists.isEmpty())
            QCOMPARE(recorder.lists.constFirst(), expectedList);
        // Whatever the market watch shows is visible, and nothing else is.
        QStringList visible = expectedList;
        std::sort(visible.begin(), visible.end());
        QCOMPARE(store.visibleSymbols(), visible);
    }

    void parsesSetting_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<QString>("expected"); // digits, volumes min/max/step, contract size

        QTest::newRow("missing keys give zeros rather than the defaults") << QJsonObject{{"symbol", "EURUSD"}} << "0 0/0/0 0";
        QTest::newRow("numeric texts convert, wrong types give zero")
            << QJsonObject{{"symbol", "EURUSD"}, {"digits", 4.5}, {"min_vol", "250"}, {"max_vol", true}, {"step_vol", "1.5"}, {"c_size", "100"}}
            << "0 250/0/0 0";
        QTest::newRow("digits beyond any price are bounded")
            << QJsonObject{{"symbol", "EURUSD"}, {"digits", 2000000000}} << "15 0/0/0 0";
        QTest::newRow("a volume beyond the 64-bit range reads as zero")
            << QJsonObject{{"symbol", "EURUSD"}, {"min_vol", 1e300}, {"max_vol", -1e300}, {"step_vol", 3e9}} << "0 0/0/3000000000 0";
    }
    void parsesSetting()
    {
        QFETCH(QJsonObject, object);
        SymbolDataStorage store;
        store.onSymbolListReceived(reply({object}));
        const SymbolSetting s = store.symbolSetting("EURUSD");
        QTEST(QStringLiteral("%1 %2/%3/%4 %5").arg(s.digits).arg(s.minVol).arg(s.maxVol).arg(s.stepVol).arg(s.contractSize, 0, 'f', 0),
              "expected");
        QCOMPARE(store.digits("EURUSD"), s.digits);
    }

    void visibility_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QList<QStringList>>("lists"); // as announced

        QTest::newRow("hiding a listed symbol takes it off the list")
            << "EurUsd" << false << QList<QStringList>{{"gbpusd.i", "AUDCAD", "XAUUSD"}};
        QTest::newRow("showing a name without a setting appends it")
            << "USDJPY" << true << QList<QStringList>{ordered + QStringList{"USDJPY"}};
        QTest::newRow("hiding a name that is not listed says nothing") << "USDJPY" << false << QList<QStringList>();
        QTest::newRow("showing a listed symbol says nothing") << "AUDCAD" << true << QList<QStringList>();
    }
    void visibility()
    {
        QFETCH(QString, symbol);
        QFETCH(bool, visible);

        SymbolDataStorage store;
        store.onSymbolListReceived(reply(baseArray()));
        Recorder recorder(store);
        store.setSymbolVisible(symbol, visible);
        QTEST(recorder.lists, "lists");
        QCOMPARE(store.visibleSymbols().contains(symbol), visible && store.symbolNames().contains(symbol));
    }

    void setSymbolListNotifiesOnlyWhenAsked()
    {
        SymbolDataStorage store;
        Recorder recorder(store);
        const QStringList symbols{"XAUUSD", "EURUSD", "XAUUSD"};
        store.setSymbolList(symbols, false); // a silent restore
        store.setSymbolList(symbols, true); // announced even when unchanged, duplicates and order kept
        QCOMPARE(recorder.lists, QList<QStringList>{symbols});
    }

    void ticksPassThroughUntilCleared()
    {
        SymbolDataStorage store;
        store.onSymbolListReceived(reply(baseArray()));
        Recorder recorder(store);
        store.onUpdatedTicks({tick("XAUUSD", 2300.5), tick(QString(), 1.0), tick("EURUSD", 1.1)});
        QCOMPARE(recorder.events, (QStringList{"tick XAUUSD", "tick EURUSD"}));
        QCOMPARE(store.lastTick("XAUUSD").bid, 2300.5);
        store.onSymbolListReceived(reply({})); // the last tick outlives its symbol
        QCOMPARE(store.lastTick("XAUUSD").bid, 2300.5);
        store.clear();
        QVERIFY(store.lastTick("XAUUSD").symbol.isEmpty() && store.lastTick("EURUSD").symbol.isEmpty());
    }
};

KESTRAL_TEST_MAIN(TestSymbolDataStorage)
#include "tst_symboldatastorage.moc"
