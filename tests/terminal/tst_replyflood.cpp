// The main window against a server that resends what it already sent: replies
// that change nothing ask for nothing, and changes handled together ask for the
// trade history once.
#include "pricedatabuffer.h"
#include "terminalsession.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QElapsedTimer>
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

QJsonObject orders(int ticket)
{
    return {{"res_code", 6}, {"array", QJsonArray{QJsonObject{{"ticket", ticket}, {"symbol", "EURUSD"}, {"type", 2}}}}};
}

// Sends the replies while the window is busy, so that it handles them in one go.
void sendWhileBusy(TerminalSession &session, const QList<QJsonObject> &replies)
{
    auto *batcher = session.window->findChild<PriceDataBuffer *>();
    QSignalSpy batches(batcher, &PriceDataBuffer::tickUpdated);
    for (const QJsonObject &reply : replies)
        session.server.send(reply);
    session.server.send(FakeTradeServer::tick("END", 1.0, 1.1));
    session.server.flush();
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < patienceMs && batches.isEmpty())
        batcher->onTimerTriggered();
}

} // namespace

class TestReplyFlood : public QObject
{
    Q_OBJECT

private slots:
    // Rounds, each handled in one go; the last one changes the trade table.
    void historyIsAskedOncePerChange_data()
    {
        QTest::addColumn<QList<QList<QJsonObject>>>("rounds");
        QTest::addColumn<int>("requests"); // after the one of the login
        QTest::newRow("positions and orders changed together") << QList<QList<QJsonObject>>{{positions(1), orders(7)}}
                                                                << 1;
        QTest::newRow("the same orders and positions again are no change")
            << QList<QList<QJsonObject>>{{positions(1), orders(7)}, {orders(7)}, {positions(1)}, {positions(2), orders(8)}}
            << 2;
    }
    void historyIsAskedOncePerChange()
    {
        QFETCH(QList<QList<QJsonObject>>, rounds);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(5).size(), 1, patienceMs);
        for (const QList<QJsonObject> &round : std::as_const(rounds)) {
            sendWhileBusy(session, round);
            QCoreApplication::processEvents(); // handles the round
            QCoreApplication::processEvents(); // and what it left for later
        }
        // The last round's positions and order show.
        auto *table = session.window->findChild<QTableWidget *>("tradeTableWidget");
        const QString order = QString::number(rounds.last().last()["array"].toArray().first()["ticket"].toInt());
        const int rows = rounds.last().first()["array"].toArray().size() + 1;
        QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() == rows && !table->findItems(order, Qt::MatchExactly).isEmpty(),
                                 patienceMs);
        // Requests go out in order: once this one is in, every history request before it is.
        session.client->sendRequest({{"req_code", 3}, {"symbol", "END"}});
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(3).last()["symbol"], "END", patienceMs);
        QTEST(session.server.requests(5).size() - 1, "requests");
    }
};

KESTRAL_TEST_MAIN(TestReplyFlood)
#include "tst_replyflood.moc"
