#include "appglobals.h"
#include "clientterminal.h"
#include "new_order.h"
#include "popuppicker.h"
#include "resend.h"
#include "terminalsession.h"
#include "testmain.h"

#include <QDockWidget>
#include <QJsonArray>
#include <QLabel>
#include <QTableWidget>

Q_DECLARE_METATYPE(QList<QJsonObject>)

namespace {

QJsonObject position(int ticket, const QString &symbol, const QString &type, int volume, double price,
                     const QJsonValue &swap = QJsonValue::Undefined, double profit = 0.0)
{
    QJsonObject p{{"ticket", ticket},  {"symbol", symbol}, {"type", type}, {"volume", volume}, {"price", price},
                  {"csize", 100000.0}, {"r_profit", 1.0},  {"digits", 5},  {"profit", profit}};
    if (!swap.isUndefined())
        p["swap"] = swap;
    return p;
}

QJsonObject positionsReply(const QJsonObject &figures, const QJsonValue &isLast, const QJsonArray &array = {})
{
    QJsonObject reply = figures;
    reply["res_code"] = 4;
    reply["is_last"] = isLast;
    reply["array"] = array;
    return reply;
}

} // namespace

// The trade and net tables and the summary line of a logged-in window, fed by the fake server.
class TestTradeTables : public QObject
{
    Q_OBJECT

    TerminalSession *m_session = nullptr;
    QTableWidget *m_trade = nullptr;
    QTableWidget *m_net = nullptr;
    QLabel *m_summary = nullptr;
    double m_nextBid = 2.0;

    QStringList rowTexts(const QTableWidget *table, int row) const
    {
        QStringList texts;
        for (int column = 0; column < table->columnCount(); ++column)
            texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
        return texts;
    }
    // A tick the position store has not seen, so that it reports the net profit.
    QJsonObject freshTick(const QString &symbol)
    {
        m_nextBid += 0.001;
        return FakeTradeServer::tick(symbol, m_nextBid, m_nextBid + 0.0002);
    }
    bool send(const QList<QJsonObject> &messages, const std::function<bool()> &done)
    {
        return sendUntil(m_session->server, messages, done);
    }
    int rowOfTicket(int ticket) const
    {
        const auto found = m_trade->findItems(QString::number(ticket), Qt::MatchExactly);
        return found.isEmpty() ? -1 : found.first()->row();
    }
    void openMenuOnRow(int row)
    {
        const QPoint pos = row < 0 ? QPoint(2, m_trade->viewport()->height() - 2)
                                   : m_trade->visualItemRect(m_trade->item(row, 1)).center();
        emit m_trade->customContextMenuRequested(pos);
    }

private slots:
    void initTestCase()
    {
        m_session = new TerminalSession;
        QVERIFY(m_session->loginAndWait());
        m_session->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
        m_trade = m_session->window->findChild<QTableWidget *>("tradeTableWidget");
        m_net = m_session->window->findChild<QTableWidget *>("netTableWidget");
        m_summary =
            qobject_cast<QLabel *>(m_session->window->findChild<QDockWidget *>("toolboxDockWidget")->titleBarWidget());
        QVERIFY(m_summary);
    }
    void cleanupTestCase() { delete m_session; }
    void cleanup() { readOnlyMode = false; }

