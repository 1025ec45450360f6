// The tables of one logged-in window fed by the fake trade server: the market watch, the
// trade and net tables with the summary line, and the commands their menus and clicks send.
#include "appglobals.h"
#include "changepassworddlg.h"
#include "clientterminal.h"
#include "datetimetexts.h"
#include "journalwidget.h"
#include "lefttorightfigures.h"
#include "messageboxcloser.h"
#include "new_order.h"
#include "popuppicker.h"
#include "resend.h"
#include "servertime.h"
#include "showsymboldialog.h"
#include "soundeffects.h"
#include "symbolchartwidget.h"
#include "terminalsession.h"
#include "testmain.h"
#include "textitem.h"

#include <QDesktopServices>
#include <QDockWidget>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableWidget>
#include <QXmlStreamReader>

Q_DECLARE_METATYPE(QList<QJsonObject>)
Q_DECLARE_METATYPE(SoundEffects::Sound)

namespace {

QJsonObject position(int ticket, const QString &symbol, const QString &type, int volume, double price,
                     double swap = 0.0, double profit = 0.0)
{
    return {{"ticket", ticket}, {"symbol", symbol},  {"type", type},    {"volume", volume}, {"price", price},
            {"swap", swap},     {"csize", 100000.0}, {"r_profit", 1.0}, {"digits", 5},      {"profit", profit}};
}

QJsonObject positionsReply(QJsonObject figures, const QJsonValue &isLast, const QJsonArray &array = {})
{
    figures["res_code"] = 4;
    figures["is_last"] = isLast;
    figures["array"] = array;
    return figures;
}

QStringList rowTexts(const QTableWidget *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

const QString readOnlyRefusal = QStringLiteral("Warning: Trade operations restricted in Read Only Mode.");

} // namespace

class TestTradeTables : public QObject
{
    Q_OBJECT

    TerminalSession *m_session = nullptr;
    Client_Terminal *m_window = nullptr;
    QTableWidget *m_watch = nullptr;
    QTableWidget *m_trade = nullptr;
    QTableWidget *m_net = nullptr;
    QTableWidget *m_positions = nullptr;
    QLabel *m_summary = nullptr;
    double m_nextBid = 2.0;
    JournalRecorder m_journal;
    QUrl m_opened;

    template <typename T> T *child(const char *name = nullptr, QObject *parent = nullptr) const
    {
        return (parent ? parent : m_window)->findChild<T *>(name ? QLatin1String(name) : QString());
    }
    bool send(const QList<QJsonObject> &messages, const std::function<bool()> &done)
    {
        return sendUntil(m_session->server, messages, done);
    }
    // Sends a tick and waits until the window's stores took it.
    void deliver(const QJsonObject &tick)
    {
        QVERIFY(send({tick}, [&] {
            const TickData now = m_window->symbolStorage().lastTick(tick["symbol"].toString());
            return now.ask == tick["ask"].toDouble() && now.bid == tick["bid"].toDouble();
        }));
    }
    void showSymbols(const QStringList &symbols)
    {
        m_window->symbolStorage().setSymbolList(symbols, true);
        QTRY_COMPARE(m_watch->rowCount(), symbols.size());
    }
    int rowOfTicket(int ticket) const
    {
        const auto found = m_trade->findItems(QString::number(ticket), Qt::MatchExactly);
        return found.isEmpty() ? -1 : found.first()->row();
    }
    void chooseOnRow(const QString &entry, int ticket)
    {
        popuppicker::choose(entry);
        const QPoint pos = ticket ? m_trade->visualItemRect(m_trade->item(rowOfTicket(ticket), 1)).center()
                                  : QPoint(2, m_trade->viewport()->height() - 2);
        emit m_trade->customContextMenuRequested(pos);
    }

public slots:
    void openedInBrowser(const QUrl &url) { m_opened = url; }

private slots:
    void initTestCase()
    {
        m_session = new TerminalSession;
        QVERIFY(m_session->loginAndWait());
        m_window = m_session->window.get();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_watch = child<QTableWidget>("symbolTableWidget");
        m_trade = child<QTableWidget>("tradeTableWidget");
        m_net = child<QTableWidget>("netTableWidget");
        m_positions = child<QTableWidget>("positionTableWidget");
        m_summary = qobject_cast<QLabel *>(child<QDockWidget>("toolboxDockWidget")->titleBarWidget());
        QVERIFY(m_summary);
        QTRY_COMPARE_WITH_TIMEOUT(m_watch->rowCount(), 5, patienceMs);
    }
    void cleanupTestCase() { delete m_session; }
    void cleanup() { readOnlyMode = false; }

