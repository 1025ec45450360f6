// The trade-server client against a fake server on 127.0.0.1: login, account changes,
// the send queue, a broken peer, and teardown while replies are in flight.
#include "testmain.h"
#include "tradesession.h"

#include <memory>

class TestTradeClient : public QObject
{
    Q_OBJECT

private slots:
    void aSessionFromLoginToLogout()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QCOMPARE(session.server.receivedTexts(), QStringList{"{\"id\":1001,\"password\":\"secret\",\"req_code\":1,\"type\":3}"});
        session.client.logout();
        QTRY_COMPARE_WITH_TIMEOUT(session.server.closeCodes(), QList<int>{1000}, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(session.journal.lines,
                                  (QStringList{"Terminal: 1001 try to connect to Demo", "Network: Connected to Demo",
                                               "Terminal: 1001 login to Demo successfully ",
                                               "Network: Disconnected from Demo", "Terminal: 1001 Log out from Demo"}),
                                  patienceMs);
    }

    void answersAConnectionRequest_data()
    {
        QTest::addColumn<FakeTradeServer::LoginMode>("firstAnswer");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("loginFrames");
        QTest::newRow("the same account after a successful login keeps the connection")
            << FakeTradeServer::LoginMode::Accept << "secret" << 1;
        QTest::newRow("a new password logs in again") << FakeTradeServer::LoginMode::Accept << "other" << 2;
        QTest::newRow("the same account after a failed login logs in again")
            << FakeTradeServer::LoginMode::Reject << "secret" << 2;
    }
    void answersAConnectionRequest()
    {
        QFETCH(FakeTradeServer::LoginMode, firstAnswer);
        QFETCH(QString, password);
        QFETCH(int, loginFrames);

        TradeSession session;
        session.server.setLoginReply(firstAnswer);
        QVERIFY(session.logIn());
        QCOMPARE(session.connectToServer(password), password != "secret"); // whether the account changed
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(1).size(), loginFrames, patienceMs);
        QCOMPARE(session.server.requests(1).last().value("password").toString(), password);
        // One connection at a time: a new login closes the old connection first.
        QTRY_COMPARE_WITH_TIMEOUT(session.server.clientCount(), 1, patienceMs);
        QCOMPARE(session.disconnects, loginFrames - 1);
    }

    // A login reply handled while the old connection stops must not make the next
    // connection count as logged in: a retry would then send nothing.
    void aLateLoginReplyDoesNotStick_data()
    {
        QTest::addColumn<bool>("logout");
        QTest::newRow("switching to an account whose login is refused") << false;
        QTest::newRow("logging out") << true;
    }
    void aLateLoginReplyDoesNotStick()
    {
        QFETCH(bool, logout);

        TradeSession session;
        QVERIFY(session.logIn());
        std::atomic<bool> armed{true};
        QObject guard; // goes before the flag
        connect(&session.client, &TradeClient::websocketDisconnected, &guard, [&] {
            if (armed.exchange(false))
                session.client.dispatchMessage({{"res_code", 1}, {"state", 1}});
        }, Qt::DirectConnection);
        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        if (logout) {
            session.client.logout();
        } else {
            QVERIFY(session.connectToServer("other"));
            QTRY_COMPARE_WITH_TIMEOUT(session.loginFails, 1, patienceMs);
        }
        QVERIFY(!session.connectToServer(logout ? "secret" : "other"));
        QTRY_COMPARE_WITH_TIMEOUT(session.server.requests(1).size(), logout ? 2 : 3, patienceMs);
    }

    // In order, with the account's login added where a request has none; nothing
    // without a login number, nothing at all once logged out.
    void sendsRequestsInOrder_data()
    {
        QTest::addColumn<qint64>("account");
        QTest::addColumn<bool>("loggedOut");
        QTest::addColumn<int>("sent");
        QTest::newRow("logged in") << TradeSession::account << false << 3;
        QTest::newRow("login number 0 lets only ready texts through") << qint64(0) << false << 1;
        QTest::newRow("logged out") << TradeSession::account << true << 0;
    }
    void sendsRequestsInOrder()
    {
        QFETCH(qint64, account);
        QFETCH(bool, loggedOut);
        QFETCH(int, sent);

        TradeSession session;
        session.client.connectToServer(session.server.url().toString(), account, "secret", "Demo");
        QTRY_COMPARE_WITH_TIMEOUT(session.logins, 1, patienceMs);
        if (loggedOut)
            session.client.logout();
        session.client.sendRequest({{"req_code", 3}, {"symbol", "EURUSD"}, {"to", -1}});
        session.client.sendRequest({{"req_code", 4}, {"type", 5}, {"login", 42}});
        session.client.enqueueMessage(QString());
        session.client.enqueueMessage(QStringLiteral("{\"login\":7,\"req_code\":4,\"type\":9}"));
        const QStringList all{"{\"login\":1001,\"req_code\":3,\"symbol\":\"EURUSD\",\"to\":-1}",
                              "{\"login\":42,\"req_code\":4,\"type\":5}",
                              "{\"login\":7,\"req_code\":4,\"type\":9}"};
        // The last text of each row proves that the queue was drained.
        QTRY_COMPARE_WITH_TIMEOUT(session.server.receivedTexts().mid(1), all.mid(all.size() - sent), patienceMs);
    }

    // A peer that fails the handshake and sends on must lose the connection, or the
    // client reads without end.
    void dropsAPeerThatFailsTheHandshake()
    {
        TradeSession session;
        session.server.setBrokenHandshake(true);
        session.connectToServer();
        QTRY_COMPARE_WITH_TIMEOUT(session.errors, 1, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(session.server.clientCount(), 0, 5000);
    }

    // A frame beyond 64 MiB is refused at its header, before any of it is held.
    void refusesAnOversizedFrame()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.server.sendFrameHeader((64 << 20) + 1);
        QTRY_COMPARE_WITH_TIMEOUT(session.server.closeCodes(), QList<int>{1009}, patienceMs);
    }

    // Teardown while the server floods the client: no tick may reach a batcher that is
    // gone and no timer or socket may outlive its thread (the sanitizer build tells).
    void survivesTeardownWithRepliesInFlight()
    {
        auto session = std::make_unique<TradeSession>();
        auto buffer = std::make_unique<PriceDataBuffer>();
        session->client.priceBuffer = buffer.get();
        buffer->beginTimer();
        QSignalSpy batches(buffer.get(), &PriceDataBuffer::tickUpdated);
        const auto flood = [&server = session->server] {
            for (int i = 0; i < 5000; ++i) {
                server.send(FakeTradeServer::tick(QStringLiteral("SYM%1").arg(i % 50), 1.0 + i, 2.0 + i));
                if (i % 100 == 0) {
                    server.send({{"res_code", 7}, {"status", 10009}});
                    QCoreApplication::processEvents(); // answers pings while the flood goes on
                }
            }
        };
        QVERIFY(session->logIn());
        flood();
        QVERIFY(!batches.isEmpty() || batches.wait(patienceMs));
        buffer.reset();
        QCOMPARE(session->client.priceBuffer.load(), nullptr);
        flood(); // meets no batcher, and is still arriving when the client goes
        session.reset();
    }
};

KESTRAL_TEST_MAIN(TestTradeClient)
#include "tst_tradeclient.moc"
