#include "mydatetimeticker.h"
#include "testmain.h"

#include <qcustomplot.h>
#include <ctime>

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
        QTest::addColumn<double>("tick");
        QTest::addColumn<QString>("label");
        QTest::newRow("a tick between bars shows the earlier bar") << 1.5 << "14 Nov\n23:13";
        QTest::newRow("before the oldest bar is blank") << -1.0 << "";
        QTest::newRow("past the newest bar is blank") << 5.0 << "";
        QTest::newRow("a bar time beyond 64 bits is blank") << 4.0 << "";
        QTest::newRow("a position beyond any int is blank") << 1e30 << "";
    }
    void labels()
    {
        QFETCH(double, tick);
        qputenv("TZ", "UTC");
        tzset();
        auto ticker = tickerWithBars(4);
        ticker->appendTimestamp(9223372036854775807.0); // one above the largest 64-bit time
        QTEST(ticker->getTickLabel(tick, QLocale::c(), 'g', 6), "label");
    }
};

KESTRAL_TEST_MAIN(TestMyDateTimeTicker)
#include "tst_mydatetimeticker.moc"