    // Each row uses its own symbol, so that it starts from a fresh market-watch row: "symbol bid
    // ask [server time]" ticks in order, the row's texts and the colours of its price columns:
    // rises blue, falls red, the high blue and the low red.
    // The symbol is listed twice: its first row takes the ticks.
    void marketWatchRow_data()
    {
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("colours");
        QTest::newRow("a first tick is a rise; spread to the nearest whole point")
            << QStringList{"A1 1.1 1.10012"} << "1.10000 1.10012 12 1.10212 1.09800 02:13:20 -0.18% 0.18%"
            << "blue blue blue blue red";
        QTest::newRow("bid, ask and spread fall") << QStringList{"A2 1.1 1.1003", "A2 1.09995 1.1001"}
                                                  << "1.09995 1.10010 15 1.10210 1.09795 02:13:20 -0.18% 0.18%"
                                                  << "red red red blue red";
        QTest::newRow("bid unchanged") << QStringList{"A3 1.1 1.1001", "A3 1.1 1.1003"}
                                       << "1.10000 1.10030 30 1.10230 1.09800 02:13:20 -0.18% 0.18%"
                                       << "black blue blue blue red";
        QTest::newRow("zero prices and server time")
            << QStringList{"A4 1.1 1.1001", "A4 0 0 0"} << "0.00000 0.00000 0 0.00200 -0.00200 00:00:00 0.00% 0.00%"
            << "red red red blue red";
    }
    void marketWatchRow()
    {
        QFETCH(QStringList, ticks);
        const QString symbol = ticks.first().section(' ', 0, 0);
        showSymbols({"EURUSD", symbol, symbol});
        for (const QString &t : ticks) {
            const QStringList f = t.split(' ');
            QJsonObject tick = FakeTradeServer::tick(symbol, f[1].toDouble(), f[2].toDouble());
            tick["server_time"] = f.value(3, "1700007200").toLongLong();
            deliver(tick);
        }
        const QStringList cells = rowTexts(m_watch, 1);
        QCOMPARE(cells.first(), symbol);
        QTEST(cells.mid(1).join(' '), "texts");
        QStringList colours;
        for (int column = 1; column <= 5; ++column) {
            const QColor c = m_watch->item(1, column)->foreground().color();
            colours << (c == Qt::blue ? "blue" : c == Qt::red ? "red" : c == Qt::black ? "black" : c.name());
        }
        QTEST(colours.join(' '), "colours");
        QCOMPARE(m_watch->item(2, 1)->foreground().style(), Qt::NoBrush);
    }

    // The header's menu: every column in order, checked while shown; each entry shows or hides its column.
    void columnsMenu_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("hiddenAfter");
        QTest::newRow("Change %H") << 7 << false; // shown
        QTest::newRow("Spread") << 3 << true;     // hidden
        QTest::newRow("Symbol") << 0 << true;
        QTest::newRow("Change %L") << 8 << false;
    }
    void columnsMenu()
    {
        QFETCH(int, column);
        QStringList entries;
        popuppicker::choose(QTest::currentDataTag(), [&entries] {
            for (const QAction *action : qobject_cast<QMenu *>(QApplication::activePopupWidget())->actions())
                entries << action->text() + (action->isChecked() ? "*" : "");
        });
        emit m_watch->horizontalHeader()->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(entries.join(','), "Symbol*,Bid*,Ask*,Spread*,High*,Low*,Time*,Change %H,Change %L");
        QTEST(m_watch->isColumnHidden(column), "hiddenAfter");
        m_watch->setColumnHidden(column, column >= 7);
    }

