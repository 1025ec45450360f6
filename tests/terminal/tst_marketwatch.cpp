#include "marketwatchrows.h"
#include "testmain.h"

#include <QTableWidget>

namespace {

TickData tick(double bid, double ask, int digits = 5)
{
    TickData t;
    t.symbol = QStringLiteral("EURUSD");
    t.bid = bid;
    t.ask = ask;
    t.digits = digits;
    t.askHigh = ask;
    t.bidLow = bid;
    return t;
}

QString cellText(const QTableWidget &table, int column)
{
    return table.item(0, column)->text();
}

QColor cellColour(const QTableWidget &table, int column)
{
    return table.item(0, column)->foreground().color();
}

} // namespace

class TestMarketWatch : public QObject
{
    Q_OBJECT

private slots:
    // Each row: a tick after an earlier one; column 1 (bid), 2 (ask) or 3 (spread).
    void moves_data()
    {
        QTest::addColumn<TickData>("before");
        QTest::addColumn<TickData>("after");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");

        QTest::newRow("bid rises") << tick(1.0999, 1.1001) << tick(1.1, 1.1001) << 1 << "1.10000" << QColor(Qt::blue);
        QTest::newRow("bid falls") << tick(1.1, 1.1001) << tick(1.09995, 1.1001) << 1 << "1.09995" << QColor(Qt::red);
        QTest::newRow("bid unchanged") << tick(1.1, 1.1001) << tick(1.1, 1.1002) << 1 << "1.10000" << QColor(Qt::black);
        QTest::newRow("ask falls") << tick(1.1, 1.1002) << tick(1.1, 1.1001) << 2 << "1.10010" << QColor(Qt::red);
        QTest::newRow("first price after an empty row")
            << TickData() << tick(1.1, 1.1001) << 1 << "1.10000" << QColor(Qt::blue);
        QTest::newRow("12 points are 12, not 11")
            << tick(1.1, 1.1001) << tick(1.1, 1.10012) << 3 << "12" << QColor(Qt::blue);
        QTest::newRow("one-digit spread") << tick(1.2, 1.4, 1) << tick(1.2, 1.3, 1) << 3 << "1" << QColor(Qt::red);
        QTest::newRow("spread unchanged") << tick(1.1, 1.1001) << tick(1.2, 1.2001) << 3 << "10" << QColor(Qt::black);
        QTest::newRow("high is blue") << tick(1.1, 1.1001) << tick(1.1, 1.1001) << 4 << "1.10010" << QColor(Qt::blue);
        QTest::newRow("low is red") << tick(1.1, 1.1001) << tick(1.1, 1.1001) << 5 << "1.10000" << QColor(Qt::red);
    }
    void moves()
    {
        QFETCH(TickData, before);
        QFETCH(TickData, after);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QTableWidget table(1, 9);
        fillMarketWatchRow(&table, 0, "EURUSD", before, 5);
        updateMarketWatchRow(&table, 0, after, QTimeZone::utc());
        QCOMPARE(cellText(table, column), text);
        QCOMPARE(cellColour(table, column), colour);
        QCOMPARE(cellText(table, 0), "EURUSD");
    }

    void derivedColumns_data()
    {
        QTest::addColumn<TickData>("tick");
        QTest::addColumn<QStringList>("expected"); // time, %H, %L

        TickData quarterBelowHigh = tick(1.0, 1.0);
        quarterBelowHigh.askHigh = 1.0025;
        quarterBelowHigh.bidLow = 0.99;
        quarterBelowHigh.serverTime = 3600 + 61;
        QTest::newRow("distances in percent, server time in its zone")
            << quarterBelowHigh << QStringList{"03:01:01", "-0.25%", "1.00%"};
        TickData zero = tick(0.0, 0.0);
        zero.askHigh = 1.0;
        QTest::newRow("time 0 and ask 0") << zero << QStringList{"00:00:00", "0.00%", "0.00%"};
    }
    void derivedColumns()
    {
        QFETCH(TickData, tick);
        QFETCH(QStringList, expected);
        QTableWidget table(1, 9);
        fillMarketWatchRow(&table, 0, "EURUSD", TickData(), 5);
        updateMarketWatchRow(&table, 0, tick, QTimeZone(2 * 3600));
        QCOMPARE((QStringList{cellText(table, 6), cellText(table, 7), cellText(table, 8)}), expected);
    }

    void missingCellsAreSkipped()
    {
        QTableWidget table(1, 9);
        table.setItem(0, 0, new QTableWidgetItem("EURUSD"));
        updateMarketWatchRow(&table, 0, tick(1.1, 1.2), QTimeZone::utc());
        QCOMPARE(table.item(0, 1), nullptr);
    }
};

KESTRAL_TEST_MAIN(TestMarketWatch)
#include "tst_marketwatch.moc"
