#include "pricedatabuffer.h"
#include "testmain.h"

#include <QSignalSpy>
#include <atomic>
#include <thread>

namespace {

TickData makeTick(const QString &symbol, double bid)
{
    TickData tick;
    tick.symbol = symbol;
    tick.bid = bid;
    tick.ask = bid + 0.0002;
    tick.digits = 5;
    return tick;
}

struct Push
{
    QString symbol;
    double bid;
};

QMap<QString, double> bidsBySymbol(const QList<TickData> &ticks)
{
    QMap<QString, double> bids;
    for (const TickData &tick : ticks)
        bids.insert(tick.symbol, tick.bid);
    return bids;
}

} // namespace

Q_DECLARE_METATYPE(QList<Push>)

class TestPriceDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    void flushesTheNewestTickOfEachSymbol_data()
    {
        QTest::addColumn<QList<Push>>("pushes");
        QTest::addColumn<QStringList>("symbols");
        QTest::addColumn<QList<double>>("bids");

        QTest::newRow("the last of three ticks of one symbol wins")
            << QList<Push>{{"EURUSD", 1.1}, {"EURUSD", 1.2}, {"EURUSD", 1.3}} << QStringList{"EURUSD"}
            << QList<double>{1.3};
        QTest::newRow("two symbols give one record each")
            << QList<Push>{{"EURUSD", 1.1}, {"GBPUSD", 1.5}, {"EURUSD", 1.2}} << QStringList{"EURUSD", "GBPUSD"}
            << QList<double>{1.2, 1.5};
        QTest::newRow("a tick without a symbol is ignored")
            << QList<Push>{{"", 9.9}, {"USDJPY", 150.1}} << QStringList{"USDJPY"} << QList<double>{150.1};
    }
    void flushesTheNewestTickOfEachSymbol()
    {
        QFETCH(QList<Push>, pushes);
        QFETCH(QStringList, symbols);
        QFETCH(QList<double>, bids);

        PriceDataBuffer buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        buffer.beginTimer();
        for (const Push &push : std::as_const(pushes))
            buffer.pushTick(makeTick(push.symbol, push.bid));
        QVERIFY(spy.wait(1000));
        const auto ticks = spy.first().first().value<QList<TickData>>();
        QCOMPARE(ticks.size(), symbols.size());
        const auto found = bidsBySymbol(ticks);
        QCOMPARE(found.keys(), symbols);
        QCOMPARE(found.values(), bids);
        // The whole record travels, not only the price.
        QCOMPARE(ticks.first().digits, 5);

        // Nothing pending: the following periods stay quiet.
        QVERIFY(!spy.wait(200));
        QCOMPARE(spy.count(), 1);
    }

    void dropsTicksWhileStopped_data()
    {
        QTest::addColumn<bool>("everStarted");
        QTest::addColumn<int>("newInterval");

        QTest::newRow("before the first start") << false << 0;
        QTest::newRow("after the timer was stopped") << true << 0;
        QTest::newRow("a new period does not start a stopped timer") << false << 20;
    }
    void dropsTicksWhileStopped()
    {
        QFETCH(bool, everStarted);
        QFETCH(int, newInterval);

        PriceDataBuffer buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        if (everStarted) {
            buffer.beginTimer();
            buffer.endTimer();
        }
        if (newInterval)
            buffer.setInterval(newInterval);
        buffer.pushTick(makeTick("EURUSD", 1.1));
        QVERIFY(!spy.wait(200));

        // The dropped tick left no trace that a later start could flush.
        buffer.beginTimer();
        buffer.pushTick(makeTick("GBPUSD", 1.5));
        QVERIFY(spy.wait(1000));
        QCOMPARE(bidsBySymbol(spy.first().first().value<QList<TickData>>()).keys(), QStringList{"GBPUSD"});
    }

    void keepsPendingSymbolsAcrossAStop()
    {
        PriceDataBuffer buffer;
        buffer.setInterval(10000);
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        buffer.beginTimer();
        buffer.pushTick(makeTick("EURUSD", 1.1));
        buffer.endTimer();
        buffer.setInterval(20);
        buffer.beginTimer();
        QVERIFY(spy.wait(1000));
        QCOMPARE(bidsBySymbol(spy.first().first().value<QList<TickData>>()).value("EURUSD"), 1.1);
    }

    // Another thread pushes while this one starts, stops and flushes; under the
    // sanitizers this shows the running test and the tables are safe across threads.
    void takesTicksFromAnotherThread()
    {
        PriceDataBuffer buffer;
        buffer.setInterval(1);
        QList<TickData> received;
        connect(&buffer, &PriceDataBuffer::tickUpdated, this,
                [&received](const QList<TickData> &ticks) { received += ticks; });
        std::atomic<bool> stop{false};
        std::thread pusher([&] {
            for (int i = 0; !stop; ++i)
                buffer.pushTick(makeTick(QStringLiteral("S%1").arg(i % 50), i));
        });
        QSignalSpy flushes(&buffer, &PriceDataBuffer::tickUpdated);
        for (int round = 0; round < 20; ++round) {
            buffer.beginTimer();
            QVERIFY(flushes.wait(1000));
            buffer.endTimer();
        }
        stop = true;
        pusher.join();
        for (const TickData &tick : std::as_const(received))
            QVERIFY(tick.symbol.startsWith('S'));
    }
};

KESTRAL_TEST_MAIN(TestPriceDataBuffer)
#include "tst_pricedatabuffer.moc"