    // The symbol dialog from the context menu: its check boxes show and hide market-watch symbols.
    void symbolDialog()
    {
        showSymbols({"EURUSD", "GBPUSD"});
        popuppicker::choose("Symbols");
        emit m_watch->customContextMenuRequested(QPoint(5, 5));
        auto *dialog = child<ShowSymbolDialog>();
        QVERIFY(dialog);
        QCOMPARE(rowTexts(child<QTableWidget>("tableWidget", dialog), 1).mid(5, 2), QStringList({"0.01", "10.00"}));
        const auto items = child<QListWidget>("listWidget", dialog)->findItems("GBPUSD", Qt::MatchExactly);
        QCOMPARE(items.value(0)->checkState(), Qt::Checked);
        items.first()->setCheckState(Qt::Unchecked);
        QCOMPARE(rowTexts(m_watch, 0).first() + QString::number(m_watch->rowCount()), "EURUSD1");
        dialog->close();
    }

    void positionsReplies_data()
    {
        QTest::addColumn<QList<QJsonObject>>("replies");
        QTest::addColumn<int>("tradeRows");
        QTest::addColumn<QString>("summary");
        // The net table's first row: symbol, positions, buy and sell volumes and prices; the first position's
        // swap, profit and profit colour.
        QTest::addColumn<QString>("net");

        const QJsonArray one{position(1, "EURUSD", "buy", 10000, 1.1, -1.2)};
        const QJsonArray four{one.first(), position(2, "EURUSD", "buy", 20000, 1.2, 0.5),
                              position(3, "EURUSD", "sell", 5000, 1.3), position(4, "EURUSD", "sell", 5000, 1.4)};
        QTest::newRow("last page: positions, figures, every swap and the mean prices")
            << QList<QJsonObject>{positionsReply({{"balance", 1000}, {"margin", 20}}, 1, four)} << 4
            << " Balance: 1000.00 USD, Net profit: 0.00, Equity: 999.30 USD, Used margin: 20.00, Free margin: 980.00"
            << "EURUSD 4 3.00 1.15000 1.00 1.35000 -1.20 0.00 #000000";
        QTest::newRow("absurd figures are shown short")
            << QList<QJsonObject>{positionsReply({{"balance", 1e308}, {"credit", -1e15}, {"margin", 1e14}}, 1)} << 0
            << " Balance: 1e+308 USD, Net profit: 0.00, Equity: 1e+308 USD, Credit: -1e+15, Used margin: "
               "100000000000000.00, Free margin: 1e+308" << "Summary 0 0.00  0.00 ";
        QTest::newRow("credit between equity and margin")
            << QList<QJsonObject>{positionsReply({{"balance", 1000}, {"credit", 50}, {"margin", 20}}, 1)} << 0
            << " Balance: 1000.00 USD, Net profit: 0.00, Equity: 1050.00 USD, Credit: 50.00, Used margin: 20.00, "
               "Free margin: 1030.00" << "Summary 0 0.00  0.00 ";
        QTest::newRow("soft margin call")
            << QList<QJsonObject>{positionsReply({{"balance", 100}, {"margin", 100.5}}, 1)} << 0
            << "<font color='red'> Balance: 100.00 USD, Net profit: 0.00, Equity: 100.00 USD, Used margin: 100.50, "
               "Free margin: -0.50 (soft margin call)</font>" << "Summary 0 0.00  0.00 ";
        QTest::newRow("earlier pages update figures only; true is not a last page; no free margin is no call")
            << QList<QJsonObject>{positionsReply({{"balance", 7}}, 1),
                                  positionsReply({{"balance", 500}, {"margin", 500}}, 0, one),
                                  positionsReply({{"balance", 500}, {"margin", 500}}, true, one)}
            << 0
            << " Balance: 500.00 USD, Net profit: 0.00, Equity: 500.00 USD, Used margin: 500.00, Free margin: 0.00"
            << "Summary 0 0.00  0.00 ";
    }
    void positionsReplies()
    {
        QFETCH(QList<QJsonObject>, replies);
        QFETCH(QString, summary);
        // A tick of a symbol without positions (one the store has not seen) rewrites the line.
        m_nextBid += 0.001;
        replies << FakeTradeServer::tick("AUDUSD", m_nextBid, m_nextBid + 0.0002);
        QVERIFY(send(replies, [&] { return m_summary->text() == summary; }));
        QTEST(m_trade->rowCount(), "tradeRows");
        QStringList net = rowTexts(m_net, 0).mid(0, 6);
        if (const QTableWidgetItem *profit = m_trade->item(0, 10))
            net << m_trade->item(0, 9)->text() << profit->text() << profit->foreground().color().name();
        QTEST(net.join(' '), "net");
        // However long the line, the window is not made wider for it.
        QVERIFY(m_window->minimumSizeHint().width() < m_summary->sizeHint().width());
    }

