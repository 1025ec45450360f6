// The main window against a server that resends what it already sent: replies
// that change nothing ask for nothing, changes handled together ask for the trade
// history once, and tables resent whole are changed only where their rows changed.
#include "historytables.h"
#include "positiontables.h"
#include "pricedatabuffer.h"
#include "tablestyle.h"
#include "terminalsession.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

Q_DECLARE_METATYPE(QList<QJsonObject>)

namespace {

QJsonObject positions(int count)
{
    QJsonArray array;
    for (int ticket = 1; ticket <= count; ++ticket)
        array.append(QJsonObject{{"ticket", ticket}, {"symbol", "EURUSD"}, {"type", "buy"}, {"volume", 100}});
    return {{"res_code", 4}, {"is_last", 1}, {"balance", 1000}, {"array", array}};
}

// One order, or none for ticket 0.
QJsonObject orders(int ticket)
{
    const QJsonObject order{{"ticket", ticket}, {"symbol", "EURUSD"}, {"type", 2}};
    return {{"res_code", 6}, {"array", ticket ? QJsonArray{order} : QJsonArray()}};
}

// Positions by ticket; `changed` tickets get another volume, `losing` ones a loss.
QList<Position> positionList(const QList<int> &tickets, const QList<int> &changed = {}, const QList<int> &losing = {})
{
    QList<Position> list;
    for (const int ticket : tickets) {
        Position p;
        p.ticket = ticket;
        p.symbol = ticket % 3 ? QStringLiteral("EURUSD") : QStringLiteral("GBPUSD");
        p.type = ticket % 2 ? QStringLiteral("buy") : QStringLiteral("sell");
        p.volume = changed.contains(ticket) ? 2.5 : 1.0;
        p.price = 1.1 + ticket * 1e-5;
        p.currentPrice = 1.2;
        p.profit = losing.contains(ticket) ? -3.0 : 4.0;
        p.time = 1700000000 + ticket;
        p.digits = 5;
        list.append(p);
    }
    return list;
}

QList<PendingOrder> orderList(const QList<int> &tickets, const QList<int> &changed = {})
{
    QList<PendingOrder> list;
    for (const int ticket : tickets) {
        PendingOrder o;
        o.ticket = ticket;
        o.symbol = QStringLiteral("XAUUSD");
        o.type = ticket % 6;
        o.volume = 0.5;
        o.price = 1900.0 + ticket + (changed.contains(ticket) ? 0.5 : 0.0);
        o.time = 1700000000 + ticket;
        o.digits = 2;
        list.append(o);
    }
    return list;
}

// Every cell as the user sees it: text, row tag and colour.
QStringList cells(const QTableWidget &table)
{
    QStringList shown;
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int column = 0; column < table.columnCount(); ++column) {
            const QTableWidgetItem *item = table.item(row, column);
            shown << (item ? QStringLiteral("%1|%2|%3")
                                 .arg(item->text(), item->data(Qt::UserRole).toString(),
                                      item->foreground().color().name())
                           : QStringLiteral("-"));
        }
    }
    return shown;
}

constexpr int markRole = Qt::UserRole + 7;

QJsonObject closedPosition(int ticket, double profit = 2.0)
{
    return {{"ticket", ticket},
            {"symbol", "EURUSD"},
            {"type", ticket % 2 ? "buy" : "sell"},
            {"time", 1700000000 + ticket},
            {"volume", 10000},
            {"price_o", 1.1},
            {"price_c", 1.2},
            {"digits", 5},
            {"profit", profit},
            {"swap", -0.5}};
}

QJsonObject deal(int ticket, int type, double profit)
{
    return {{"ticket", ticket},      {"symbol", "EURUSD"}, {"type", type},     {"time", 1700000000 + ticket},
            {"order", ticket + 100}, {"volume", 10000},    {"price", 1.12345}, {"digits", 5},
            {"profit", profit}};
}

QJsonObject historyOrder(int ticket)
{
    return {{"ticket", ticket}, {"symbol", "EURUSD"}, {"type", 2},  {"state", 4}, {"time", 1700000000 + ticket},
            {"volume", 10000},  {"price", 1.123456},  {"digits", 5}};
}

