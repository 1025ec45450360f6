// The local server's order arithmetic against hand-computed figures, with quotes set
// by hand and a fixed clock.
#include "testmain.h"
#include "tradingengine.h"

using namespace tradeserver;
Q_DECLARE_METATYPE(TradeRequest)

namespace {

struct Fixture
{
    explicit Fixture(double deposit = 10000.0, int leverage = 100)
        : engine(defaultInstruments(), [this] { return clock; })
    {
        engine.setQuote("EURUSD", {1.10000, 1.10010});
        engine.setQuote("GBPUSD", {1.25000, 1.25020});
        engine.setQuote("USDJPY", {150.000, 150.020});
        engine.setQuote("EURGBP", {0.85000, 0.85010});
        engine.setQuote("XAUUSD", {2000.00, 2000.30});
        login = engine.createAccount("Tester", "main", "view", deposit, leverage);
    }

    // Fields in declaration order: type, order type, volume, symbol, price, stop price, sl, tp.
    bool run(const TradeRequest &request) { return engine.execute(login, request).ok(); }
    bool order(const QString &symbol, int orderType, qint64 volume, double sl = 0.0, double tp = 0.0)
    {
        return run({0, orderType, volume, symbol, 0.0, 0.0, sl, tp});
    }

    const Account &account() const { return *engine.account(login); }
    qint64 lastTicket() const { return account().positions.lastKey(); }

    qint64 clock = 1700000000;
    TradingEngine engine;
    qint64 login = 0;
};

} // namespace

class TestTradingEngine : public QObject
{
    Q_OBJECT

private slots:
    void closingBooksProfitInDollars_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("side");
        QTest::addColumn<qint64>("volume");
        QTest::addColumn<double>("bid"); // the quote the position closes at
        QTest::addColumn<double>("ask");
        QTest::addColumn<double>("profit");