    void tickRepricesRowsNetAndFooter()
    {
        QJsonArray positions{position(11, "EURUSD", "buy", 10000, 1.102), position(12, "EURUSD", "sell", 5000, 1.2),
                             position(13, "GBPUSD", "buy", 20000, 1.3, 0.0, 4.0)};
        const QJsonObject order{{"ticket", 14}, {"symbol", "EURUSD"}, {"type", 2}, {"price", 1.05}};
        QVERIFY(
            send({positionsReply({{"balance", 10000}}, 1, positions), {{"res_code", 6}, {"array", QJsonArray{order}}}},
                 [&] { return rowOfTicket(14) >= 0 && rowOfTicket(13) >= 0; }));
        QCOMPARE(m_trade->rowCount() * 10 + m_net->rowCount(), 43);
        const QStringList orderRow = rowTexts(m_trade, 3);

        QVERIFY(send({FakeTradeServer::tick("EURUSD", 1.101, 1.1012)},
                     [&] { return m_trade->item(rowOfTicket(11), 10)->text() == "-100.00"; }));
        const int sell = rowOfTicket(12);
        QCOMPARE(QStringList({m_trade->item(sell, 8)->text(), m_trade->item(sell, 10)->text()}),
                 QStringList({"1.10120", "4940.00"}));
        // Profits and side words: losses and sells red, gains and buys blue.
        const auto colour = [this](int row, int column) { return m_trade->item(row, column)->foreground().color(); };
        QCOMPARE(QVector<QColor>({colour(rowOfTicket(11), 10), colour(sell, 10), colour(sell, 3), colour(rowOfTicket(11), 3)}),
                 QVector<QColor>({Qt::red, Qt::blue, Qt::red, Qt::blue}));
        QCOMPARE(rowTexts(m_trade, 3), orderRow);

        QCOMPARE(rowTexts(m_net, 0) + rowTexts(m_net, 1) + rowTexts(m_net, 2),
                 QStringList({"EURUSD",  "2", "1.00", "1.10200", "0.50", "1.20000", "0.50", "4840.00", //
                              "GBPUSD",  "1", "2.00", "1.30000", "0.00", "0.00000", "2.00", "4.00",    //
                              "Summary", "3", "3.00", "",        "0.50", "",        "2.50", "4844.00"}));
        for (int column = 0; column < m_net->columnCount(); ++column) { // only the footer is bold
            const QTableWidgetItem *body = m_net->item(0, column), *footer = m_net->item(2, column);
            QVERIFY(footer && footer->font().bold() && !(body && body->font().bold()));
        }
        QVERIFY(m_summary->text().contains("Net profit: 4844.00, Equity: 14844.00 USD"));

        // The next symbol's tick adds the first symbol's new figures to the footer.
        QVERIFY(send({FakeTradeServer::tick("GBPUSD", 1.301, 1.3012)},
                     [&] { return rowTexts(m_net, 2).last() == "5040.00"; }));

        // A reloaded table's new position is repriced too.
        positions.append(position(15, "EURUSD", "buy", 10000, 1.0));
        QVERIFY(send({positionsReply({{"balance", 10000}}, 1, positions)}, [&] { return rowOfTicket(15) >= 0; }));
        QVERIFY(send({FakeTradeServer::tick("EURUSD", 1.1, 1.1002)},
                     [&] { return m_trade->item(rowOfTicket(15), 10)->text() == "10000.00"; }));
    }

