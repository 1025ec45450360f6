#include "positiondatastore.h"
#include "testmain.h"

namespace {

QJsonObject position(qint64 ticket, const QString &symbol, const QString &type, int volume, double price,
                     double profit = 0.0, double profitRate = 1.0)
{
    return {{"login", 42},       {"ticket", ticket}, {"symbol", symbol},   {"type", type},          {"volume", volume},
            {"price", price},    {"csize", 100000.0}, {"profit", profit}, {"r_profit", profitRate}, {"digits", 5}};
}

TickData tick(const QString &symbol, double bid, double ask, int digits = 5)
{
    TickData t;
    t.symbol = symbol;
    t.bid = bid;
    t.ask = ask;
    t.digits = digits;
    return t;
}

// Every signal of the store in emission order, with the figures a reader checks.
struct Recorder
{
    explicit Recorder(PositionDataStore &store)
    {
        QObject::connect(&store, &PositionDataStore::openPositionChanged, [this] { events << "reload"; });
        QObject::connect(&store, &PositionDataStore::positionProfitChanged,
                         [this](const Position &p) { events << QStringLiteral("position %1").arg(p.ticket); });
        QObject::connect(&store, &PositionDataStore::symbolNetProfitChanged,
                         [this](const QString &symbol, int count, double buyVolume, double buyPrice, double sellVolume,
                                double sellPrice, double profit) {
                             events << "symbol " + symbol;
                             figures = {double(count), buyVolume, buyPrice, sellVolume, sellPrice, profit};
                         });
        QObject::connect(&store, &PositionDataStore::netProfitChanged, [this](double profit) {
            events << "net";
            net = profit;
        });
    }
    QStringList events;
    QVector<double> figures;
    double net = 0.0;
};

const auto near = [](double a, double b) { return qAbs(a - b) < 1e-6; };

} // namespace

class TestPositionDataStore : public QObject
{
    Q_OBJECT

private slots:
    void oneTick_data()
    {
        QTest::addColumn<QJsonArray>("held");
        QTest::addColumn<TickData>("second");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QVector<double>>("figures");

        const QJsonArray mixed{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(2, "EURUSD", "buy", 5000, 2.0, 0.0, 0.5),
                               position(3, "EURUSD", "sell", 20000, 3.0), position(4, "GBPUSD", "buy", 10000, 1.2, 7.0)};
        // After the first tick (1.5 / 1.6) the profits are 50000, -12500 (half rate) and 280000.
        QTest::newRow("each moved position, then the symbol figures, then the total")
            << mixed << tick("EURUSD", 1.4, 1.6, 4) << QStringList{"position 1", "position 2", "symbol EURUSD", "net"}
            << QVector<double>{3, 1.5, 1.5, 2.0, 3.0, 40000.0 - 15000.0 + 280000.0};
        QTest::newRow("a repeated tick says nothing at all") << mixed << tick("EURUSD", 1.5, 1.6) << QStringList()
                                                             << QVector<double>();
        QTest::newRow("a new digits count alone reprices nothing but is reported")
            << mixed << tick("EURUSD", 1.5, 1.6, 3) << QStringList{"symbol EURUSD", "net"}
            << QVector<double>{3, 1.5, 1.5, 2.0, 3.0, 50000.0 - 12500.0 + 280000.0};
        QTest::newRow("a tick without a symbol is ignored") << mixed << tick(QString(), 1.0, 2.0) << QStringList()
                                                            << QVector<double>();
        QTest::newRow("sells only give a zero buy price")
            << QJsonArray{position(3, "EURUSD", "sell", 20000, 3.0)} << tick("EURUSD", 1.4, 1.7)
            << QStringList{"position 3", "symbol EURUSD", "net"} << QVector<double>{1, 0.0, 0.0, 2.0, 3.0, 260000.0};
    }
    void oneTick()
    {
        QFETCH(QJsonArray, held);
        QFETCH(TickData, second);
        QFETCH(QVector<double>, figures);

        PositionDataStore store;
        store.setOpenPositions(held);
        store.onPriceChanged(tick("EURUSD", 1.5, 1.6));
        Recorder recorder(store);
        store.onPriceChanged(second);
        QTEST(recorder.events, "events");
        QCOMPARE(recorder.figures.size(), figures.size());
        for (int i = 0; i < figures.size(); ++i)
            QVERIFY2(near(recorder.figures.at(i), figures.at(i)), qPrintable(QString::number(i)));
        double sum = 0.0;
        for (const auto &p : store.positions()) {
            sum += p.profit;
            // A repriced position takes the tick's digits.
            QCOMPARE(p.digits, recorder.events.contains(QStringLiteral("position %1").arg(p.ticket)) ? second.digits : 5);
        }
        QVERIFY(!recorder.events.contains("net") || near(recorder.net, sum));
    }