        QTest::newRow("EURUSD buy 1 lot, 10 pips up: (1.10110 - 1.10010) x 100000")
            << "EURUSD" << 0 << qint64(10000) << 1.10110 << 1.10120 << 100.00;
        QTest::newRow("EURUSD sell 0.5 lot closes at the ask: (1.10000 - 1.09900) x 50000")
            << "EURUSD" << 1 << qint64(5000) << 1.09890 << 1.09900 << 50.00;
        QTest::newRow("USDJPY buy 1 lot: 50000 JPY at 1 / 150.520")
            << "USDJPY" << 0 << qint64(10000) << 150.520 << 150.540 << 332.18;
        QTest::newRow("EURGBP buy 1 lot: 100 GBP at the GBPUSD bid 1.25")
            << "EURGBP" << 0 << qint64(10000) << 0.85110 << 0.85120 << 125.00;
        QTest::newRow("XAUUSD sell 0.1 lot of 100 oz: 10 x 10")
            << "XAUUSD" << 1 << qint64(1000) << 1989.70 << 1990.00 << 100.00;
    }
    void closingBooksProfitInDollars()
    {
        QFETCH(QString, symbol);
        QFETCH(int, side);
        QFETCH(double, bid);
        QFETCH(double, ask);
        QFETCH(double, profit);

        Fixture f;
        QFETCH(qint64, volume);
        QVERIFY(f.order(symbol, side, volume));
        const qint64 ticket = f.lastTicket();
        f.engine.setQuote(symbol, {bid, ask});
        TradeRequest close;
        close.type = 4;
        close.orderId = ticket;
        QVERIFY(f.run(close));
        QVERIFY(f.account().positions.isEmpty());
        QCOMPARE(f.account().balance, 10000.0 + profit);
        QCOMPARE(f.account().closed.size(), 1);
        QCOMPARE(f.account().closed.first().profit, profit);
        QCOMPARE(f.account().closed.first().closePrice, side == 0 ? bid : ask);
        QCOMPARE(f.account().deals.last().profit, profit);
    }

    void marginFollowsLeverage_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<qint64>("volume");
        QTest::addColumn<int>("leverage");
        QTest::addColumn<double>("margin");

        QTest::newRow("EURUSD 1 lot at 1.10010, 1:500") << "EURUSD" << qint64(10000) << 500 << 220.02;
        QTest::newRow("USDJPY 1 lot: 150.020 / 150.000 x 1000") << "USDJPY" << qint64(10000) << 100 << 1000.1333;
        QTest::newRow("XAUUSD 0.1 lot of 100 oz at 2000.30") << "XAUUSD" << qint64(1000) << 100 << 200.03;
    }
    void marginFollowsLeverage()
    {
        QFETCH(QString, symbol);
        QFETCH(qint64, volume);
        QFETCH(int, leverage);
        QFETCH(double, margin);
        Fixture f(10000.0, leverage);
        QVERIFY(f.order(symbol, 0, volume));
        QVERIFY(qAbs(f.engine.margin(f.account()) - margin) < 0.001);
    }

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
        QTest::newRow("10 lots need 11001 of margin") << TradeRequest{0, 0, 100000, "EURUSD"} << 10019;
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
        QVERIFY(f.account().positions.isEmpty() && f.account().orders.isEmpty());
        QCOMPARE(f.account().balance, 10000.0);
    }

    void pendingOrdersFillWhenPriceCrosses_data()
    {
        QTest::addColumn<int>("orderType");
        QTest::addColumn<double>("price");
        QTest::addColumn<double>("stopPrice");
        QTest::addColumn<double>("bid");
        QTest::addColumn<double>("ask");
        QTest::addColumn<double>("fillPrice"); // 0: no position
        QTest::addColumn<int>("waitingType");  // -1: no order left

        QTest::newRow("buy limit reached by the ask") << 2 << 1.09500 << 0.0 << 1.09490 << 1.09500 << 1.09500 << -1;
        QTest::newRow("buy limit with the ask still above") << 2 << 1.09500 << 0.0 << 1.09500 << 1.09510 << 0.0 << 2;
        QTest::newRow("sell limit reached by the bid") << 3 << 1.10500 << 0.0 << 1.10500 << 1.10510 << 1.10500 << -1;
        QTest::newRow("buy stop reached by the ask") << 4 << 1.10500 << 0.0 << 1.10495 << 1.10505 << 1.10505 << -1;
        QTest::newRow("buy stop with the ask still below") << 4 << 1.10500 << 0.0 << 1.10480 << 1.10490 << 0.0 << 4;
        QTest::newRow("sell stop reached by the bid") << 5 << 1.09500 << 0.0 << 1.09495 << 1.09505 << 1.09495 << -1;
        QTest::newRow("buy stop limit arms a buy limit at its limit price")
            << 6 << 1.10500 << 1.10300 << 1.10495 << 1.10505 << 0.0 << 2;
        QTest::newRow("sell stop limit arms a sell limit at its limit price")
            << 7 << 1.09500 << 1.09700 << 1.09490 << 1.09500 << 0.0 << 3;
    }
    void pendingOrdersFillWhenPriceCrosses()
    {
        QFETCH(int, orderType);
        QFETCH(double, price);
        QFETCH(double, stopPrice);
        QFETCH(double, bid);
        QFETCH(double, ask);
        QFETCH(double, fillPrice);
        QFETCH(int, waitingType);

        Fixture f;
        QVERIFY(f.run({0, orderType, 10000, "EURUSD", price, stopPrice}));
        const qint64 ticket = f.account().orders.firstKey();
        const QSet<qint64> changed = f.engine.setQuote("EURUSD", {bid, ask});
        QCOMPARE(f.account().positions.value(ticket).openPrice, fillPrice);
        if (fillPrice > 0.0)
            QCOMPARE(f.account().orderHistory.last().state, int(Filled));
        QCOMPARE(f.account().orders.contains(ticket) ? f.account().orders.value(ticket).type : -1, waitingType);
        if (stopPrice > 0.0)
            QCOMPARE(f.account().orders.value(ticket).price, stopPrice);
        QCOMPARE(changed.contains(f.login), fillPrice > 0.0 || stopPrice > 0.0);
    }

    void unaffordableFillIsRejected()
    {
        Fixture f(500.0);
        QVERIFY(f.run({0, 2, 10000, "EURUSD", 1.09500})); // 1 lot needs about 1095 of margin
        f.engine.setQuote("EURUSD", {1.09480, 1.09490});
        QVERIFY(f.account().positions.isEmpty() && f.account().orders.isEmpty());
        QCOMPARE(f.account().orderHistory.last().state, int(Rejected));
    }

    void ordersExpire()
    {
        Fixture f;
        TradeRequest request{0, 2, 100, "EURUSD", 1.09};
        request.timeType = 2;
        request.expiryMinutes = 5;
        QVERIFY(f.run(request));
        f.clock += 299;
        f.engine.setQuote("EURUSD", {1.10001, 1.10011});
        QCOMPARE(f.account().orders.size(), 1);
        f.clock += 1;
        QVERIFY(f.engine.setQuote("EURUSD", {1.10002, 1.10012}).contains(f.login));
        QVERIFY(f.account().orders.isEmpty());
        QCOMPARE(f.account().orderHistory.last().state, int(Expired));
    }

    void stopsClosePositions_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<double>("sl");
        QTest::addColumn<double>("tp");
        QTest::addColumn<double>("bid");
        QTest::addColumn<double>("ask");
        QTest::addColumn<double>("profit"); // 0: still open

        QTest::newRow("buy stopped out by the bid") << 0 << 1.09000 << 0.0 << 1.09000 << 1.09010 << -1010.00;
        QTest::newRow("buy taking profit by the bid") << 0 << 0.0 << 1.10500 << 1.10500 << 1.10510 << 490.00;
        QTest::newRow("buy left open while the ask alone passes") << 0 << 0.0 << 1.10500 << 1.10495 << 1.10505 << 0.0;
        QTest::newRow("sell stopped out by the ask") << 1 << 1.10500 << 0.0 << 1.10490 << 1.10500 << -500.00;
        QTest::newRow("sell taking profit by the ask") << 1 << 0.0 << 1.09500 << 1.09490 << 1.09500 << 500.00;
    }
    void stopsClosePositions()
    {
        QFETCH(int, side);
        QFETCH(double, sl);
        QFETCH(double, tp);
        QFETCH(double, bid);
        QFETCH(double, ask);
        QFETCH(double, profit);
        Fixture f;
        QVERIFY(f.order("EURUSD", side, 10000, sl, tp));
        f.engine.setQuote("EURUSD", {bid, ask});
        QCOMPARE(f.account().positions.isEmpty(), profit != 0.0);
        QCOMPARE(f.account().balance, 10000.0 + profit);
    }

    void closeByNetsTheSmallerVolume_data()
    {
        QTest::addColumn<qint64>("buyVolume");
        QTest::addColumn<qint64>("sellVolume");
        QTest::addColumn<double>("profit");
        QTest::addColumn<QString>("left"); // side and volume of what stays open

        // Bought at 1.10010, sold at 1.10200: the pair books 0.00190 per unit.
        QTest::newRow("equal volumes close both") << qint64(10000) << qint64(10000) << 190.00 << "";
        QTest::newRow("the larger buy keeps the rest") << qint64(10000) << qint64(4000) << 76.00 << "buy 6000";
        QTest::newRow("the larger sell keeps the rest") << qint64(3000) << qint64(5000) << 57.00 << "sell 2000";
    }
    void closeByNetsTheSmallerVolume()
    {
        QFETCH(qint64, buyVolume);
        QFETCH(qint64, sellVolume);
        QFETCH(double, profit);

        Fixture f;
        QVERIFY(f.order("EURUSD", 0, buyVolume));
        TradeRequest request;
        request.type = 10;
        request.positionId = f.lastTicket();
        f.engine.setQuote("EURUSD", {1.10200, 1.10210});
        QVERIFY(f.order("EURUSD", 1, sellVolume));
        request.positionById = f.lastTicket();
        f.engine.setQuote("EURUSD", {1.12000, 1.12010}); // the market price plays no part
        QVERIFY(f.run(request));
        QCOMPARE(f.account().balance, 10000.0 + profit);
        QStringList open;
        for (const OpenPosition &p : f.account().positions)
            open << QStringLiteral("%1 %2").arg(p.sell ? "sell" : "buy").arg(p.volume);
        QTEST(open.join(", "), "left");
    }

    void closeAllBySign_data()
    {
        QTest::addColumn<int>("subType");
        QTest::addColumn<double>("booked");
        QTest::addColumn<int>("left");

        // EURUSD buy +90, EURUSD sell -110, XAUUSD buy +97, GBPUSD buy 0.
        QTest::newRow("0 closes all") << 0 << 77.00 << 0;
        QTest::newRow("1 closes the profitable ones") << 1 << 187.00 << 2;
        QTest::newRow("2 closes the losing ones") << 2 << -110.00 << 3;
    }
    void closeAllBySign()
    {
        QFETCH(double, booked);
        Fixture f;
        QVERIFY(f.order("EURUSD", 0, 10000) && f.order("EURUSD", 1, 10000));
        QVERIFY(f.order("XAUUSD", 0, 1000) && f.order("GBPUSD", 0, 1000));
        f.engine.setQuote("GBPUSD", {1.25020, 1.25040});
        f.engine.setQuote("EURUSD", {1.10100, 1.10110});
        f.engine.setQuote("XAUUSD", {2010.00, 2010.30});
        TradeRequest request;
        request.type = 9;
        QFETCH(int, subType);
        request.subType = subType;
        QVERIFY(f.run(request));
        QCOMPARE(f.account().balance, 10000.0 + booked);
        QTEST(int(f.account().positions.size()), "left");
    }
};

KESTRAL_TEST_MAIN(TestTradingEngine)
#include "tst_tradingengine.moc"
