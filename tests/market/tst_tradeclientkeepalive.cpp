// Keep-alive: pings, the pong watchdog and the reconnection after it, on the client's
// real 3 s and 1.5 s periods.
#include "testmain.h"
#include "tradesession.h"

class TestTradeClientKeepAlive : public QObject
{
    Q_OBJECT

private slots:
    // Quiet but answering pings, the server keeps the connection; silent, it is
    // closed and connected to again.
    void keepsAnAnsweringServerAndReconnectsASilentOne()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QSignalSpy pings(&session.server, &FakeTradeServer::pingReceived);
        QTest::qWait(7000);
        QVERIFY(pings.count() >= 2);
        QCOMPARE(session.disconnects, 0);

        pings.clear();
        session.server.setSilent(true);
        // A ping 3 s after the last frame, the close 1.5 s later, before a second ping.
        QTRY_COMPARE_WITH_TIMEOUT(session.server.closeCodes(), QList<int>{1006}, patienceMs);
        QCOMPARE(pings.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(session.journal.lines.contains("Network: Disconnected from Demo"), patienceMs);
        session.server.setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(session.logins, 2, patienceMs);
    }
};

KESTRAL_TEST_MAIN(TestTradeClientKeepAlive)
#include "tst_tradeclientkeepalive.moc"
