#include "mydatetimeticker.h"
#include "testmain.h"

#include <ctime>
#include <limits>
#include <qcustomplot.h>

namespace {

QSharedPointer<MyDateTimeTicker> tickerWithBars(int count)
{
    QSharedPointer<MyDateTimeTicker> ticker(new MyDateTimeTicker);
    ticker->setDateTimeFormat("dd MMM\nHH:mm");
    for (int i = 0; i < count; ++i)
        ticker->appendTimestamp(1700000000 + i * 3600);
    return ticker;
}

} // namespace

Q_DECLARE_METATYPE(QCPRange)

class TestMyDateTimeTicker : public QObject
{
    Q_OBJECT

private slots:
    void tickStep_data()
    {
        QTest::addColumn<double>("raw");
        QTest::addColumn<double>("step");
        QTest::newRow("a fraction of a bar rounds to a readable fraction") << 0.3 << 0.25;
        QTest::newRow("almost one bar rounds up to one") << 0.9 << 1.0;
        QTest::newRow("halfway between one and two takes two") << 1.5 << 2.0;
        QTest::newRow("just below halfway takes one") << 1.49 << 1.0;
        QTest::newRow("halfway between five and ten takes ten") << 7.5 << 10.0;
        QTest::newRow("twenty bars is nearer fifteen than thirty") << 20.0 << 15.0;
        QTest::newRow("halfway between a week and a month takes the month") << 26955.0 << 43830.0;
        QTest::newRow("far beyond a month stays at a month") << 3681719.0 << 43830.0;
        QTest::newRow("past the threshold the step counts years") << 3681721.0 << 5 * 525960.0;
        QTest::newRow("ten million bars take twenty years") << 1e7 << 20 * 525960.0;
    }
    void tickStep()
    {
        QFETCH(double, raw);
        QTEST(MyDateTimeTicker().getTickStep(QCPRange(0, raw * (5 + 1e-10))), "step");
    }

    // Through a real axis: the library trims the ticks to the visible range.
    void visibleTicks_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<QCPRange>("range");
        QTest::addColumn<QVector<double>>("ticks");
        QTest::newRow("a range wider than the bars ends on the newest bar")
            << 10 << QCPRange(0, 100) << QVector<double>{0, 9};
        QTest::newRow("a range entirely below zero has one tick at its upper end")
            << 10 << QCPRange(-20, -5) << QVector<double>{-5};
        QTest::newRow("a range reaching below zero counts from the oldest bar")
            << 100 << QCPRange(-10, 40) << QVector<double>{0, 10, 20, 30, 40};
        QTest::newRow("fewer than five bars in view put several ticks on a bar")
            << 100 << QCPRange(10, 13) << QVector<double>{10, 10.5, 11, 11.5, 12, 12.5, 13};
        QTest::newRow("no bars no ticks") << 0 << QCPRange(0, 100) << QVector<double>{};
    }
    void visibleTicks()
    {
        QFETCH(int, bars);
        QFETCH(QCPRange, range);
        QCustomPlot plot;
        plot.resize(800, 400);
        plot.xAxis->setTicker(tickerWithBars(bars));
        plot.xAxis->setRange(range);
        plot.replot();
        QTEST(plot.xAxis->tickVector(), "ticks");
    }

    // Zoomed in across a bar boundary far from bar 0 the step is tiny; the
    // ticks must still be a handful, not a walk from the oldest bar.
    void deepZoomStaysBounded()
    {
        const auto ticker = tickerWithBars(1000);
        const QCPRange range(501 - 1e-12, 501 + 1e-12); // near the precision of the keys
        const double step = ticker->getTickStep(range);
        const QVector<double> ticks = ticker->createTickVector(step, range);
        QVERIFY2(ticks.size() <= 12, qPrintable(QString::number(ticks.size())));
        QCOMPARE(ticks.last(), 501.0);
        QVERIFY(ticks.first() >= range.lower - 2 * step);
    }

    void labels_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<double>("tick");
        QTest::addColumn<QString>("label");
        const QByteArray utc("UTC");
        QTest::newRow("a tick between bars shows the earlier bar") << utc << 1.5 << "14 Nov\n23:13";
        QTest::newRow("times are shown in the local zone") << QByteArray("Asia/Tokyo") << 0.0 << "15 Nov\n07:13";
        QTest::newRow("fractions of a second are dropped") << utc << 4.0 << "15 Nov\n02:13";
        QTest::newRow("before the oldest bar is blank") << utc << -1.0 << "";
        QTest::newRow("past the newest bar is blank") << utc << 6.0 << "";
        QTest::newRow("a bar time beyond 64 bits is blank") << utc << 5.0 << "";
        QTest::newRow("a position beyond any int is blank") << utc << 1e30 << "";
        QTest::newRow("a position that is not a number is blank")
            << utc << std::numeric_limits<double>::quiet_NaN() << "";
    }
    void labels()
    {
        QFETCH(QByteArray, zone);
        QFETCH(double, tick);
        qputenv("TZ", zone);
        tzset();
        auto ticker = tickerWithBars(4);
        ticker->appendTimestamp(1700014400 + 39.9);     // 02:13:59.9; rounding would show 02:14
        ticker->appendTimestamp(9223372036854775807.0); // one above the largest 64-bit time
        QTEST(ticker->getTickLabel(tick, QLocale::c(), 'g', 6), "label");
    }
};

KESTRAL_TEST_MAIN(TestMyDateTimeTicker)
#include "tst_mydatetimeticker.moc"
