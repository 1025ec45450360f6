// Reconnection after a lost connection, and the requests caught by one. These wait
// out the client's real 3 s reconnection delay, so they live apart from the quick tests.
#include "testmain.h"
#include "tradesession.h"

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
        QSignalSpy errors(&session.events, &SessionEvents::error);
        QSignalSpy connections(&session.server, &FakeTradeServer::clientConnected);
        if (refused) {
            session.server.setRefusing(true);
            session.connectToServer();
            QVERIFY(errors.wait(5000));
        } else {
            session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
            QVERIFY(session.logIn());
            QCOMPARE(session.loginFails, 1);
            session.server.dropClients();
            QTRY_COMPARE(session.disconnects, 1);
        }
        const int attempts = connections.count();
        QVERIFY(!connections.wait(3600));
        QCOMPARE(connections.count(), attempts);
        QCOMPARE(errors.count(), 1);
        if (refused) // the journal knows only of the attempt
            QCOMPARE(session.journal.lines(), QStringList{"Terminal: 1001 try to connect to Demo"});
    }

    void logoutCancelsAPendingReconnection()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QSignalSpy connections(&session.server, &FakeTradeServer::clientConnected);
        session.server.dropClients();
        QTRY_COMPARE(session.disconnects, 1);
        session.client.logout();
        QVERIFY(!connections.wait(3600));
        QVERIFY(!session.client.isRunning());
        QTRY_VERIFY(session.journal.lines().contains("Terminal: 1001 Log out from Demo"));
    }

    // A request made while the connection is down is neither handed to a closed
    // socket nor kept for the next connection: it is dropped and the journal says so.
    void aRequestDuringReconnectionIsDroppedInTheOpen()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.server.dropClients();
        QTRY_COMPARE(session.disconnects, 1);
        session.client.sendRequest({{"req_code", 4}, {"type", 0}, {"order_type", 0}, {"volume", 100}, {"symbol", "EURUSD"}});
        QTRY_COMPARE(session.journal.count("Network: Request not sent, no connection to Demo"), 1);

        QTRY_COMPARE_WITH_TIMEOUT(session.logins.size(), 2, 6000);
        session.client.sendRequest({{"req_code", 5}, {"from", 0}, {"to", -1}});
        QTRY_COMPARE(session.server.requests(5).size(), 1);
        QCOMPARE(session.server.requests(4).size(), 0);
    }

    // After a successful login the client keeps trying while the server is away,
    // quietly, and a failed login on a reconnection does not stop it.
    void keepsReconnectingWhileLoggedIn()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.journal.clear();
        QSignalSpy errors(&session.events, &SessionEvents::error);
        session.server.setRefusing(true);
        session.server.dropClients();
        QVERIFY(errors.wait(2000));                       // the lost connection
        QVERIFY(errors.count() == 2 || errors.wait(5000)); // the first refused attempt
        QTRY_COMPARE(session.journal.lines(),
                     (QStringList{"Network: Network closed forcely", "Network: Disconnected from Demo"}));

        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        session.server.setRefusing(false);
        QTRY_COMPARE_WITH_TIMEOUT(session.loginFails, 1, 6000);
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(1).size(), 3, 6000);
    }
};

KESTRAL_TEST_MAIN(TestTradeClientReconnect)
#include "tst_tradeclientreconnect.moc"
