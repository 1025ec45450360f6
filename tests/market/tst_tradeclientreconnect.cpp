// Keep-alive and reconnection after a lost connection, on the client's real 3 s and 1.5 s periods.
#include "testmain.h"
#include "tradesession.h"

// Longer than the reconnection delay, to show that no attempt follows.
constexpr int quietMs = 4500;

class TestTradeClientReconnect : public QObject
{
    Q_OBJECT

private slots:
    void noReconnectionWithoutALogin_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("the server rejects the first login, then drops the connection") << 0;
        QTest::newRow("the server refuses the first connection") << 1;
        QTest::newRow("logging out cancels a pending reconnection") << 2;
    }
    void noReconnectionWithoutALogin()
    {
        QFETCH(int, how);

        TradeSession session;
        QSignalSpy connections(&session.server, &FakeTradeServer::clientConnected);
        session.server.setRefusing(how == 1);
        session.server.setLoginReply(how == 0 ? FakeTradeServer::LoginMode::Reject : FakeTradeServer::LoginMode::Accept);
        if (how == 1) {
            session.connectToServer();
            QTRY_COMPARE_WITH_TIMEOUT(session.errors, 1, patienceMs);
        } else {
            QVERIFY(session.logIn());
            session.server.dropClients();
            QTRY_COMPARE_WITH_TIMEOUT(session.disconnects, 1, patienceMs);
        }
        if (how == 2)
            session.client.logout();
        QVERIFY(!connections.wait(quietMs));
        if (how == 1) // a connection that never opened has no error in the journal
            QCOMPARE(session.journal.lines, QStringList{"Terminal: 1001 try to connect to Demo"});
    }

    // While logged in the client keeps trying, quietly, and a failed login on a
    // reconnection does not stop it. A request made while the connection is down is
    // dropped in the open, not kept for the next connection.
    void keepsReconnectingWhileLoggedIn()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QTRY_COMPARE(session.journal.lines.size(), 3); // up to the login
        session.journal.lines.clear();
        session.server.setRefusing(true);
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.errors, 2, patienceMs); // the loss, then a refused attempt
        session.client.sendRequest({{"req_code", 4}, {"type", 0}, {"symbol", "EURUSD"}});
        // The refused attempt, on no open connection, is no journal line.
        QTRY_COMPARE_WITH_TIMEOUT(session.journal.lines,
                                  (QStringList{"Network: Network closed forcely", "Network: Disconnected from Demo",
                                               "Network: Request not sent, no connection to Demo"}),
                                  patienceMs);
        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        session.server.setRefusing(false);
        QTRY_COMPARE_WITH_TIMEOUT(session.loginFails, 1, patienceMs);
        session.client.sendRequest({{"req_code", 5}});
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(5).size(), 1, patienceMs);
        QCOMPARE(session.server.requests(4).size(), 0);
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(1).size(), 3, patienceMs);
    }

    // Talking, the server is never pinged; quiet but answering pings, it keeps the
    // connection; silent, it is closed and, 3 s later, connected to again.
    void keepsAnAnsweringServerAndReconnectsASilentOne()
    {
        TradeSession session;
        QElapsedTimer clock;
        std::atomic<qint64> droppedMs{-1};
        qint64 reconnectedMs = -1;
        QObject guard; // goes before the stamps
        // Stamped in the network thread as the connection goes, so a busy test thread
        // can only lengthen the measure.
        connect(Logger::instance(), &Logger::logMessage, &guard, [&](const QDateTime &, const QString &, const QString &m) {
            if (m.startsWith("Disconnected from"))
                droppedMs = clock.elapsed();
        }, Qt::DirectConnection);
        connect(&session.server, &FakeTradeServer::clientConnected, &guard, [&] { reconnectedMs = clock.elapsed(); });
        clock.start();
        QVERIFY(session.logIn());
        QSignalSpy pings(&session.server, &FakeTradeServer::pingReceived);
        QTimer talker;
        connect(&talker, &QTimer::timeout, [&session] { session.server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2)); });
        talker.start(200);
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
        const qint64 delay = reconnectedMs - droppedMs;
        QVERIFY2(delay >= 2500 && delay < 10000, qPrintable(QString::number(delay)));
    }
};

KESTRAL_TEST_MAIN(TestTradeClientReconnect)
#include "tst_tradeclientreconnect.moc"