QJsonObject history(const QJsonArray &positions, const QJsonArray &deals = {})
{
    return {{"res_code", 5}, {"positions", positions}, {"deals", deals}, {"orders", QJsonArray{historyOrder(7)}}};
}

struct HistoryTableSet
{
    QTableWidget tables[3];
    HistoryTableSet()
    {
        for (QTableWidget &table : tables) {
            table.setColumnCount(12);
            table.setSortingEnabled(true);
        }
    }
    HistoryTables all() { return {&tables[0], &tables[1], &tables[2]}; }
};

} // namespace

class TestReplyFlood : public QObject
{
    Q_OBJECT

private slots:
    // Rounds, each handled in one go; an empty one is a reconnection. The last one
    // changes the trade table.
    void historyIsAskedOncePerChange_data()
    {
        QTest::addColumn<QList<QList<QJsonObject>>>("rounds");
        QTest::addColumn<QString>("tickets"); // the trade table's, at the end
        QTest::addColumn<int>("requests");    // after the one of the first login
        QTest::newRow("positions and orders changed together")
            << QList<QList<QJsonObject>>{{positions(1), orders(7)}} << "1 7" << 1;
        QTest::newRow("the same orders and positions again are no change")
            << QList<QList<QJsonObject>>{{positions(1), orders(7)}, {orders(7)}, {positions(1)}, {positions(2), orders(8)}}
            << "1 2 8" << 2;
        QTest::newRow("what is gone after a reconnection leaves the table")
            << QList<QList<QJsonObject>>{{positions(1), orders(7)}, {}, {positions(0), orders(0)}} << "" << 3;
    }
    void historyIsAskedOncePerChange()
    {
        QFETCH(QList<QList<QJsonObject>>, rounds);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(5).size(), 1, patienceMs);
        // Requests go out in order: once this one is in, every request before it is.
        const auto settle = [&](int marker) {
            session.client->sendRequest({{"req_code", 3}, {"symbol", "END"}, {"from", marker}});
            QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(3).last()["from"], marker, patienceMs);
        };
        for (const QList<QJsonObject> &round : std::as_const(rounds)) {
            if (round.isEmpty()) { // the connection drops; the terminal logs in again by itself
                settle(1);
                const int logins = session.server.requests(1).size();
                session.server.dropClients();
                QTRY_VERIFY_WITH_TIMEOUT(session.server.requests(1).size() > logins
                                             && !session.window->isDisconnectedSoundRunning(), patienceMs);
                continue;
            }
            sendWhileBusy(session.server, *session.window->findChild<PriceDataBuffer *>(), round);
            QCoreApplication::processEvents(); // handles the round
            QCoreApplication::processEvents(); // and what it left for later
        }
        auto *table = session.window->findChild<QTableWidget *>("tradeTableWidget");
        const auto shownTickets = [table] {
            QStringList shown;
            for (int row = 0; row < table->rowCount(); ++row)
                shown << table->item(row, 1)->text();
            return shown.join(' ');
        };
        QFETCH(QString, tickets);
        QTRY_COMPARE_WITH_TIMEOUT(shownTickets(), tickets, patienceMs);
        QFETCH(int, requests);
        QTRY_VERIFY_WITH_TIMEOUT(session.server.requests(5).size() - 1 >= requests, patienceMs);
        settle(2);
        QCOMPARE(session.server.requests(5).size() - 1, requests);
    }

    // A second fill of the trade table ends as a fill from scratch would, and rows
    // it keeps keep their cells.
    // Figures repeated down a column are written as each row's own digits give them.
    void figuresDownAColumn_data()
    {
        QTest::addColumn<QList<double>>("figures"); // price and stop loss of each row
        QTest::addColumn<QList<int>>("digits");
        QTest::addColumn<int>("orders");        // how many of the last rows are orders
        QTest::addColumn<QStringList>("texts"); // price and stop loss as shown, by row

        QTest::newRow("the same figure at other digits")
            << QList<double>{1.5, 1.5, 1.5} << QList<int>{5, 3, 5} << 0
            << QStringList{"1.50000 1.50000", "1.500 1.500", "1.50000 1.50000"};
        QTest::newRow("a figure between repeats of another") << QList<double>{2.0, 0.0, 2.0} << QList<int>{2, 2, 2} << 0
                                                             << QStringList{"2.00 2.00", "0.00 0.00", "2.00 2.00"};
        QTest::newRow("an order under a position with the same figure at other digits")
            << QList<double>{1.25, 1.25} << QList<int>{5, 2} << 1 << QStringList{"1.25000 1.25000", "1.25 1.25"};
    }
    void figuresDownAColumn()
    {
        QFETCH(QList<double>, figures);
        QFETCH(QList<int>, digits);
        QFETCH(int, orders);
        QList<Position> positions;
        QList<PendingOrder> pending;
        for (int i = 0; i < figures.size(); ++i) {
            if (i < figures.size() - orders) {
                Position p;
                p.ticket = 10 + i;
                p.price = p.sl = figures.at(i);
                p.digits = digits.at(i);
                positions << p;
            } else {
                PendingOrder o;
                o.ticket = 10 + i;
                o.price = o.sl = figures.at(i);
                o.digits = digits.at(i);
                pending << o;
            }
        }
        for (int refills = 0; refills < 2; ++refills) {
            QTableWidget table(0, 11);
            TradeTable trade;
            // First written whole, then row by row as rows come.
            if (refills)
                trade.fill(&table, positions.mid(0, 1), {}, QTimeZone::utc());
            trade.fill(&table, positions, pending, QTimeZone::utc());
            QStringList texts;
            for (int row = 0; row < table.rowCount(); ++row)
                texts << table.item(row, 5)->text() + ' ' + table.item(row, 6)->text();
            QTEST(texts, "texts");
        }
    }

    void tradeTableRefill_data()
    {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<QList<int>>("ordersBefore");
        QTest::addColumn<QList<int>>("ordersAfter");
        QTest::addColumn<QList<int>>("changed"); // tickets whose position or order differs in the second fill
        QTest::addColumn<QList<int>>("losing");  // tickets whose profit turns to a loss
        // 1: the table emptied; 2, 3: other positions, other orders; 4, 6: a tick moved a
        // row's profit, its price; 5: prices written into a row that shows another ticket
        QTest::addColumn<int>("meanwhile");
        QTest::addColumn<QList<int>>("kept"); // tickets whose rows keep their cells, changed or not
        QTest::addColumn<int>("rowMoves");    // rows inserted and removed
        QTest::addColumn<int>("maxNotices");  // of rows inserted or removed, told the view

        const QList<int> five{1, 2, 3, 4, 5};
        const QList<int> orders{10, 11};
        const QList<int> all{1, 2, 3, 4, 5, 10, 11};
        QTest::newRow("the same rows again keep every cell")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 0 << all << 0 << -1;
        QTest::newRow("one closed in the middle, one opened at the end")
            << five << QList<int>{1, 2, 4, 5, 6} << orders << orders << QList<int>{} << QList<int>{} << 0
            << QList<int>{1, 2, 4, 5, 10, 11} << 2 << -1;
        QTest::newRow("one opened before all")
            << five << QList<int>{0, 1, 2, 3, 4, 5} << orders << orders << QList<int>{} << QList<int>{} << 0
            << QList<int>{1, 2, 3, 4, 5, 10, 11} << 1 << -1;
        QTest::newRow("a changed position is rewritten in its row")
            << five << five << orders << orders << QList<int>{3} << QList<int>{} << 0 << all << 0 << -1;
        QTest::newRow("a profit turned to a loss is shown in red")
            << five << five << orders << orders << QList<int>{} << QList<int>{2} << 0 << all << 0 << -1;
        QTest::newRow("every position replaced") << QList<int>{1, 2} << QList<int>{7, 8, 9} << orders << orders
                                                 << QList<int>{} << QList<int>{} << 0 << QList<int>{10, 11} << 5 << -1;
        QTest::newRow("orders come and go below the positions")
            << five << five << QList<int>{10, 11, 12} << QList<int>{9, 11, 13} << QList<int>{} << QList<int>{} << 0
            << QList<int>{1, 2, 3, 4, 5, 11} << 4 << -1;
        QTest::newRow("every row gone") << five << QList<int>{} << orders << QList<int>{} << QList<int>{}
                                        << QList<int>{} << 0 << QList<int>{} << 7 << -1;
        QTest::newRow("a changed order is rewritten in its row")
            << five << five << orders << orders << QList<int>{11} << QList<int>{} << 0 << all << 0 << -1;
        QTest::newRow("a table emptied meanwhile is filled again")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 1 << QList<int>{} << -1 << -1;
        QTest::newRow("a table refilled meanwhile with as many positions is filled again")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 2 << QList<int>{} << -1 << -1;
        QTest::newRow("a table refilled meanwhile with as many orders is filled again")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 3 << QList<int>{} << -1 << -1;
        QTest::newRow("a profit a tick moved is put back by the refill")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 4 << all << 0 << -1;
        QTest::newRow("a price a tick moved is put back by the refill")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 6 << all << 0 << -1;
        QTest::newRow("prices written into another ticket's row are put back by the refill")
            << five << five << orders << orders << QList<int>{} << QList<int>{} << 5 << all << 0 << -1;
        QList<int> evens;
        QList<int> odds;
        for (int ticket = 1; ticket <= 200; ++ticket)
            (ticket % 2 ? odds : evens) << ticket;
        QTest::newRow("changes scattered over many places refill the table")
            << evens << odds << orders << orders << QList<int>{} << QList<int>{} << 0 << QList<int>{} << -1 << 2;
    }
    void tradeTableRefill()
    {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        QFETCH(QList<int>, ordersBefore);
        QFETCH(QList<int>, ordersAfter);
        QFETCH(QList<int>, changed);
        QFETCH(QList<int>, losing);
        QFETCH(int, meanwhile);
        QFETCH(QList<int>, kept);
        QFETCH(int, rowMoves);
        QFETCH(int, maxNotices);
        const QTimeZone zone(3 * 3600);
        QTableWidget table(0, 11);
        TradeTable trade;
        trade.fill(&table, positionList(before), orderList(ordersBefore), zone);
        if (meanwhile == 1)
            table.setRowCount(0);
        else if (meanwhile == 2)
            fillTradeTable(&table, positionList({31, 32, 33, 34, 35}), orderList(ordersBefore), zone);
        else if (meanwhile == 3)
            fillTradeTable(&table, positionList(before), orderList({40, 41}), zone);
        if (meanwhile >= 4) {
            Position ticked = positionList({meanwhile == 5 ? 9 : 2}, {}, {meanwhile == 6 ? 0 : 2}).first();
            if (meanwhile != 4)
                ticked.currentPrice = 1.3;
            trade.setPrices(&table, 1, ticked);
        }
        for (int row = 0; row < table.rowCount(); ++row)
            table.item(row, 1)->setData(markRole, true);
        QSignalSpy inserted(table.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(table.model(), &QAbstractItemModel::rowsRemoved);

        trade.fill(&table, positionList(after, changed, losing), orderList(ordersAfter, changed), zone);

        QTableWidget fresh(0, 11);
        fillTradeTable(&fresh, positionList(after, changed, losing), orderList(ordersAfter, changed), zone);
        for (int row = 0; row < fresh.rowCount(); ++row)
            colourTradeRow(&fresh, row);
        QCOMPARE(cells(table), cells(fresh));
        for (int row = 0; row < table.rowCount(); ++row) {
            const QTableWidgetItem *item = table.item(row, 1);
            QVERIFY2(item->data(markRole).toBool() == kept.contains(item->text().toInt()), qPrintable(item->text()));
        }
        if (rowMoves >= 0) {
            int moved = 0;
            for (const QList<QVariant> &signal : std::as_const(inserted))
                moved += signal.at(2).toInt() - signal.at(1).toInt() + 1;
            for (const QList<QVariant> &signal : std::as_const(removed))
                moved += signal.at(2).toInt() - signal.at(1).toInt() + 1;
            QCOMPARE(moved, rowMoves);
        }
        if (maxNotices >= 0)
            QVERIFY(inserted.size() + removed.size() <= maxNotices);
    }

    // The history tables after a second reply read as after that reply alone; a table
    // whose rows the reply repeats keeps them.
    void historyRefill_data()
    {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<QJsonObject>("second");
        QTest::addColumn<int>("digitsAfter"); // what the symbol store knows at the second reply
        QTest::addColumn<bool>("emptiedMeanwhile");
        QTest::addColumn<QList<bool>>("kept"); // positions, orders, deals tables
        QTest::addColumn<int>("sortedBy");     // the column the user sorted the tables by, or -1

        const QJsonArray positions{closedPosition(1), closedPosition(2), closedPosition(3)};
        const QJsonArray deals{deal(20, 2, 1000.0), deal(21, 0, 5.0)};
        const QJsonObject base = history(positions, deals);
        QTest::newRow("the same history again keeps every row")
            << base << base << 0 << false << QList<bool>{true, true, true} << -1;
        QTest::newRow("a deposit changes the positions footer only")
            << base << history(positions, QJsonArray{deal(20, 2, 1000.0), deal(21, 0, 5.0), deal(22, 2, 50.0)}) << 0
            << false << QList<bool>{true, true, false} << -1;
        QTest::newRow("a changed closed position refills its table")
            << base << history(QJsonArray{closedPosition(1), closedPosition(2, -7.0), closedPosition(3)}, deals) << 0
            << false << QList<bool>{false, true, true} << -1;
        QTest::newRow("a table emptied meanwhile is filled again")
            << base << base << 0 << true << QList<bool>{true, true, false} << -1;
        QTest::newRow("digits the symbol store learnt redraw the prices it gives")
            << base << base << 3 << false << QList<bool>{true, false, false} << -1;
        QTest::newRow("tables sorted by profit are filled in order, then sorted")
            << base
            << history(QJsonArray{closedPosition(1, 9.0), closedPosition(2, -7.0), closedPosition(4, 3.0),
                                  closedPosition(3)},
                       QJsonArray{deal(20, 2, 1000.0), deal(21, 0, 5.0), deal(23, 0, -5.0)})
            << 0 << false << QList<bool>{false, true, false} << 9;
    }
    void historyRefill()
    {
        QFETCH(QJsonObject, first);
        QFETCH(QJsonObject, second);
        QFETCH(int, digitsAfter);
        QFETCH(bool, emptiedMeanwhile);
        QFETCH(QList<bool>, kept);
        QFETCH(int, sortedBy);
        const QTimeZone zone(3 * 3600);
        const QFont font = summaryFooterFont();
        HistoryTableSet shown;
        TradeHistoryView view;
        view.load(
            first, shown.all(), [](const QString &) { return 0; }, zone, font);
        if (sortedBy >= 0) {
            for (QTableWidget &table : shown.tables)
                table.sortByColumn(sortedBy, Qt::DescendingOrder);
        }
        // A mark on a cell stays while the cell does: a new one at the same address has none.
        for (QTableWidget &table : shown.tables)
            table.item(0, 1)->setData(markRole, true);
        if (emptiedMeanwhile)
            shown.tables[2].setRowCount(0);

        const DigitsLookup digits = [digitsAfter](const QString &) { return digitsAfter; };
        view.load(second, shown.all(), digits, zone, font);

        HistoryTableSet fresh;
        loadTradeHistory(second, fresh.all(), digits, zone, font);
        if (sortedBy >= 0) {
            for (QTableWidget &table : fresh.tables)
                table.sortByColumn(sortedBy, Qt::DescendingOrder);
        }
        for (int t = 0; t < 3; ++t) {
            QCOMPARE(cells(shown.tables[t]), cells(fresh.tables[t]));
            QCOMPARE(shown.tables[t].item(0, 1)->data(markRole).toBool(), kept.at(t));
        }
    }

    // A reply that took the window long is not followed at once by the next one:
    // timers due meanwhile (the tick batcher's, a chart's redraw) run in between.
    void longRepliesLetTimersIn()
    {
        TradeClient client;
        QStringList order;
        QTimer due;
        due.setSingleShot(true);
        due.setTimerType(Qt::PreciseTimer);
        connect(&due, &QTimer::timeout, this, [&] { order << "timer"; });
        const QString response = QStringLiteral("{\"res_code\":7,\"status\":10009}");
        connect(&client, &TradeClient::pendingOrdersReceived, this, [&] {
            order << "orders";
            due.start(1);
            QThread::msleep(40);
        });
        connect(&client, &TradeClient::tradeResponseReceived, this, [&] { order << "response"; });
        client.handleMessage(QStringLiteral("{\"res_code\":6,\"array\":[]}"));
        client.handleMessage(response);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, patienceMs);
        QCOMPARE(order, (QStringList{"orders", "timer", "response"}));
    }
};

KESTRAL_TEST_MAIN(TestReplyFlood)
#include "tst_replyflood.moc"
