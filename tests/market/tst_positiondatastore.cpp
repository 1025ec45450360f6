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
    return TickData::fromJson({{"symbol", symbol}, {"bid", bid}, {"ask", ask}, {"digits", digits}});
}

// Every signal of the store in emission order, a symbol's with its figures (count,
// buy volume and mean price, sell volume and mean price, profit).
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
                             events << QStringLiteral("symbol %1 %2 %3 %4 %5 %6 %7").arg(symbol).arg(count).arg(buyVolume)
                                           .arg(buyPrice).arg(sellVolume).arg(sellPrice).arg(profit, 0, 'g', 10);
                         });
        QObject::connect(&store, &PositionDataStore::netProfitChanged, [this](double profit) {
            events << "net";
            net = profit;
        });
    }
    QStringList events;
    double net = 0.0;
};

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

        const QJsonArray mixed{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(2, "EURUSD", "buy", 5000, 2.0, 0.0, 0.5),
                               position(3, "EURUSD", "sell", 20000, 3.0), position(4, "GBPUSD", "buy", 10000, 1.2, 7.0)};
        // After the first tick (1.5 / 1.6) the profits are 50000, -12500 (half rate) and 280000.
        // At 1.4 / 1.6 they are 40000, -15000 and 280000.
        QTest::newRow("each moved position, then the symbol figures, then the total")
            << mixed << tick("EURUSD", 1.4, 1.6, 4)
            << QStringList{"position 1", "position 2", "symbol EURUSD 3 1.5 1.5 2 3 305000", "net"};
        QTest::newRow("a repeated tick says nothing at all") << mixed << tick("EURUSD", 1.5, 1.6) << QStringList();
        QTest::newRow("a new digits count alone reprices nothing but is reported")
            << mixed << tick("EURUSD", 1.5, 1.6, 3) << QStringList{"symbol EURUSD 3 1.5 1.5 2 3 317500", "net"};
        QTest::newRow("a tick without a symbol is ignored") << mixed << tick(QString(), 1.0, 2.0) << QStringList();
        QTest::newRow("sells only give a zero buy price")
            << QJsonArray{position(3, "EURUSD", "sell", 20000, 3.0)} << tick("EURUSD", 1.4, 1.7)
            << QStringList{"position 3", "symbol EURUSD 1 0 0 2 3 260000", "net"};
    }
    void oneTick()
    {
        QFETCH(QJsonArray, held);
        QFETCH(TickData, second);

        PositionDataStore store;
        store.setOpenPositions(held);
        store.onPriceChanged(tick("EURUSD", 1.5, 1.6));
        Recorder recorder(store);
        store.onPriceChanged(second);
        QTEST(recorder.events, "events");
        // A repriced position takes the tick's digits.
        for (const auto &p : store.positions())
            QCOMPARE(p.digits, recorder.events.contains(QStringLiteral("position %1").arg(p.ticket)) ? second.digits : 5);
    }

    void replies_data()
    {
        QTest::addColumn<QJsonArray>("first");
        QTest::addColumn<QJsonArray>("second");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<double>("profitOfTicket1");
        QTest::addColumn<QString>("prices"); // each position's current price, by ticket

        const QJsonArray held{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(2, "GBPUSD", "sell", 100, 1.3)};
        const QJsonArray otherProfit{position(1, "EURUSD", "buy", 10000, 1.0, 99.0), held[1]};
        QJsonObject stopped = position(2, "GBPUSD", "sell", 100, 1.3);
        stopped["sl"] = 1.35;
        const QJsonArray otherStop{held[0], stopped};

        // The first reply is priced by a tick to 1.5 (profit 50000) before the second arrives.
        QTest::newRow("a reply equal but for profit keeps the live profit")
            << held << otherProfit << QStringList() << 50000.0 << "1.5 0";
        QTest::newRow("a changed stop loss reloads with the reply's profit, at the held bid")
            << held << otherStop << QStringList{"reload"} << 5.0 << "1.5 0";
        QTest::newRow("an empty reply empties held positions") << held << QJsonArray() << QStringList{"reload"} << 0.0 << "";
        QTest::newRow("a repeated ticket keeps the later element")
            << QJsonArray() << QJsonArray{position(1, "EURUSD", "buy", 10000, 1.0, 5.0), position(1, "EURUSD", "buy", 10000, 1.0, 8.0)}
            << QStringList{"reload"} << 8.0 << "1.5";
        QTest::newRow("a new sell starts at the held ask")
            << QJsonArray() << QJsonArray{position(3, "EURUSD", "sell", 10000, 1.0)} << QStringList{"reload"} << 0.0 << "1.6";
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
        QStringList prices;
        for (const Position &p : store.positions())
            prices << QString::number(p.currentPrice);
        QTEST(prices.join(' '), "prices");
    }

    // What one reply leaves held, by ticket (ticket:profit:price), and the swaps it sums.
    void heldRowsAndSwaps_data()
    {
        QTest::addColumn<QJsonArray>("reply");
        QTest::addColumn<QString>("held");
        QTest::addColumn<double>("swapSum");

        const auto row = [](qint64 ticket, double profit, const QJsonValue &swap) {
            QJsonObject object = position(ticket, "EURUSD", "buy", 10000, 1.0, profit);
            object.remove("price");
            if (!swap.isUndefined())
                object["swap"] = swap;
            return object;
        };
        QTest::newRow("rows out of ticket order are held by ticket")
            << QJsonArray{row(3, 3, -1), row(1, 1, -2), row(2, 2, -4)} << "1:1:0 2:2:0 3:3:0" << -7.0;
        QTest::newRow("a ticket repeated right after keeps the later row, both swaps count")
            << QJsonArray{row(1, 1, -1), row(2, 2, -2), row(2, 5, -4)} << "1:1:0 2:5:0" << -7.0;
        QTest::newRow("a ticket repeated further on keeps the later row")
            << QJsonArray{row(1, 1, -1), row(2, 2, -2), row(1, 6, -8)} << "1:6:0 2:2:0" << -11.0;
        QTest::newRow("missing, null and text swaps add nothing, nor does a non-object")
            << QJsonArray{row(1, 1, QJsonValue()), row(2, 2, QJsonValue(QJsonValue::Undefined)), row(3, 3, "-5"),
                          QJsonValue(-9), row(4, 4, -0.5)}
            << "1:1:0 2:2:0 3:3:0 4:4:0" << -0.5;
        QJsonObject priced = row(1, 0, 0);
        priced["price"] = 1.25;
        QJsonObject nullOpen = priced;
        nullOpen["price_o"] = QJsonValue();
        QTest::newRow("price alone is the open price") << QJsonArray{priced} << "1:0:1.25" << 0.0;
        QTest::newRow("a null price_o still overrides price") << QJsonArray{nullOpen} << "1:0:0" << 0.0;
    }
    void heldRowsAndSwaps()
    {
        QFETCH(QJsonArray, reply);

        PositionDataStore store;
        double swapSum = 99.0;
        store.setOpenPositions(reply, &swapSum);
        QStringList held;
        for (const Position &p : store.positions())
            held << QStringLiteral("%1:%2:%3").arg(p.ticket).arg(p.profit).arg(p.price);
        QTEST(held.join(' '), "held");
        QTEST(swapSum, "swapSum");
    }

    void readings_data()
    {
        QTest::addColumn<QJsonValue>("element");
        QTest::addColumn<QStringList>("parsed"); // ticket, lots, price, digits; then the order's ticket, digits

        QJsonObject overridden = position(5, "EURUSD", "buy", 12500, 1.1);
        overridden["price_o"] = 1.2;
        QTest::newRow("a wire volume becomes lots and price_o overrides price")
            << QJsonValue(overridden) << QStringList{"5 1.25 1.2 5", "order 5 5"};
        QTest::newRow("a fractional ticket rounds, an oversized volume gives zero, digits are bounded")
            << QJsonValue(QJsonObject{{"ticket", 77.6}, {"volume", 3e9}, {"digits", 2000000000}})
            << QStringList{"78 0 0 15", "order 78 15"};
        QTest::newRow("a ticket beyond the 64-bit range and a fractional volume read as zero")
            << QJsonValue(QJsonObject{{"ticket", 1e300}, {"login", -1e300}, {"volume", 12500.5}, {"digits", -4}})
            << QStringList{"0 0 0 0", "order 0 0"};
        QTest::newRow("a negative ticket keeps its sign")
            << QJsonValue(position(-5, "EURUSD", "buy", 100, 1.0)) << QStringList{"-5 0.01 1 5", "order -5 5"};
        QTest::newRow("an element that is not an object is skipped") << QJsonValue("junk") << QStringList();
    }
    void readings()
    {
        QFETCH(QJsonValue, element);

        PositionDataStore store;
        store.setOpenPositions({element});
        store.setPendingOrders({position(9, "EURUSD", "buy", 100, 1.0)}); // a smaller reply leaves no stale order
        store.setPendingOrders({element});
        QStringList parsed;
        for (const Position &p : store.positions()) {
            const qint64 ticket = store.position(int(p.ticket)).ticket; // found by its own number
            parsed << QStringLiteral("%1 %2 %3 %4").arg(ticket).arg(p.volume).arg(p.price).arg(p.digits);
        }
        for (const PendingOrder &order : store.pendingOrders())
            parsed << QStringLiteral("order %1 %2").arg(order.ticket).arg(order.digits);
        QTEST(parsed, "parsed");
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

    // The total is kept as a tree of per-symbol sums: after every tick, reload or clear
    // it must equal a fresh sum, also once a huge profit came and went.
    void netProfitEqualsAFreshSum()
    {
        PositionDataStore store;
        Recorder recorder(store);
        std::srand(5);
        for (const int symbols : {9, 3, 0, 2}) {
            QJsonArray array;
            for (int i = 0; i < 3 * symbols; ++i)
                array << position(100 + i, QStringLiteral("S%1").arg(i % symbols), i % 2 ? "sell" : "buy", 100 + i,
                                  1.1);
            if (symbols > 0)
                store.setOpenPositions(array);
            else
                store.clear();
            for (int k = 0; k < 200; ++k) {
                const double bid = 1.0 + std::rand() % 2000 / 10000.0 + (std::rand() % 50 == 0 ? 1e9 : 0.0);
                store.onPriceChanged(tick(QStringLiteral("S%1").arg(std::rand() % 10), bid, bid + 0.0002));
                double sum = 0.0, size = 1.0;
                for (const Position &p : store.positions()) {
                    sum += p.profit;
                    size = std::max(size, std::abs(p.profit));
                }
                QVERIFY2(std::abs(recorder.net - sum) <= 1e-12 * size,
                         qPrintable(QStringLiteral("%1 symbols, tick %2").arg(symbols).arg(k)));
            }
        }
    }
};

KESTRAL_TEST_MAIN(TestPositionDataStore)
#include "tst_positiondatastore.moc"
