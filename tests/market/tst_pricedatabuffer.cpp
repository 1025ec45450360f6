#include "pricedatabuffer.h"
#include "testmain.h"

#include <atomic>
#include <thread>

namespace {

using Pushes = QList<QPair<QString, double>>; // symbol and bid

TickData makeTick(const QString &symbol, double bid)
{
    TickData tick;
    tick.symbol = symbol;
    tick.bid = bid;
    tick.digits = 5;
    return tick;
}

// The bids of the first batch the spy caught, by symbol.
QMap<QString, double> firstBatch(const QSignalSpy &spy)
{
    QMap<QString, double> bids;
    for (const TickData &tick : spy.first().first().value<QList<TickData>>())
        bids.insert(tick.symbol, tick.bid);
    return bids;
}

} // namespace

class TestPriceDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    void flushesTheNewestTickOfEachSymbol_data()
    {
        QTest::addColumn<Pushes>("pushes");
        QTest::addColumn<int>("records");
        QTest::addColumn<QMap<QString, double>>("bids");

        QTest::newRow("the last of three ticks of one symbol wins")
            << Pushes{{"EURUSD", 1.1}, {"EURUSD", 1.2}, {"EURUSD", 1.3}} << 1 << QMap<QString, double>{{"EURUSD", 1.3}};
        QTest::newRow("two symbols give one record each") << Pushes{{"EURUSD", 1.1}, {"GBPUSD", 1.5}, {"EURUSD", 1.2}}
                                                          << 2 << QMap<QString, double>{{"EURUSD", 1.2}, {"GBPUSD", 1.5}};
        QTest::newRow("a tick without a symbol is ignored")
            << Pushes{{"", 9.9}, {"USDJPY", 150.1}} << 1 << QMap<QString, double>{{"USDJPY", 150.1}};
    }
    void flushesTheNewestTickOfEachSymbol()
    {
        QFETCH(Pushes, pushes);

        PriceDataBuffer buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        buffer.beginTimer();
        for (const auto &push : std::as_const(pushes))
            buffer.pushTick(makeTick(push.first, push.second));
        QVERIFY(spy.wait(20000));
        QTEST(spy.first().first().value<QList<TickData>>().size(), "records");
        QTEST(firstBatch(spy), "bids");
        QCOMPARE(spy.first().first().value<QList<TickData>>().first().digits, 5); // the whole record travels
        // Nothing pending: the following periods stay quiet.
        QVERIFY(!spy.wait(200));
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
        QVERIFY(spy.wait(20000));
        QCOMPARE(firstBatch(spy).keys(), QStringList{"GBPUSD"});
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
        QVERIFY(spy.wait(20000));
        QCOMPARE(firstBatch(spy), (QMap<QString, double>{{"EURUSD", 1.1}}));
    }

    // Another thread pushes rising prices while this one starts, stops and flushes:
    // a symbol's price never goes back or repeats across batches, and the last price
    // pushed while running arrives.
    void takesTicksFromAnotherThread()
    {
        constexpr int symbols = 50;
        PriceDataBuffer buffer;
        buffer.setInterval(1);
        std::atomic<bool> stop{false};
        QVector<double> lastPushed(symbols, -1);
        std::thread pusher([&] {
            for (int i = 0; !stop; ++i) {
                buffer.pushTick(makeTick(QStringLiteral("S%1").arg(i % symbols), i));
                lastPushed[i % symbols] = i;
            }
        });
        QSignalSpy flushes(&buffer, &PriceDataBuffer::tickUpdated);
        for (int round = 0; round < 20; ++round) {
            buffer.endTimer();
            buffer.beginTimer();
            QVERIFY(flushes.wait(20000));
        }
        stop = true;
        pusher.join();
        QMap<QString, double> seen;
        const auto take = [&] {
            for (const auto &batch : std::as_const(flushes)) {
                for (const TickData &tick : batch.first().value<QList<TickData>>()) {
                    QVERIFY2(tick.bid > seen.value(tick.symbol, -1), qPrintable(tick.symbol));
                    seen[tick.symbol] = tick.bid;
                }
            }
            flushes.clear();
        };
        QTRY_VERIFY_WITH_TIMEOUT((take(), seen.size() == symbols && [&] {
            for (int s = 0; s < symbols; ++s)
                if (seen.value(QStringLiteral("S%1").arg(s)) != lastPushed[s]) return false;
            return true;
        }()), 20000);
    }
};

KESTRAL_TEST_MAIN(TestPriceDataBuffer)
#include "tst_pricedatabuffer.moc"