    void positionsReplies_data()
    {
        QTest::addColumn<QList<QJsonObject>>("replies");
        QTest::addColumn<int>("tradeRows");
        QTest::addColumn<QString>("summary");

        const QJsonArray one{position(1, "EURUSD", "buy", 10000, 1.1, -1.2)};
        QTest::newRow("last page: positions, figures and swap")
            << QList<QJsonObject>{positionsReply({{"balance", 1000}, {"margin", 20}}, 1, one)} << 1
            << " Balance: 1000.00 USD, Net profit: 0.00, Equity: 998.80 USD, Used margin: 20.00, Free margin: 980.00";
        QTest::newRow("credit between equity and margin")
            << QList<QJsonObject>{positionsReply({{"balance", 1000}, {"credit", 50}, {"margin", 20}}, 1)} << 0
            << " Balance: 1000.00 USD, Net profit: 0.00, Equity: 1050.00 USD, Credit: 50.00, Used margin: 20.00, "
               "Free margin: 1030.00";
        QTest::newRow("soft margin call")
            << QList<QJsonObject>{positionsReply({{"balance", 100}, {"margin", 150}}, 1)} << 0
            << "<font color='red'> Balance: 100.00 USD, Net profit: 0.00, Equity: 100.00 USD, Used margin: 150.00, "
               "Free margin: -50.00 (soft margin call)</font>";
        QTest::newRow("earlier pages update figures only; true is not a last page")
            << QList<QJsonObject>{positionsReply({{"balance", 7}}, 1),
                                  positionsReply({{"balance", 500}, {"margin", 5}}, 0, one),
                                  positionsReply({{"balance", 500}, {"margin", 5}}, true, one)}
            << 0
            << " Balance: 500.00 USD, Net profit: 0.00, Equity: 500.00 USD, Used margin: 5.00, Free margin: 495.00";
        QTest::newRow("null, text and missing swaps add nothing")
            << QList<QJsonObject>{positionsReply(
                   {}, 1,
                   {position(5, "XAUUSD", "buy", 100, 1, QJsonValue::Null), position(6, "XAUUSD", "buy", 100, 1, "3"),
                    position(7, "XAUUSD", "buy", 100, 1), position(8, "XAUUSD", "buy", 100, 1, 2)})}
            << 4 << " Balance: 0.00 USD, Net profit: 0.00, Equity: 2.00 USD, Used margin: 0.00, Free margin: 0.00";
    }
    void positionsReplies()
    {
        QFETCH(QList<QJsonObject>, replies);
        QFETCH(QString, summary);
        // A tick of a symbol without positions rewrites the line from the figures held.
        QVERIFY(send(replies + QList<QJsonObject>{freshTick("AUDUSD")}, [&] { return m_summary->text() == summary; }));
        QTEST(m_trade->rowCount(), "tradeRows");
    }

