// The local server's order arithmetic against hand-computed figures, with quotes set
// by hand and a fixed clock.
#include "testmain.h"
#include "tradingengine.h"

using namespace tradeserver;
Q_DECLARE_METATYPE(TradeRequest)

namespace {

struct Fixture
{
    Fixture()
        : engine(defaultInstruments(), [this] { return clock; })
    {
        engine.setQuote("EURUSD", {1.10000, 1.10010});
        engine.setQuote("GBPUSD", {1.25000, 1.25020});
        engine.setQuote("USDJPY", {150.000, 150.020});
        engine.setQuote("EURGBP", {0.85000, 0.85010});
        engine.setQuote("XAUUSD", {2000.00, 2000.30});
        login = engine.createAccount("Tester", "main", "view", 10000.0, 200);
    }

    // Fields in declaration order: type, order type, volume, symbol, price, stop price, sl, tp.
    bool run(const TradeRequest &request) { return engine.execute(login, request).ok(); }
    bool order(const QString &symbol, int orderType, qint64 volume) { return run({0, orderType, volume, symbol}); }

    const Account &account() const { return *engine.account(login); }
    // The balance, what is open with its profit and what waits, oldest first, then the margin.
    QString state() const
    {
        QStringList parts{QString::number(account().balance, 'f', 2)};
        for (const OpenPosition &p : account().positions)
            parts << QString::asprintf("%s %lld at %g makes %.2f", p.sell ? "sell" : "buy", p.volume, p.openPrice,
                                       engine.profit(p));
        for (const WorkingOrder &o : account().orders)
            parts << QStringLiteral("order %1 at %2").arg(o.type).arg(o.price);
        if (!account().positions.isEmpty())
            parts << QStringLiteral("margin %1").arg(engine.margin(account()), 0, 'f', 2);
        return parts.join(", ");
    }

    qint64 clock = 1700000000;
    TradingEngine engine;
    qint64 login = 0;
};

} // namespace

class TestTradingEngine : public QObject
{
    Q_OBJECT

private slots:
    void refusesUnsoundRequests_data()
    {
        QTest::addColumn<TradeRequest>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("unknown symbol") << TradeRequest{0, 0, 100, "NOPE"} << 10013;
        QTest::newRow("volume under the minimum") << TradeRequest{0, 0, 50, "EURUSD"} << 10014;
        QTest::newRow("volume off the step") << TradeRequest{0, 0, 150, "EURUSD"} << 10014;
        QTest::newRow("volume over the maximum") << TradeRequest{0, 0, 1000100, "EURUSD"} << 10014;
        QTest::newRow("buy with its stop loss above the bid")
            << TradeRequest{0, 0, 100, "EURUSD", 0.0, 0.0, 1.10005} << 10016;
        QTest::newRow("sell with its take profit above the ask")
            << TradeRequest{0, 1, 100, "EURUSD", 0.0, 0.0, 0.0, 1.2} << 10016;
        // A buy's margin is taken at the ask: 10001.50, where the bid would need exactly 10000.
        QTest::newRow("10 lots of gold bought at the ask") << TradeRequest{0, 0, 100000, "XAUUSD"} << 10019;
        QTest::newRow("buy limit above the ask") << TradeRequest{0, 2, 100, "EURUSD", 1.10020} << 10015;
        QTest::newRow("sell stop above the bid") << TradeRequest{0, 5, 100, "EURUSD", 1.10005} << 10015;
        QTest::newRow("buy stop with its take profit under the price")
            << TradeRequest{0, 4, 100, "EURUSD", 1.105, 0.0, 0.0, 1.104} << 10016;
        QTest::newRow("unknown order type") << TradeRequest{0, 8, 100, "EURUSD", 1.0} << 10013;
        QTest::newRow("closing a ticket that is not open") << TradeRequest{4, 0, 0, "", 0, 0, 0, 0, 42} << 10013;
        QTest::newRow("deleting an order that does not exist") << TradeRequest{3, 0, 0, "", 0, 0, 0, 0, 42} << 10013;
        QTest::newRow("unknown operation") << TradeRequest{7, 0, 100, "EURUSD"} << 10013;
    }
    void refusesUnsoundRequests()
    {
        QFETCH(TradeRequest, request);
        Fixture f;
        const TradeResult result = f.engine.execute(f.login, request);
        QTEST(result.status, "status");
        QVERIFY(!result.failReason.isEmpty());
        QCOMPARE(f.state(), QString("10000.00"));
    }

