// Reconnection after a lost connection, and the requests caught by one. These wait
// out the client's real 3 s reconnection delay, so they live apart from the quick tests.
#include "testmain.h"
#include "tradesession.h"

// Longer than the 3 s reconnection delay, to show that no attempt follows.
constexpr int quietMs = 4500;

class TestTradeClientReconnect : public QObject
{
    Q_OBJECT

private slots:
    void aFirstFailedLoginIsNeverRetried_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("the server rejects the login, then drops the connection") << false;
        QTest::newRow("the server refuses the connection") << true;
    }
    void aFirstFailedLoginIsNeverRetried()
    {
        QFETCH(bool, refused);

        TradeSession session;
        QSignalSpy connections(&session.server, &FakeTradeServer::clientConnected);
        if (refused) {
            session.server.setRefusing(true);
            session.connectToServer();
        } else {
            session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
            QVERIFY(session.logIn());
            QCOMPARE(session.loginFails, 1);
            session.server.dropClients();
            QTRY_COMPARE_WITH_TIMEOUT(session.disconnects, 1, patienceMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(session.errors.size(), 1, patienceMs);
        const int attempts = connections.count();
        QVERIFY(!connections.wait(quietMs));
        QCOMPARE(connections.count(), attempts);
        QCOMPARE(session.errors.size(), 1);
        if (refused) // the journal knows only of the attempt
            QCOMPARE(session.journal.lines, QStringList{"Terminal: 1001 try to connect to Demo"});
    }

    void logoutCancelsAPendingReconnection()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QSignalSpy connections(&session.server, &FakeTradeServer::clientConnected);
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.disconnects, 1, patienceMs);
        session.client.logout();
        QVERIFY(!connections.wait(quietMs));
        QVERIFY(!session.client.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(session.journal.lines.contains("Terminal: 1001 Log out from Demo"), patienceMs);
    }

    // A request made while the connection is down is neither handed to a closed
    // socket nor kept for the next connection: it is dropped and the journal says so.
    void aRequestDuringReconnectionIsDroppedInTheOpen()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.disconnects, 1, patienceMs);
        session.client.sendRequest({{"req_code", 4}, {"type", 0}, {"order_type", 0}, {"volume", 100}, {"symbol", "EURUSD"}});
        QTRY_COMPARE_WITH_TIMEOUT(session.journal.lines.count("Network: Request not sent, no connection to Demo"), 1,
                                  patienceMs);

        QTRY_COMPARE_WITH_TIMEOUT(session.logins.size(), 2, patienceMs);
        session.client.sendRequest({{"req_code", 5}, {"from", 0}, {"to", -1}});
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(5).size(), 1, patienceMs);
        QCOMPARE(session.server.requests(4).size(), 0);
    }

    // After a successful login the client keeps trying while the server is away,
    // quietly, and a failed login on a reconnection does not stop it.
    void keepsReconnectingWhileLoggedIn()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.journal.lines.clear();
        session.server.setRefusing(true);
        session.server.dropClients();
        // The lost connection, then the first refused attempt.
        QTRY_COMPARE_WITH_TIMEOUT(session.errors.size(), 2, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(session.journal.lines,
                                  (QStringList{"Network: Network closed forcely", "Network: Disconnected from Demo"}),
                                  patienceMs);

        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        session.server.setRefusing(false);
        QTRY_COMPARE_WITH_TIMEOUT(session.loginFails, 1, patienceMs);
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(1).size(), 3, patienceMs);
    }
};

KESTRAL_TEST_MAIN(TestTradeClientReconnect)
#include "tst_tradeclientreconnect.moc"

