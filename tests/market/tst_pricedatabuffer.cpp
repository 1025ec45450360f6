#include "pricedatabuffer.h"
#include "testmain.h"

#include <atomic>
#include <thread>

namespace {

TickData makeTick(const QString &symbol, double bid)
{
    TickData tick;
    tick.symbol = symbol;
    tick.bid = bid;
    tick.digits = 5;
    return tick;
}

} // namespace

class TestPriceDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    // Steps: begin, end, interval (a new period), or SYMBOL=bid pushed.
    void flushesTheNewestTickOfEachSymbol_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("batch"); // the first one emitted
        QTest::newRow("the last of three ticks of one symbol wins") << "begin EURUSD=1.1 EURUSD=1.2 EURUSD=1.3" << "EURUSD=1.3";
        QTest::newRow("two symbols give one record each") << "begin EURUSD=1.1 GBPUSD=1.5 EURUSD=1.2" << "EURUSD=1.2 GBPUSD=1.5";
        QTest::newRow("a tick without a symbol is ignored") << "begin =9.9 USDJPY=150.1" << "USDJPY=150.1";
        QTest::newRow("before the first start ticks are dropped") << "EURUSD=1.1 begin GBPUSD=1.5" << "GBPUSD=1.5";
        QTest::newRow("after a stop ticks are dropped") << "begin end EURUSD=1.1 begin GBPUSD=1.5" << "GBPUSD=1.5";
        QTest::newRow("a new period does not start a stopped timer") << "interval EURUSD=1.1 begin GBPUSD=1.5" << "GBPUSD=1.5";
        QTest::newRow("what was pending survives a stop") << "begin EURUSD=1.1 end begin" << "EURUSD=1.1";
    }
    void flushesTheNewestTickOfEachSymbol()
    {
        QFETCH(QString, steps);

        PriceDataBuffer buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("begin"))
                buffer.beginTimer();
            else if (step == QLatin1String("end"))
                buffer.endTimer();
            else if (step == QLatin1String("interval"))
                buffer.setInterval(20);
            else
                buffer.pushTick(makeTick(step.section(QLatin1Char('='), 0, 0), step.section(QLatin1Char('='), 1).toDouble()));
        }
        QVERIFY(spy.wait(20000));
        QStringList batch;
        for (const TickData &tick : spy.first().first().value<QList<TickData>>()) {
            batch << tick.symbol + QLatin1Char('=') + QString::number(tick.bid);
            QCOMPARE(tick.digits, 5); // the whole record travels
        }
        batch.sort();
        QTEST(batch.join(QLatin1Char(' ')), "batch");
        QVERIFY(!spy.wait(200)); // nothing pending, nothing emitted
    }

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