    void quotesMoveProfitsStopsAndOrders_data()
    {
        QTest::addColumn<TradeRequest>("request");
        QTest::addColumn<double>("bid"); // the next quote of the request's symbol
        QTest::addColumn<double>("ask");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("state");

        // 1 lot of EURUSD is bought at 1.10010, sold at 1.10000; 1:200 margin.
        const auto buy = [](double sl, double tp) { return TradeRequest{0, 0, 10000, "EURUSD", 0, 0, sl, tp}; };
        const auto sell = [](double sl, double tp) { return TradeRequest{0, 1, 10000, "EURUSD", 0, 0, sl, tp}; };
        const auto pending = [](int type, double price, double stopPrice = 0.0) {
            return TradeRequest{0, type, 10000, "EURUSD", price, stopPrice};
        };
        QTest::newRow("buy stopped out by the bid") << buy(1.09, 0) << 1.09000 << 1.09010 << true << "8990.00";
        QTest::newRow("buy taking profit by the bid") << buy(0, 1.105) << 1.10500 << 1.10510 << true << "10490.00";
        QTest::newRow("buy left open while the ask alone passes")
            << buy(0, 1.105) << 1.10495 << 1.10505 << false
            << "10000.00, buy 10000 at 1.1001 makes 485.00, margin 550.05";
        QTest::newRow("sell stopped out by the ask") << sell(1.105, 0) << 1.10490 << 1.10500 << true << "9500.00";
        QTest::newRow("sell left open with the ask a point under its stop")
            << sell(1.105, 0) << 1.10489 << 1.10499 << false
            << "10000.00, sell 10000 at 1.1 makes -499.00, margin 550.00";
        QTest::newRow("sell taking profit by the ask") << sell(0, 1.095) << 1.09490 << 1.09500 << true << "10500.00";

        QTest::newRow("USDJPY bought: 50000 JPY at 1 / 150.520, margin 150.02 x 1000 / 150.52 / 2")
            << TradeRequest{0, 0, 10000, "USDJPY"} << 150.520 << 150.540 << false
            << "10000.00, buy 10000 at 150.02 makes 332.18, margin 498.34";
        QTest::newRow("EURGBP bought: 100 GBP at the GBPUSD bid 1.25")
            << TradeRequest{0, 0, 10000, "EURGBP"} << 0.85110 << 0.85120 << false
            << "10000.00, buy 10000 at 0.8501 makes 125.00, margin 531.31";
        QTest::newRow("0.1 lot of 100 oz of gold sold at the bid, valued at the ask")
            << TradeRequest{0, 1, 1000, "XAUUSD"} << 1989.70 << 1990.00 << false
            << "10000.00, sell 1000 at 2000 makes 100.00, margin 100.00";

        QTest::newRow("buy limit reached by the ask") << pending(2, 1.095) << 1.09490 << 1.09500 << true
                                                      << "10000.00, buy 10000 at 1.095 makes -10.00, margin 547.50";
        QTest::newRow("buy limit with the ask still above")
            << pending(2, 1.095) << 1.09500 << 1.09510 << false << "10000.00, order 2 at 1.095";
        QTest::newRow("sell limit reached by the bid") << pending(3, 1.105) << 1.10500 << 1.10510 << true
                                                       << "10000.00, sell 10000 at 1.105 makes -10.00, margin 552.50";
        QTest::newRow("buy stop reached by the ask") << pending(4, 1.105) << 1.10490 << 1.10500 << true
                                                     << "10000.00, buy 10000 at 1.105 makes -10.00, margin 552.50";
        QTest::newRow("buy stop with the ask still below")
            << pending(4, 1.105) << 1.10480 << 1.10490 << false << "10000.00, order 4 at 1.105";
        QTest::newRow("sell stop reached by the bid") << pending(5, 1.095) << 1.09500 << 1.09510 << true
                                                      << "10000.00, sell 10000 at 1.095 makes -10.00, margin 547.50";
        QTest::newRow("buy stop limit arms a buy limit at its limit price")
            << pending(6, 1.105, 1.103) << 1.10495 << 1.10505 << true << "10000.00, order 2 at 1.103";
        QTest::newRow("sell stop limit arms a sell limit at its limit price")
            << pending(7, 1.095, 1.097) << 1.09490 << 1.09500 << true << "10000.00, order 3 at 1.097";
        QTest::newRow("a fill the free margin cannot carry is rejected")
            << TradeRequest{0, 2, 200000, "EURUSD", 1.095} << 1.09480 << 1.09490 << true << "10000.00";
    }
    void quotesMoveProfitsStopsAndOrders()
    {
        QFETCH(TradeRequest, request);
        QFETCH(double, bid);
        QFETCH(double, ask);
        Fixture f;
        QVERIFY(f.run(request));
        QTEST(f.engine.setQuote(request.symbol, {bid, ask}).contains(f.login), "changed");
        QTEST(f.state(), "state");
    }

