// The history tables filled from trade-history replies, without a window.
#include "historytables.h"
#include "lefttorightfigures.h"
#include "scalewidgettree.h"
#include "soundeffects.h"
#include "tablestyle.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QScrollBar>
#include <QStyle>
#include <QPixmap>
#include <QStyleOptionViewItem>
#include <QTableWidget>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

// The positions, orders and deals tables as the window sets them up.
struct Tables
{
    Tables()
    {
        for (int i = 0; i < 3; ++i)
            table[i].setColumnCount(i ? 10 : 12);
    }
    void load(const QJsonObject &reply)
    {
        const DigitsLookup digits = [](const QString &symbol) { return symbol == "EURUSD" ? 5 : 0; };
        loadTradeHistory(reply, {&table[0], &table[1], &table[2]}, digits, QTimeZone(3 * 3600), summaryFooterFont());
    }
    QTableWidget table[3];
};

QString text(const QTableWidget &table, int row, int column)
{
    const QTableWidgetItem *item = table.item(row, column);
    return item ? item->text() : QString();
}

QString rowText(const QTableWidget &table, int row)
{
    QStringList cells;
    for (int column = 0; column < table.columnCount(); ++column)
        cells << text(table, row, column);
    return cells.join('|');
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTerminalResources(); }

    // A leading cell of a table of this direction: its text's direction and its side.
    void figuresReadLeftToRight_data()
    {
        QTest::addColumn<Qt::LayoutDirection>("table");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Qt::LayoutDirection>("laidOut");
        QTest::addColumn<bool>("onTheRight");
        QTest::newRow("a negative figure") << Qt::RightToLeft << "-0.14" << Qt::LeftToRight << true;
        QTest::newRow("a date and time") << Qt::RightToLeft << "2026-12-07 01:53:59" << Qt::LeftToRight << true;
        QTest::newRow("a word") << Qt::RightToLeft << "EURUSD" << Qt::RightToLeft << true;
        QTest::newRow("a left-to-right table") << Qt::LeftToRight << "-0.14" << Qt::LeftToRight << false;
    }
    void figuresReadLeftToRight()
    {
        QStyleOptionViewItem option;
        QFETCH(Qt::LayoutDirection, table);
        QFETCH(QString, text);
        option.direction = table;
        option.text = text;
        option.displayAlignment = Qt::AlignLeft;
        keepFiguresLeftToRight(&option);
        QTEST(option.direction, "laidOut");
        QTEST(bool(QStyle::visualAlignment(option.direction, option.displayAlignment) & Qt::AlignRight), "onTheRight");
    }

    // Table 0 holds the closed positions, 1 the orders, 2 the deals. Column -1 is the
    // footer, the table's last row; -2 the whole first row; others are in the first row.
    void cells_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");

        QTest::newRow("a balance of 0 is a withdrawal; credit, swap and fee count; trade deals do not")
            << QByteArray(R"({"deals":[{"type":2,"profit":0},{"type":3,"profit":50,"swap":-1},)"
                          R"({"type":4,"profit":-7,"fee":-2},{"type":0,"profit":99,"commission":-4},)"
                          R"({"type":2,"profit":-200}]})")
            << 2 << -1
            << "Proft: 0.00, Credit: 50.00, Deposit: 0.00, Withdraw: -200.00, Swap: -1.00, Commission: 0.00, "
               "Balance: -153.00";
        const QByteArray closed = R"({"positions":[{"profit":10.5,"swap":-0.5,"commission":-1.25},)"
                                  R"({"profit":-2,"commission":-2.25}],"deals":[{"type":2,"profit":100}]})";
        QTest::newRow("closed positions: commission in general form")
            << closed << 0 << -1 << "Proft: 8.50, Credit: 0.00, Deposit: 100.00, Withdraw: 0.00, Commission: -3.5";
        QTest::newRow("closed positions enter the deals footer")
            << closed << 2 << -1
            << "Proft: 8.50, Credit: 0.00, Deposit: 100.00, Withdraw: 0.00, Swap: -0.50, Commission: -3.50, "
               "Balance: 104.50";
        QTest::newRow("order states")
            << QByteArray(R"({"orders":[{"state":2},{"state":4},{"state":4.0},{"state":1},{"state":"4"}]})") << 1 << -1
            << "Filled: 2, Canceled: 1, Total: 5";

        QTest::newRow("a closed position: side word as received, stop loss 0 empty, the server's zone")
            << QByteArray(R"({"positions":[{"symbol":"GBPUSD","type":"Buy","digits":5,"sl":0,)"
                          R"("tp":1.2345,"volume":12500,"price_o":1.1,"time":86400}]})")
            << 0 << -2 << "GBPUSD|0|1970-01-02 03:00:00|Buy|1.25||1.23450|1.10000|0.00000|0.00|0.00|0.00";
        QTest::newRow("absurd digits are bounded")
            << QByteArray(R"({"positions":[{"digits":100000,"price_o":1}]})") << 0 << 7 << "1.000000000000000";
        QTest::newRow("an order with the store's digits")
            << QByteArray(R"({"orders":[{"symbol":"EURUSD","type":6,"price":1.1,"digits":2}]})") << 1 << -2
            << "EURUSD|0|1970-01-01 03:00:00|buy limit stop|0.00|||1.10000||";
        QTest::newRow("a deal with the store's digits")
            << QByteArray(R"({"deals":[{"symbol":"EURUSD","type":0,"price":1.1,"digits":2}]})") << 2 << 6 << "1.10000";
        QTest::newRow("order digits from the reply when the store has none")
            << QByteArray(R"({"orders":[{"symbol":"XAU","price":1.1,"digits":2}]})") << 1 << 7 << "1.10";
        QTest::newRow("an unknown deal type has no order but keeps its money")
            << QByteArray(R"({"deals":[{"type":7,"order":5,"swap":-1.5}]})") << 2 << -2
            << "|0||1970-01-01 03:00:00||||-1.50|0.00|0.00";
    }
    void cells()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, table);
        QFETCH(int, column);
        Tables tables;
        tables.load(parse(reply));
        const QTableWidget &widget = tables.table[table];
        if (column == -2)
            QTEST(rowText(widget, 0), "expected");
        else
            QTEST(text(widget, column < 0 ? widget.rowCount() - 1 : 0, qMax(column, 0)), "expected");
        QVERIFY(!(widget.item(0, 0)->flags() & Qt::ItemIsEditable));
        if (column == -1) // footers stand out in bold
            QVERIFY(widget.item(widget.rowCount() - 1, 0)->font().bold() && !widget.item(0, 1)->font().bold());
        if (table == 1) // every order type of these rows has its icon
            QVERIFY(!widget.item(0, 0)->icon().pixmap(16).isNull());
    }

    // An order row shows the pending-order icon as shipped, for order types only.
    void orderRowIcons_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("shown");
        QTest::newRow("a buy limit") << 2 << true;
        QTest::newRow("the last order type") << 7 << true;
        QTest::newRow("an unknown type") << 8 << false;
    }
    void orderRowIcons()
    {
        QFETCH(int, type);
        Tables tables;
        tables.load(QJsonObject{{"orders", QJsonArray{QJsonObject{{"symbol", "EURUSD"}, {"type", type}}}}});
        const QImage shipped(":/icon/pending_order.png");
        QVERIFY(!shipped.isNull());
        const QIcon icon = tables.table[1].item(0, 0)->icon();
        QFETCH(bool, shown);
        QCOMPARE(icon.pixmap(shipped.size()).toImage().convertToFormat(QImage::Format_ARGB32),
                 shown ? shipped.convertToFormat(QImage::Format_ARGB32) : QImage());
    }

    void sortingKeepsFootersLast_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("profit ascending, as numbers")
            << 11 << int(Qt::AscendingOrder) << QStringList{"-3.00A", "9.00C", "10.00B", "Proft: 16.00"};
        QTest::newRow("symbol descending")
            << 0 << int(Qt::DescendingOrder) << QStringList{"9.00C", "10.00B", "-3.00A", "Proft: 16.00"};
    }
    void sortingKeepsFootersLast()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        Tables tables;
        QTableWidget &positions = tables.table[0];
        positions.setSortingEnabled(true);
        tables.load(parse(R"({"positions":[{"symbol":"B","profit":10},{"symbol":"C","profit":9},)"
                          R"({"symbol":"A","profit":-3}]})"));
        positions.sortByColumn(column, Qt::SortOrder(order));
        QStringList profits;
        for (int row = 0; row < 4; ++row)
            profits << text(positions, row, 11) + text(positions, row, 0).left(12);
        QTEST(profits, "expected");
    }

    // Each table narrower and wider than its cells need, given its width after the reply:
    // no time or figure is cut (a narrow table scrolls), and a wide table fills its width.
    void columnsHoldTheirCells_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("narrow: the table scrolls") << 500;
        QTest::newRow("wide: the width is used") << 1600;
    }
    void columnsHoldTheirCells()
    {
        QFETCH(int, width);
        Tables tables;
        for (QTableWidget &table : tables.table) {
            table.resize(300, 200);
            table.show();
            QVERIFY(QTest::qWaitForWindowExposed(&table));
        }
        tables.load(parse(R"({"positions":[{"symbol":"EURUSD","ticket":2147483647,"type":"sell","time":1796623698,)"
                          R"("digits":5,"volume":1234567,"price_o":1.23456,"price_c":1.23457,"sl":1.2,"tp":1.3,)"
                          R"("profit":-123456.78,"swap":-1234.56,"commission":-12.5}],)"
                          R"("orders":[{"symbol":"EURUSD","ticket":2147483647,"type":7,"time":1796623698,)"
                          R"("volume":1234567,"price":1.23456,"s_price":1.23457,"sl":1.2,"tp":1.3,"state":6}],)"
                          R"("deals":[{"symbol":"EURUSD","ticket":2147483647,"order":2147483647,"type":1,)"
                          R"("time":1796623698,"volume":1234567,"price":1.23456,"profit":-123456.78,"swap":-1.5}]})"));
        for (int i = 0; i < 3; ++i) {
            QTableWidget &table = tables.table[i];
            table.resize(width, 200);
            const int margin = table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1;
            const QFontMetrics metrics(table.font());
            int total = 0;
            for (int column = 0; column < table.columnCount(); ++column) {
                total += table.columnWidth(column);
                const QString cell = text(table, 0, column);
                QVERIFY2(column == 0 || table.columnWidth(column) >= metrics.horizontalAdvance(cell) + 2 * margin,
                         qPrintable(QStringLiteral("table %1: \"%2\" in %3 px").arg(i).arg(cell).arg(table.columnWidth(column))));
            }
            if (width > 1000)
                QCOMPARE(total, table.viewport()->width());
            else
                QVERIFY(table.horizontalScrollBar()->maximum() > 0);
        }
    }

    // What the trader hears and sees is compiled in: each sound a playable wave of its
    // event, each icon a 32-pixel picture with the colours it must show. Sounds are rows
    // numbered by event.
    void resources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sound");
        QTest::addColumn<QList<QRgb>>("colours");
        QTest::newRow("connected") << ":/sound/connected.wav" << int(SoundEffects::Connected) << QList<QRgb>();
        QTest::newRow("disconnected") << ":/sound/disconnected.wav" << int(SoundEffects::Disconnected) << QList<QRgb>();
        QTest::newRow("trade") << ":/sound/trade.wav" << int(SoundEffects::Trade) << QList<QRgb>();
        QTest::newRow("error") << ":/sound/error.wav" << int(SoundEffects::Error) << QList<QRgb>();
        for (const char *icon : {":/icon/user.ico", ":/icon/morwell.ico", ":/icon/buy.png", ":/icon/sell.png"})
            QTest::newRow(icon) << icon << -1 << QList<QRgb>();
        QTest::newRow("the toolbar's candles, a green and a red body")
            << ":/icon/candles.png" << -1 << QList<QRgb>{qRgb(30, 160, 70), qRgb(210, 40, 40)};
    }
    void resources()
    {
        QFETCH(QString, name);
        QFETCH(int, sound);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (sound >= 0) {
            QCOMPARE(SoundEffects::resourceName(SoundEffects::Sound(sound)), name);
            const QByteArray header = file.read(44);
            QVERIFY(header.startsWith("RIFF") && header.mid(8, 4) == "WAVE");
            QVERIFY(file.size() > 44 + 22050 / 10); // at least a tenth of a second
        } else {
            const QImage picture = QPixmap(name).toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(picture.size(), QSize(32, 32));
            QFETCH(QList<QRgb>, colours);
            for (const QRgb colour : std::as_const(colours)) {
                int count = 0;
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x)
                        count += picture.pixel(x, y) == colour;
                QVERIFY2(count >= 8, qPrintable(QColor(colour).name()));
            }
        }
    }

    void repliesReplaceTheRows()
    {
        Tables tables;
        tables.load(parse(R"({"positions":[{},{},{}],"orders":[{}],"deals":[{"type":2,"profit":1}]})"));
        // Non-object elements would only add empty rows; a missing array leaves the footer.
        tables.load(parse(R"({"positions":[1,"x",null,[],{}],"deals":[true,{"type":99}]})"));
        QCOMPARE(QVector<int>({tables.table[0].rowCount(), tables.table[1].rowCount(), tables.table[2].rowCount()}),
                 QVector<int>({2, 1, 2}));
        QVERIFY(text(tables.table[0], 1, 0).startsWith("Proft: 0.00"));
    }
};

KESTRAL_TEST_MAIN(TestHistory)
#include "tst_history.moc"