    void replies_data()
    {
        QTest::addColumn<QJsonArray>("first");
        QTest::addColumn<QJsonArray>("second");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<double>("profitOfTicket1");

        const QJsonArray held{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(2, "GBPUSD", "sell", 100, 1.3)};
        QJsonArray otherProfit = held;
        otherProfit[0] = position(1, "EURUSD", "buy", 10000, 1.0, 99.0);
        QJsonArray otherStop = held;
        QJsonObject stopped = position(2, "GBPUSD", "sell", 100, 1.3);
        stopped["sl"] = 1.35;
        otherStop[1] = stopped;

        // The first reply is priced by a tick to 1.5 (profit 50000) before the second arrives.
        QTest::newRow("a reply equal but for profit keeps the live profit") << held << otherProfit << QStringList() << 50000.0;
        QTest::newRow("a changed stop loss reloads with the reply's profit") << held << otherStop << QStringList{"reload"} << 5.0;
        QTest::newRow("an empty reply empties held positions") << held << QJsonArray() << QStringList{"reload"} << 0.0;
        QTest::newRow("an empty reply to an empty store says nothing") << QJsonArray() << QJsonArray() << QStringList() << 0.0;
        QTest::newRow("a repeated ticket keeps the later element")
            << QJsonArray() << QJsonArray{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(1, "EURUSD", "buy", 10000, 1.0, 8.0)}
            << QStringList{"reload"} << 8.0;
    }
    void replies()
    {
        QFETCH(QJsonArray, first);
        QFETCH(QJsonArray, second);

        PositionDataStore store;
        store.setOpenPositions(first);
        store.onPriceChanged(tick("EURUSD", 1.5, 1.6));
        Recorder recorder(store);
        store.setOpenPositions(second);
        QTEST(recorder.events, "events");
        QTEST(store.position(1).profit, "profitOfTicket1");
    }

    void readings_data()
    {
        QTest::addColumn<QJsonValue>("element");
        QTest::addColumn<qint64>("ticket");
        QTest::addColumn<double>("volume");
        QTest::addColumn<double>("price");
        QTest::addColumn<int>("digits");

        QJsonObject overridden = position(5, "EURUSD", "buy", 12500, 1.1);
        overridden["price_o"] = 1.2;
        QJsonObject fractional = position(5, "EURUSD", "buy", 0, 1.1);
        fractional["volume"] = 12500.5;

        QTest::newRow("a wire volume becomes lots and price_o overrides price")
            << QJsonValue(overridden) << qint64(5) << 1.25 << 1.2 << 5;
        QTest::newRow("a fractional volume reads as zero") << QJsonValue(fractional) << qint64(5) << 0.0 << 1.1 << 5;
        QTest::newRow("a fractional ticket rounds, an oversized volume gives zero")
            << QJsonValue(QJsonObject{{"ticket", 77.6}, {"volume", 3e9}, {"digits", 2000000000}}) << qint64(78) << 0.0
            << 0.0 << 15;
        QTest::newRow("a ticket beyond the 64-bit range reads as zero")
            << QJsonValue(QJsonObject{{"ticket", 1e300}, {"login", -1e300}, {"digits", -4}}) << qint64(0) << 0.0 << 0.0
            << 0;
        QTest::newRow("an element that is not an object is skipped") << QJsonValue("junk") << qint64(-1) << 0.0 << 0.0 << 0;
    }
    void readings()
    {
        QFETCH(QJsonValue, element);

        QFETCH(qint64, ticket);

        PositionDataStore store;
        store.setOpenPositions({element});
        store.setPendingOrders({element});
        QCOMPARE(store.positions().size(), ticket < 0 ? 0 : 1); // -1: nothing is stored
        QCOMPARE(store.pendingOrders().size(), store.positions().size());
        if (ticket < 0)
            return;
        const Position parsed = store.positions().constFirst();
        QCOMPARE(parsed.ticket, ticket);
        QTEST(parsed.volume, "volume");
        QTEST(parsed.price, "price");
        QTEST(parsed.digits, "digits");
        QTEST(store.pendingOrders().constFirst().digits, "digits");
        // A garbage tick of no symbol must not reprice an empty-symbol record.
        store.onPriceChanged(tick(QString(), 1.0, 1.0));
        QCOMPARE(store.positions().constFirst().currentPrice, 0.0);
    }

