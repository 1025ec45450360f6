#include "accountsummary.h"
#include "positiontables.h"
#include "tablerowindex.h"
#include "tablestyle.h"
#include "testmain.h"

#include <QJsonDocument>
#include <QTableWidget>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QString text(const QTableWidget &table, int row, int column)
{
    const QTableWidgetItem *item = table.item(row, column);
    return item ? item->text() : QString();
}

QStringList rowTexts(const QTableWidget &table, int row)
{
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column)
        texts << text(table, row, column);
    return texts;
}

Position position(qint64 ticket, const QString &symbol, const QString &type, double volume, double price,
                  double profit)
{
    Position p;
    p.ticket = ticket;
    p.symbol = symbol;
    p.type = type;
    p.volume = volume;
    p.price = price;
    p.profit = profit;
    p.digits = 3;
    return p;
}

} // namespace

class TestTradeTables : public QObject
{
    Q_OBJECT

private slots:
    void summary_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("netProfit");
        QTest::addColumn<QString>("expected");

        QTest::newRow("worked example")
            << QByteArray(R"({"balance":1000,"margin":20,"is_last":1,"array":[{"swap":-1.2}]})") << 12.5
            << " Balance: 1000.00 USD, Net profit: 12.50, Equity: 1011.30 USD, Used margin: 20.00, Free margin: 992.50";
        QTest::newRow("credit shown between equity and margin")
            << QByteArray(R"({"balance":1000,"credit":50,"margin":20,"is_last":1})") << 0.0
            << " Balance: 1000.00 USD, Net profit: 0.00, Equity: 1050.00 USD, Credit: 50.00, Used margin: 20.00, "
               "Free margin: 1030.00";
        QTest::newRow("soft margin call")
            << QByteArray(R"({"balance":100,"margin":150,"is_last":1})") << 0.0
            << "<font color='red'> Balance: 100.00 USD, Net profit: 0.00, Equity: 100.00 USD, Used margin: 150.00, "
               "Free margin: -50.00 (soft margin call)</font>";
        QTest::newRow("swap sum is not free margin")
            << QByteArray(R"({"balance":10,"margin":10,"is_last":1,"array":[{"swap":-5}]})") << 0.0
            << " Balance: 10.00 USD, Net profit: 0.00, Equity: 5.00 USD, Used margin: 10.00, Free margin: 0.00";
        QTest::newRow("null, text and missing swaps add nothing")
            << QByteArray(R"({"is_last":1,"array":[{"swap":null},{"swap":"3"},{},7,{"swap":2}]})") << 0.0
            << " Balance: 0.00 USD, Net profit: 0.00, Equity: 2.00 USD, Used margin: 0.00, Free margin: 0.00";
    }
    void summary()
    {
        QFETCH(QByteArray, reply);
        QFETCH(double, netProfit);
        QFETCH(QString, expected);
        AccountFigures figures;
        const QJsonObject object = parse(reply);
        readAccountFigures(object, figures);
        figures.swapSum = positionsSwapSum(object);
        QCOMPARE(figures.summaryText(netProfit), expected);
    }

    void lastPage_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("last");
        QTest::newRow("1") << QByteArray(R"({"is_last":1})") << true;
        QTest::newRow("-2") << QByteArray(R"({"is_last":-2})") << true;
        QTest::newRow("0") << QByteArray(R"({"is_last":0})") << false;
        QTest::newRow("true is not a number") << QByteArray(R"({"is_last":true})") << false;
        QTest::newRow("text") << QByteArray(R"({"is_last":"1"})") << false;
        QTest::newRow("fraction") << QByteArray(R"({"is_last":1.5})") << false;
        QTest::newRow("missing") << QByteArray(R"({})") << false;
    }
    void lastPage()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, last);
        QCOMPARE(isLastPositionsPage(parse(reply)), last);
    }

    void tradeRowColours_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("profit");
        QTest::addColumn<QColor>("sideColour");
        QTest::addColumn<QColor>("profitColour");
        QTest::newRow("loss") << "sell" << "-0.01" << QColor(Qt::red) << QColor(Qt::red);
        QTest::newRow("flat") << "BUY" << "0.00" << QColor(Qt::blue) << QColor(Qt::black);
        QTest::newRow("gain") << "buy limit" << "3.10" << QColor(Qt::black) << QColor(Qt::blue);
        QTest::newRow("not a number") << "Sell" << "n/a" << QColor(Qt::red) << QColor(Qt::black);
    }
    void tradeRowColours()
    {
        QFETCH(QString, side);
        QFETCH(QString, profit);
        QTableWidget table(1, 11);
        table.setItem(0, 3, new QTableWidgetItem(side));
        table.setItem(0, 10, new QTableWidgetItem(profit));
        colourTradeRow(&table, 0);
        QFETCH(QColor, sideColour);
        QFETCH(QColor, profitColour);
        QCOMPARE(table.item(0, 3)->foreground().color(), sideColour);
        QCOMPARE(table.item(0, 10)->foreground().color(), profitColour);
    }

    void tradeTableAndIndex()
    {
        QTableWidget table(0, 11);
        PendingOrder order;
        order.ticket = 77;
        order.symbol = "EURUSD";
        order.type = 2;
        Position sell = position(1234, "EURUSD", "sell", 0.5, 1.1, -3);
        sell.currentPrice = 1.1012;
        sell.digits = 5;
        fillTradeTable(&table, {sell}, {order}, QTimeZone::utc());
        QCOMPARE(rowTexts(table, 0),
                 (QStringList{"EURUSD", "1234", "1970-01-01 00:00:00", "sell", "0.50", "1.10000", "0.00000", "0.00000",
                              "1.10120", "0.00", "-3.00"}));
        QCOMPARE(table.item(1, 0)->data(Qt::UserRole).toString(), orderRowTag);
        QCOMPARE(text(table, 1, 3), "buy limit");

        // Order rows never match a position's ticket; a sort is followed.
        TableRowIndex index(1, positionRowTag);
        QCOMPARE(index.row(&table, "1234"), 0);
        QCOMPARE(index.row(&table, "77"), -1);
        table.sortItems(1, Qt::DescendingOrder);
        QCOMPARE(index.row(&table, "1234"), 1);
    }

    void netTable()
    {
        QTableWidget table(0, 8);
        const QList<Position> positions{position(1, "EURUSD", "buy", 1, 1.0, 5), position(2, "EURUSD", "buy", 2, 2.0, 5),
                                        position(3, "EURUSD", "sell", 0.5, 3.0, -1),
                                        position(4, "USDJPY", "buy", 1, 150, 2)};
        fillNetTable(&table, netFiguresOf(positions), [](const QString &) { return 3; }, summaryFooterFont());
        QCOMPARE(rowTexts(table, 0), (QStringList{"EURUSD", "3", "3.00", "1.500", "0.50", "3.000", "2.50", "9.00"}));
        QCOMPARE(rowTexts(table, 2), (QStringList{"Summary", "4", "4.00", "", "0.50", "", "3.50", "11.00"}));

        // A tick of the first symbol rewrites its row; the footer adds the second row as shown.
        updateNetTable(&table, {"EURUSD", 1, 0, 0, 2, 1.25, -4}, 5, summaryFooterFont());
        QCOMPARE(rowTexts(table, 0), (QStringList{"EURUSD", "1", "0.00", "0.00000", "2.00", "1.25000", "-2.00", "-4.00"}));
        QCOMPARE(rowTexts(table, 2), (QStringList{"Summary", "2", "1.00", "", "2.00", "", "-1.00", "-2.00"}));
        QVERIFY(table.item(2, 7)->font().bold());
        QVERIFY(!(table.item(2, 7)->flags() & Qt::ItemIsEditable));

        // A symbol without a row counts only in the footer.
        updateNetTable(&table, {"XAUUSD", 2, 1, 0, 0, 0, 10}, 2, summaryFooterFont());
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(rowTexts(table, 2), (QStringList{"Summary", "4", "2.00", "", "2.00", "", "0.00", "8.00"}));
    }
};

KESTRAL_TEST_MAIN(TestTradeTables)
#include "tst_tradetables.moc"
