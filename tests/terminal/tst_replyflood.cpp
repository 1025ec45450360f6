// The main window against a server that resends what it already sent: replies
// that change nothing ask for nothing, and changes handled together ask for the
// trade history once.
#include "pricedatabuffer.h"
#include "terminalsession.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QJsonArray>
#include <QTableWidget>

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
};

KESTRAL_TEST_MAIN(TestReplyFlood)
#include "tst_replyflood.moc"