    void hedgeCandidates_data()
    {
        QTest::addColumn<int>("ticket");
        QTest::addColumn<QList<qint64>>("candidates");

        QTest::newRow("a buy is closed by the sells of its symbol") << 1 << QList<qint64>{2};
        QTest::newRow("a sell is closed by every buy, whatever its word") << 2 << QList<qint64>{1, 3};
        QTest::newRow("an unknown ticket has no candidates") << 99 << QList<qint64>();
    }
    void hedgeCandidates()
    {
        QFETCH(int, ticket);

        PositionDataStore store;
        store.setOpenPositions({position(1, "EURUSD", "buy", 100, 1.0), position(2, "EURUSD", "sell", 100, 1.0),
                                position(3, "EURUSD", "Buy", 100, 1.0), position(4, "GBPUSD", "sell", 100, 1.0)});
        QList<qint64> tickets;
        for (const auto &p : store.hedgePositions(ticket))
            tickets << p.ticket;
        QTEST(tickets, "candidates");
    }

    void negativeTicketsAndPendingOrders()
    {
        PositionDataStore store;
        store.setOpenPositions({position(-5, "EURUSD", "buy", 100, 1.0)});
        QCOMPARE(store.position(-5).ticket, qint64(-5)); // sign-extended to the key
        store.setPendingOrders({QJsonObject{{"ticket", 7}, {"volume", 2500}}, QJsonObject{{"ticket", 3}, {"type", 4.5}}});
        QCOMPARE(store.pendingOrder(7).volume, 0.25);
        QCOMPARE(store.pendingOrder(3).type, 0); // not a whole number
        // A smaller reply leaves no stale order behind.
        store.setPendingOrders({QJsonObject{{"ticket", 3}}});
        QCOMPARE(store.pendingOrders().size(), 1);
        QCOMPARE(store.pendingOrders().constFirst().ticket, qint64(3));
    }

    void aHandlerThatClearsTheStoreStopsTheWalk()
    {
        PositionDataStore store;
        store.setOpenPositions({position(1, "EURUSD", "buy", 100, 1.0), position(2, "EURUSD", "buy", 100, 1.0)});
        Recorder recorder(store);
        connect(&store, &PositionDataStore::positionProfitChanged, &store, &PositionDataStore::clear);
        store.onPriceChanged(tick("EURUSD", 1.5, 1.6));
        QCOMPARE(recorder.events, QStringList{"position 1"});
        QVERIFY(store.positions().isEmpty());
    }

    // Ops: "load N" positions over N symbols, "tick S BID", "clear", "random K" ticks.
    void netProfitEqualsAFreshSum_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::newRow("a huge profit that vanishes leaves no trace")
            << QStringList{"load 5", "tick S1 1e12", "tick S2 1.3", "tick S1 1.1001", "tick S3 0.9"};
        QTest::newRow("a reload between ticks starts afresh")
            << QStringList{"load 9", "random 200", "load 3", "tick S0 2.5", "random 50"};
        QTest::newRow("a clear leaves nothing behind")
            << QStringList{"load 7", "random 100", "clear", "tick S1 1.2", "load 2", "random 30"};
        QTest::newRow("many symbols, many ticks") << QStringList{"load 37", "random 3000"};
    }
    void netProfitEqualsAFreshSum()
    {
        QFETCH(QStringList, ops);
        PositionDataStore store;
        Recorder recorder(store);
        std::srand(5);
        const auto check = [&](const QString &op) {
            double sum = 0.0, size = 1.0;
            for (const Position &p : store.positions()) {
                sum += p.profit;
                size = std::max(size, std::abs(p.profit));
            }
            QVERIFY2(std::abs(recorder.net - sum) <= 1e-12 * size, qPrintable(QStringLiteral("after %1: %2, fresh %3")
                                                                                  .arg(op)
                                                                                  .arg(recorder.net, 0, 'g', 17)
                                                                                  .arg(sum, 0, 'g', 17)));
        };
        for (const QString &op : ops) {
            const QStringList w = op.split(' ');
            if (w[0] == "load") {
                QJsonArray array;
                for (int i = 0; i < 3 * w[1].toInt(); ++i)
                    array << position(100 + i, QStringLiteral("S%1").arg(i % w[1].toInt()), i % 2 ? "sell" : "buy",
                                      100 + i, 1.1, 0.0, 1.0);
                store.setOpenPositions(array);
            } else if (w[0] == "clear") {
                store.clear();
            } else if (w[0] == "tick") {
                store.onPriceChanged(tick(w[1], w[2].toDouble(), w[2].toDouble() + 0.0002));
                check(op);
            } else {
                for (int k = 0; k < w[1].toInt(); ++k) {
                    const double bid = 1.0 + std::rand() % 2000 / 10000.0 + (std::rand() % 50 == 0 ? 1e9 : 0.0);
                    store.onPriceChanged(tick(QStringLiteral("S%1").arg(std::rand() % 40), bid, bid + 0.0002));
                    check(op);
                }
            }
        }
    }
};

KESTRAL_TEST_MAIN(TestPositionDataStore)
#include "tst_positiondatastore.moc"
