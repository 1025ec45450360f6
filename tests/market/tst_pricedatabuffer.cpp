#include "pricedatabuffer.h"
#include "testmain.h"

#include <atomic>
#include <thread>

static TickData makeTick(const QString &symbol, double bid)
{
    return TickData::fromJson({{"symbol", symbol}, {"bid", bid}});
}

class TestPriceDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    // Steps: begin, end, or SYMBOL=bid pushed.
    void flushesTheNewestTickOfEachSymbol_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("batch"); // the first one emitted
        QTest::newRow("newest wins, one record per symbol") << "begin EURUSD=1.1 GBPUSD=1.5 EURUSD=1.2" << "EURUSD=1.2 GBPUSD=1.5";
        QTest::newRow("a tick without a symbol is ignored") << "begin =9.9 USDJPY=150.1" << "USDJPY=150.1";
        QTest::newRow("before the first start ticks are dropped") << "EURUSD=1.1 begin GBPUSD=1.5" << "GBPUSD=1.5";
        QTest::newRow("after a stop ticks are dropped") << "begin end EURUSD=1.1 begin GBPUSD=1.5" << "GBPUSD=1.5";
        QTest::newRow("what was pending survives a stop") << "begin EURUSD=1.1 end begin" << "EURUSD=1.1";
    }
    void flushesTheNewestTickOfEachSymbol()
    {
        QFETCH(QString, steps);
        PriceDataBuffer buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        for (const QString &step : steps.split(' ')) {
            if (step == "begin")
                buffer.beginTimer();
            else if (step == "end")
                buffer.endTimer();
            else
                buffer.pushTick(makeTick(step.section('=', 0, 0), step.section('=', 1).toDouble()));
        }
        QVERIFY(spy.wait(20000));
        QStringList batch;
        for (const TickData &tick : spy.first().first().value<QList<TickData>>())
            batch << tick.symbol + '=' + QString::number(tick.bid);
        batch.sort();
        QTEST(batch.join(' '), "batch");
        QVERIFY(!spy.wait(200)); // nothing pending, nothing emitted
    }

    void takesTicksFromAnotherThread()
    {
        constexpr int symbols = 50;
        PriceDataBuffer buffer;
        buffer.setInterval(1);
        std::atomic<bool> stop{false};
        QVector<double> lastPushed(symbols, -1);
        std::atomic<int> pushed{0};
        std::thread pusher([&] {
            for (int i = 0; !stop; ++i) {
                buffer.pushTick(makeTick(QString::number(i % symbols), i));
                lastPushed[i % symbols] = i;
                pushed = i + 1;
            }
        });
        QSignalSpy flushes(&buffer, &PriceDataBuffer::tickUpdated);
        for (int round = 0; round < 20; ++round) {
            buffer.endTimer();
            buffer.beginTimer();
            QVERIFY(flushes.wait(20000));
        }
        // Every symbol once more after the last start: no last tick may fall in a stop.
        const int mark = pushed;
        QTRY_VERIFY_WITH_TIMEOUT(pushed > mark + symbols, 20000);
        stop = true;
        pusher.join();
        QVector<double> seen(symbols, -1);
        const auto caughtUp = [&] {
            for (const auto &batch : std::as_const(flushes)) {
                for (const TickData &tick : batch.first().value<QList<TickData>>()) {
                    if (tick.bid <= seen[tick.symbol.toInt()])
                        return false; // an older tick after a newer one
                    seen[tick.symbol.toInt()] = tick.bid;
                }
            }
            flushes.clear();
            return seen == lastPushed;
        };
        QTRY_VERIFY_WITH_TIMEOUT(caughtUp(), 20000);
    }
};

KESTRAL_TEST_MAIN(TestPriceDataBuffer)
#include "tst_pricedatabuffer.moc"