    // 5 lots of gold held: margin 5001.50 and a loss of 150 at the bid leave 4848.50 free.
    void marginInUseCounts()
    {
        Fixture f;
        QVERIFY(f.order("XAUUSD", 0, 50000));
        QCOMPARE(f.engine.execute(f.login, {0, 0, 49000, "XAUUSD"}).status, 10019); // 4.9 lots need 4901.47
        QVERIFY(f.order("XAUUSD", 0, 48000));                                       // 4.8 lots need 4800.72
    }

    void ordersExpire_data()
    {
        QTest::addColumn<int>("timeType");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<qint64>("waited"); // seconds after 22:13:20 UTC
        QTest::addColumn<bool>("expired");

        QTest::newRow("5 minutes, a second before") << 2 << 5 << qint64(299) << false;
        QTest::newRow("5 minutes, on the minute") << 2 << 5 << qint64(300) << true;
        QTest::newRow("today, an hour later") << 1 << 0 << qint64(3600) << false;
        QTest::newRow("today, at midnight") << 1 << 0 << qint64(6400) << true;
        QTest::newRow("good till cancelled, a year later") << 0 << 0 << qint64(366 * 86400) << false;
    }
    void ordersExpire()
    {
        QFETCH(int, timeType);
        QFETCH(int, minutes);
        QFETCH(qint64, waited);
        Fixture f;
        TradeRequest request{0, 2, 100, "EURUSD", 1.09};
        request.timeType = timeType;
        request.expiryMinutes = minutes;
        QVERIFY(f.run(request));
        f.clock += waited;
        QTEST(f.engine.setQuote("EURUSD", {1.10001, 1.10011}).contains(f.login), "expired");
        QTEST(f.account().orders.isEmpty(), "expired");
    }

    void closesPositions_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("subType");
        QTest::addColumn<int>("first"); // which positions the request names, oldest 0
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("state");

        // EURUSD buy +90, EURUSD sell -44, XAUUSD buy +194, GBPUSD buy 0.
        const QString rest("buy 2000 at 2000.3 makes 194.00, buy 1000 at 1.2502 makes 0.00");
        QTest::newRow("the oldest by its ticket")
            << 4 << 0 << 0 << 0 << "10090.00, sell 4000 at 1.1 makes -44.00, " + rest + ", margin 482.54";
        QTest::newRow("all") << 9 << 0 << 0 << 0 << "10240.00";
        QTest::newRow("the profitable ones")
            << 9 << 1 << 0 << 0
            << "10284.00, sell 4000 at 1.1 makes -44.00, buy 1000 at 1.2502 makes 0.00, margin 282.51";
        QTest::newRow("the losing ones") << 9 << 2 << 0 << 0
                                         << "9956.00, buy 10000 at 1.1001 makes 90.00, " + rest + ", margin 812.59";
        // Both sides close at the second one's open price, for the smaller volume.
        QTest::newRow("the buy by the smaller sell")
            << 10 << 0 << 0 << 1 << "9996.00, buy 6000 at 1.1001 makes 54.00, " + rest + ", margin 592.57";
        QTest::newRow("the smaller sell by the buy")
            << 10 << 0 << 1 << 0 << "9996.00, buy 6000 at 1.1001 makes 54.00, " + rest + ", margin 592.57";
    }
    void closesPositions()
    {
        QFETCH(int, type);
        QFETCH(int, subType);
        QFETCH(int, first);
        QFETCH(int, second);
        Fixture f;
        QVERIFY(f.order("EURUSD", 0, 10000) && f.order("EURUSD", 1, 4000));
        QVERIFY(f.order("XAUUSD", 0, 2000) && f.order("GBPUSD", 0, 1000));
        f.engine.setQuote("GBPUSD", {1.25020, 1.25040});
        f.engine.setQuote("EURUSD", {1.10100, 1.10110});
        f.engine.setQuote("XAUUSD", {2010.00, 2010.30});
        const QList<qint64> tickets = f.account().positions.keys();
        TradeRequest request{type, 0, 0, {}};
        request.orderId = request.positionId = tickets.at(first);
        request.positionById = tickets.at(second);
        request.subType = subType;
        QVERIFY(f.run(request));
        QTEST(f.state(), "state");
        QCOMPARE(f.account().orderHistory.first().state, int(Filled));                  // the first market order
        QCOMPARE(f.account().closed.last().closePrice, f.account().deals.last().price); // the history agrees
    }
};

KESTRAL_TEST_MAIN(TestTradingEngine)
#include "tst_tradingengine.moc"
