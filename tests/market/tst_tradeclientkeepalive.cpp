// Keep-alive: pings, the pong watchdog and the reconnection after it, on the client's
// real 3 s and 1.5 s periods.
#include "testmain.h"
#include "tradesession.h"

class TestTradeClientKeepAlive : public QObject
{
    Q_OBJECT

private slots:
    // Talking, the server is never pinged; quiet but answering pings, it keeps the
    // connection; silent, it is closed and, 3 s later, connected to again.
    void keepsAnAnsweringServerAndReconnectsASilentOne()
    {
        TradeSession session;
        QElapsedTimer clock;
        std::atomic<qint64> droppedMs{-1};
        qint64 reconnectedMs = -1;
        QObject guard; // goes before the stamps
        // Stamped in the network thread, so a busy test thread cannot shorten the measure.
        connect(&session.client, &TradeClient::websocketDisconnected, &guard, [&] { droppedMs = clock.elapsed(); },
                Qt::DirectConnection);
        connect(&session.server, &FakeTradeServer::clientConnected, &guard, [&] { reconnectedMs = clock.elapsed(); });
        clock.start();
        QVERIFY(session.logIn());
        QTimer talker;
        connect(&talker, &QTimer::timeout,
                [&session] { session.server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2)); });
        talker.start(500);
        QSignalSpy pings(&session.server, &FakeTradeServer::pingReceived);
        QVERIFY(!pings.wait(3500));
        talker.stop();
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
        // About 3 s; a stalled test thread can only lengthen the measure.
        const qint64 delay = reconnectedMs - droppedMs;
        QVERIFY2(delay >= 2500 && delay < 10000, qPrintable(QString::number(delay)));
    }
};

KESTRAL_TEST_MAIN(TestTradeClientKeepAlive)
#include "tst_tradeclientkeepalive.moc"