    // After the previous test: positions 11, 12, 13 and 15 and order 14 are in the table.
    void closeRequests_data()
    {
        QTest::addColumn<int>("ticket");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QJsonObject>("request");

        const auto closeAll = [](int subType) {
            return QJsonObject{{"req_code", 4}, {"login", 1001}, {"type", 9}, {"dealer", 1000}, {"sub_type", subType}};
        };
        const auto one = [](int type, int ticket) {
            return QJsonObject{{"req_code", 4}, {"type", type}, {"order_id", ticket}, {"login", 1001}};
        };
        QTest::newRow("close all") << 0 << "Close All Positions" << closeAll(0);
        QTest::newRow("close profitable") << 11 << "Close Profitable Positions" << closeAll(1);
        QTest::newRow("close losing") << 14 << "Close Losing Positions" << closeAll(2);
        QTest::newRow("close a position") << 12 << "Close Position" << one(4, 12);
        QTest::newRow("delete an order") << 14 << "Delete Order" << one(3, 14);
        // One-click lots become a whole volume: 0.57 is not 5699.
        const auto order = [](int side, int volume) {
            return QJsonObject{{"req_code", 4}, {"type", 0},          {"order_type", side},
                               {"login", 1001}, {"symbol", "EURUSD"}, {"volume", volume}};
        };
        QTest::newRow("one-click buy") << 0 << "buy 0.57" << order(0, 5700);
        QTest::newRow("one-click sell") << 0 << "sell 0.29" << order(1, 2900);
    }
    void closeRequests()
    {
        QFETCH(int, ticket);
        QFETCH(QString, entry);
        const int before = m_session->server.requests(4).size();
        SymbolChartWidget *chart = m_window->chartWindows().first();
        if (entry.startsWith("buy "))
            emit chart->buy("EURUSD", entry.mid(4).toDouble());
        else if (entry.startsWith("sell "))
            emit chart->sell("EURUSD", entry.mid(5).toDouble());
        else
            chooseOnRow(entry, ticket);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(4).size(), before + 1, patienceMs);
        QTEST(m_session->server.requests(4).last(), "request");
    }

    // What a command opens on the rows of the previous tests: the New Order action, a double
    // click on the market watch or on a ticket's row, or a menu entry of the trade table.
    void orderDialogCommands_data()
    {
        QTest::addColumn<QString>("expected"); // mode and symbol, or the title, of the dialog; the boxes shown
        QTest::newRow("action") << "0 XAUUSD"; // no market-watch row chosen: the dialog keeps its symbol
        QTest::newRow("selected") << "0 EURUSD"; // the action, with a market-watch row selected
        QTest::newRow("watch") << "0 EURUSD";
        QTest::newRow("12") << "4 EURUSD"; // a position is closed
        QTest::newRow("14") << "1 EURUSD"; // a pending order is modified
        QTest::newRow("Modify Position") << "Modify Position #12";
        for (const char *command :
             {"action", "watch", "12", "Modify Position", "Close All Positions", "Close Position"})
            QTest::newRow(qPrintable(QStringLiteral("read-only ") + command)) << readOnlyRefusal;
    }
    void orderDialogCommands()
    {
        QString command = QTest::currentDataTag();
        readOnlyMode = command.startsWith("read-only ");
        command.remove("read-only ");
        auto *dialog = child<New_Order>();
        dialog->hide();
        dialog->setCurrentSymbol("XAUUSD");
        MessageBoxCloser boxes;
        if (command == "selected")
            m_watch->setCurrentCell(0, 2);
        if (command == "action" || command == "selected")
            child<QAction>("actionNew_Order")->trigger();
        else if (command == "watch")
            emit m_watch->itemDoubleClicked(m_watch->item(0, 3));
        else if (command.front().isDigit())
            emit m_trade->itemDoubleClicked(m_trade->item(rowOfTicket(command.toInt()), 1));
        else
            chooseOnRow(command, 12);
        QString shown = boxes.texts.join('\n');
        if (dialog->isVisible())
            shown += command == "Modify Position"
                         ? dialog->windowTitle()
                         : QStringLiteral("%1 %2").arg(dialog->mode()).arg(dialog->currentSymbol());
        QTEST(shown, "expected");
    }

    // A positions reply rebuilds the table while the menu of position 12 is open, keeping
    // the tickets listed. What opens, and the trade requests sent, counting a marker sent after.
    void tradeMenuOverARebuild_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QList<int>>("kept");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("a position gone is not modified") << "Modify Position" << QList<int>{11, 13} << "|1";
        QTest::newRow("a position gone is not closed") << "Close Position" << QList<int>{11, 13} << "|1";
        QTest::newRow("a moved row is found by its ticket")
            << "Modify Position" << QList<int>{10, 11, 12} << "Modify Position #12 EURUSD|1";
    }
    void tradeMenuOverARebuild()
    {
        QFETCH(QString, entry);
        QFETCH(QList<int>, kept);
        const auto positions = [](const QList<int> &tickets) {
            QJsonArray array;
            for (int ticket : tickets)
                array.append(position(ticket, ticket == 10 ? "GBPUSD" : "EURUSD", "buy", 10000, 1.1));
            return array;
        };
        m_window->positionStore().setOpenPositions(positions({11, 12, 13}));
        auto *dialog = child<New_Order>();
        dialog->hide();
        const int before = m_session->server.requests(4).size();
        popuppicker::choose(entry, [&] { m_window->positionStore().setOpenPositions(positions(kept)); });
        emit m_trade->customContextMenuRequested(m_trade->visualItemRect(m_trade->item(rowOfTicket(12), 1)).center());
        QString outcome = dialog->isVisible() ? dialog->windowTitle() + ' ' + dialog->currentSymbol() : QString();
        m_window->sendCloseAllRequest(0);
        const auto requests = [&] { return m_session->server.requests(4); };
        QTRY_VERIFY_WITH_TIMEOUT(requests().size() > before && requests().last().value("type") == 9, patienceMs);
        QTEST(outcome + '|' + QString::number(requests().size() - before), "outcome");
    }

    // The history view's context menu: its requests and the statement.
    void menuRequests_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QJsonObject>("request");

        const auto range = [](int days) {
            const auto r = tradeHistoryRange(days);
            return QJsonObject{{"from", int(r.first)}, {"to", int(r.second)}, {"req_code", 5}, {"login", 1001}};
        };
        QTest::newRow("today") << "Today" << range(-1);
        QTest::newRow("this week") << "This week" << range(-7);
        QTest::newRow("this month") << "This month" << range(-30);
        QTest::newRow("all") << "All" << QJsonObject{{"from", 0}, {"to", -1}, {"req_code", 5}, {"login", 1001}};
    }
    void menuRequests()
    {
        QFETCH(QString, entry);
        QFETCH(QJsonObject, request);
        const int before = m_session->server.requests(5).size();
        popuppicker::choose(entry);
        emit m_positions->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(5).size(), before + 1, patienceMs);
        QCOMPARE(m_session->server.requests(5).last(), request);
        QTRY_VERIFY(m_journal.lines.contains("History Request: Requested period: " + entry));
    }

    // The trade sound for a done trade, the error sound for anything else.
    void tradeResultSounds_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<SoundEffects::Sound>("sound");
        QTest::newRow("done") << 10009 << SoundEffects::Trade;
        QTest::newRow("requote") << 10004 << SoundEffects::Error;
        QTest::newRow("no status") << 0 << SoundEffects::Error;
    }
    void tradeResultSounds()
    {
        QFETCH(int, status);
        QSignalSpy played(child<SoundEffects>(), &SoundEffects::played);
        m_window->onTradeResponse({{"res_code", 7}, {"status", status}});
        QCOMPARE(played.size(), 1);
        QTEST(played[0][0].value<SoundEffects::Sound>(), "sound");
    }

    void statementFromTheMenu()
    {
        const QByteArray reply = R"({"res_code":5,"positions":[{"symbol":"<script>\u0000alert(1)\u001b</script>",)"
                                 R"("type":"a&b",)"
                                 R"("profit":5}],"deals":[{"type":2,"profit":1000},{"type":2,"profit":-200}]})";
        QVERIFY(sendUntil(m_session->server, {QJsonDocument::fromJson(reply).object()},
                          [&] { return rowTexts(m_positions, 0).value(3) == "a&b"; }));
        QTemporaryDir folder;
        const QString path = folder.filePath("statement.html");
        m_session->window->statementPathChooser = [&](const QString &proposed) {
            return proposed == "ReportHistory-1001.html" ? path : QString();
        };
        QDesktopServices::setUrlHandler("file", this, "openedInBrowser");
        popuppicker::choose("Save as Report");
        emit m_positions->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE_WITH_TIMEOUT(m_opened, QUrl::fromLocalFile(path), patienceMs);
        QDesktopServices::unsetUrlHandler("file");

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Well-formed XHTML, the server's texts shown as text with what XML forbids replaced, the deals
        // footer's figures in the summary.
        QXmlStreamReader xml(&file);
        QStringList cells;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && (xml.name() == "th" || xml.name() == "td"))
                cells << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(cells.contains(QString::fromUtf8("<script>\uFFFDalert(1)\uFFFD</script>")) && cells.contains("a&b"));
        QCOMPARE(cells.mid(cells.lastIndexOf("Deposit")),
                 QStringList({"Deposit", "1000.00", "Withdraw", "-200.00", "Swap", "0.00", "Commission", "0.00",
                              "Balance", "805.00"}));
    }

    // Times of a whole table read as the server-time formatter writes them.
    void dateTimeTexts_data()
    {
        QTest::addColumn<QString>("zone"); // an offset as the server gives it, a zone name, or none
        QTest::addColumn<qint64>("seconds");
        const qint64 midnight = 1700000000 - 1700000000 % 86400;
        QTest::newRow("epoch, before the first login") << "none" << qint64(0);
        QTest::newRow("a second before the epoch") << "+00:00" << qint64(-1);
        QTest::newRow("east of UTC, past midnight there") << "+05:30" << midnight - 3600;
        QTest::newRow("west of UTC, the day before there") << "-12:00" << midnight + 3600;
        QTest::newRow("a leap day") << "+05:30" << qint64(951782400);
        QTest::newRow("the last second of year 9999") << "+00:00" << qint64(253402300799);
        QTest::newRow("year 10000") << "+00:00" << qint64(253402300800);
        QTest::newRow("year 1") << "+05:30" << qint64(-62135596800);
        QTest::newRow("far past any year") << "+00:00" << (qint64(1) << 42);
        QTest::newRow("a zone with summer time") << "Europe/Berlin" << qint64(1690000000);
    }
    void dateTimeTexts()
    {
        QFETCH(QString, zone);
        QFETCH(qint64, seconds);
        const QTimeZone timeZone = zone == QLatin1String("none") ? QTimeZone()
                                   : zone.front().isLetter()     ? QTimeZone(zone.toLatin1())
                                                                 : parseServerTimeZone(zone);
        QCOMPARE(DateTimeTexts(timeZone)(seconds), formatDateTime(seconds, timeZone));
    }

    // A cell shows the text it was made with, however it stores it, and tells it apart.
    void textItems_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("later"); // set afterwards, when not empty
        QTest::newRow("a price") << "1.10000"
                                 << "";
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("a time, as long as is kept inside") << "2023-11-14 22:13:20"
                                                           << "";
        QTest::newRow("longer than is kept inside") << "buy limit stop, 23 chars"
                                                    << "";
        QTest::newRow("Latin-1") << QString::fromUtf8("caf\u00e9") << "";
        QTest::newRow("beyond Latin-1") << QString::fromUtf8("\u20ac 5") << "";
        QTest::newRow("a later text wins") << "1.10000"
                                           << "1.10001";
    }
    void textItems()
    {
        QFETCH(QString, text);
        QFETCH(QString, later);
        TextItem item(text);
        if (!later.isEmpty())
            item.setText(later);
        const QString shown = later.isEmpty() ? text : later;
        QCOMPARE(item.text(), shown);
        QVERIFY(item.reads(shown));
        QVERIFY(!item.reads(shown + QLatin1Char('0')));
        QVERIFY(!item.reads(QString(shown).replace(0, 1, QLatin1Char('#'))) || shown.isEmpty());
        QCOMPARE(QScopedPointer<QTableWidgetItem>(item.clone())->text(), shown);
    }

    // Last: it leaves the window in English after a failed load.
    void switchingLanguage()
    {
        MessageBoxCloser boxes;
        m_window->switchLanguage(":/translations/translations-turkish.qm");
        QCOMPARE(child<QAction>("actionNew_Order")->text() + (m_window->layoutDirection() == Qt::LeftToRight ? " ltr" : ""),
                 "Yeni Emir ltr");
        m_window->switchLanguage(":/translations/translations-arabic.qm");
        QCOMPARE(m_window->layoutDirection(), Qt::RightToLeft);
        // Figures keep their order in every table and the summary line.
        for (const char *table : {"symbolTableWidget", "tradeTableWidget", "netTableWidget", "positionTableWidget",
                                  "orderTableWidget", "dealTableWidget"})
            QVERIFY(qobject_cast<LeftToRightFiguresDelegate *>(child<QTableWidget>(table)->itemDelegate()));
        QVERIFY(qobject_cast<LeftToRightFiguresDelegate *>(m_window->journal()->itemDelegate()));
        QCOMPARE(m_summary->layoutDirection(), Qt::LeftToRight);
        // The dialogs retranslate themselves when the language-change event reaches them.
        QTRY_COMPARE(child<ChangePasswordDlg>()->windowTitle(), QString::fromUtf8("تغيير كلمة المرور"));
        QCOMPARE(child<QAction>("actionNew_Order")->text(), QString::fromUtf8("أمر جديد"));
        m_window->switchLanguage(":/translations/none.qm"); // warns and falls back to English
        QCOMPARE(boxes.texts, QStringList("Error: Failed to translate."));
        QCOMPARE(m_window->layoutDirection(), Qt::LeftToRight);
        QTRY_COMPARE(child<ChangePasswordDlg>()->windowTitle(), "Change Password");
        QCOMPARE(child<QAction>("actionNew_Order")->text() + ", " + m_window->windowTitle(),
                 "New Order, Test Client (1001, Kestral-Demo)");
    }
};

KESTRAL_TEST_MAIN(TestTradeTables)
#include "tst_tradetables.moc"
