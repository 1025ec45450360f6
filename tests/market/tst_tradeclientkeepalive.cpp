// Keep-alive: pings, the pong watchdog and the reconnection after it, on the client's
// real 3 s and 1.5 s periods.
#include "testmain.h"
#include "tradesession.h"

class TestTradeClientKeepAlive : public QObject
{
    Q_OBJECT

private slots:
    // Talking, the server is never pinged; quiet but answering pings, it keeps the
    // connection and its one login.
    void anAnsweringServerKeepsTheConnection()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QTimer talker;
        connect(&talker, &QTimer::timeout, [&session] { session.server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2)); });
        talker.start(500);
        QSignalSpy pings(&session.server, &FakeTradeServer::pingReceived);
        QVERIFY(!pings.wait(3500));
        talker.stop();
        QTest::qWait(7000);
        QVERIFY(pings.count() >= 2);
        QCOMPARE(session.disconnects, 0);
        QCOMPARE(session.server.requests(1).size(), 1);
    }

    void aSilentServerIsClosedAndReconnected()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QSignalSpy pings(&session.server, &FakeTradeServer::pingReceived);
        session.server.setSilent(true);
        // A ping 3 s after the last frame, the close 1.5 s later, before a second ping.
        QTRY_COMPARE_WITH_TIMEOUT(session.server.closeCodes(), QList<int>{1006}, patienceMs);
        QCOMPARE(pings.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(session.journal.lines.contains("Network: Disconnected from Demo"), patienceMs);
        session.server.setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(session.logins.size(), 2, patienceMs);
        // About 3 s; a stalled test thread can only lengthen the measure.
        const qint64 delay = session.serverConnectMs.last() - session.lastDisconnectMs;
        QVERIFY2(delay >= 2500 && delay < 10000, qPrintable(QString::number(delay)));
    }
};

KESTRAL_TEST_MAIN(TestTradeClientKeepAlive)
#include "tst_tradeclientkeepalive.moc"