    void tickRepricesRowsNetAndFooter()
    {
        QJsonArray positions{position(11, "EURUSD", "buy", 10000, 1.102), position(12, "EURUSD", "sell", 5000, 1.2),
                             position(13, "GBPUSD", "buy", 20000, 1.3, 0.0, 4.0)};
        const QJsonObject order{{"ticket", 14}, {"symbol", "EURUSD"}, {"type", 2}, {"price", 1.05}};
        QVERIFY(
            send({positionsReply({{"balance", 10000}}, 1, positions), {{"res_code", 6}, {"array", QJsonArray{order}}}},
                 [&] { return rowOfTicket(14) >= 0 && rowOfTicket(13) >= 0; }));
        QCOMPARE(m_trade->rowCount(), 4);
        QCOMPARE(m_net->rowCount(), 3);
        const QStringList orderRow = rowTexts(m_trade, 3);

        QVERIFY(send({FakeTradeServer::tick("EURUSD", 1.101, 1.1012)},
                     [&] { return m_trade->item(rowOfTicket(11), 10)->text() == "-100.00"; }));
        QCOMPARE(m_trade->item(rowOfTicket(11), 10)->foreground().color(), QColor(Qt::red));
        const int sell = rowOfTicket(12);
        QCOMPARE(m_trade->item(sell, 8)->text(), "1.10120");
        QCOMPARE(m_trade->item(sell, 10)->text(), "4940.00");
        QCOMPARE(m_trade->item(sell, 10)->foreground().color(), QColor(Qt::blue));
        QCOMPARE(m_trade->item(sell, 3)->foreground().color(), QColor(Qt::red));
        QCOMPARE(rowTexts(m_trade, 3), orderRow);

        QCOMPARE(rowTexts(m_net, 0),
                 (QStringList{"EURUSD", "2", "1.00", "1.10200", "0.50", "1.20000", "0.50", "4840.00"}));
        QCOMPARE(rowTexts(m_net, 1),
                 (QStringList{"GBPUSD", "1", "2.00", "1.30000", "0.00", "0.00000", "2.00", "4.00"}));
        QCOMPARE(rowTexts(m_net, 2), (QStringList{"Summary", "3", "3.00", "", "0.50", "", "2.50", "4844.00"}));
        QVERIFY(m_net->item(2, 7)->font().bold());
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

    // After the previous test: positions 11 to 13 and order 14 are in the table.
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
    }
    void closeRequests()
    {
        QFETCH(int, ticket);
        QFETCH(QString, entry);
        const int before = m_session->server.requests(4).size();
        popuppicker::choose(entry);
        openMenuOnRow(ticket ? rowOfTicket(ticket) : -1);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(4).size(), before + 1, patienceMs);
        QTEST(m_session->server.requests(4).last(), "request");
    }

    void modifyOpensTheDialogForThePosition()
    {
        popuppicker::choose("Modify Position");
        openMenuOnRow(rowOfTicket(12));
        auto *dialog = m_session->window->findChild<New_Order *>();
        QTRY_VERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->windowTitle().endsWith("#12"));
        QVERIFY(dialog->windowTitle().startsWith("Modify Position"));
        dialog->hide();
    }

    void readOnlyRefusesClosing()
    {
        readOnlyMode = true;
        const int before = m_session->server.requests(4).size();
        for (const char *entry : {"Close All Positions", "Close Position"}) {
            QString box;
            popuppicker::closeBox(&box);
            popuppicker::choose(entry);
            openMenuOnRow(rowOfTicket(11));
            QCOMPARE(box, "Warning: Trade operations restricted in Read Only Mode.");
        }
        // The next allowed request is the first the server gets.
        readOnlyMode = false;
        popuppicker::choose("Close Losing Positions");
        openMenuOnRow(rowOfTicket(11));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(4).size(), before + 1, patienceMs);
        QCOMPARE(m_session->server.requests(4).last()["sub_type"].toInt(), 2);
    }

    // The logged-in window with a ticking market watch as a picture: rises and falls in the
    // bid column, highs in blue and lows in red in their own.
    void screenshot()
    {
        Client_Terminal *window = m_session->window.get();
        const QStringList symbols{"EURUSD", "GBPUSD", "USDJPY", "XAUUSD"};
        for (int round = 0; round < 2; ++round) {
            QList<QJsonObject> ticks;
            for (int i = 0; i < symbols.size(); ++i) {
                const double bid = 1.1 + (i % 2 == round ? 0.01 : -0.01) + round * 0.001;
                ticks.append(FakeTradeServer::tick(symbols[i], bid, bid + 0.0002));
            }
            QVERIFY(send(ticks, [&] {
                return window->symbolStorage().lastTick(symbols.last()).bid == ticks.last()["bid"].toDouble();
            }));
        }
        const QImage picture = window->grab().toImage();
        picture.save("/tmp/tables-screenshot.png");
        auto *watch = window->findChild<QTableWidget *>("symbolTableWidget");
        const QRect area(watch->viewport()->mapTo(window, QPoint(0, 0)), watch->viewport()->size());
        int blue = 0;
        int red = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c =
                    picture.pixelColor(x * picture.width() / window->width(), y * picture.height() / window->height());
                blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
                red += c.red() > 150 && c.blue() < 100 && c.green() < 100;
            }
        }
        QVERIFY2(blue > 40 && red > 40, qPrintable(QStringLiteral("blue %1, red %2").arg(blue).arg(red)));
    }
};

KESTRAL_TEST_MAIN(TestTradeTables)
#include "tst_tradetables.moc"
