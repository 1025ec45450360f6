// The trade-server client driven against a fake server on 127.0.0.1: login, account
// changes, the send queue, dispatch into the user-interface thread, and teardown
// while replies are in flight.
#include "appglobals.h"
#include "servertime.h"
#include "testmain.h"
#include "tradesession.h"

#include <QJsonDocument>
#include <memory>

namespace {

QJsonObject parsed(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

class TestTradeClient : public QObject
{
    Q_OBJECT

private slots:
    void init() { readOnlyMode = false; }

    void logsInOncePerConnection()
    {
        TradeSession session;
        session.server.setLoginReply(FakeTradeServer::LoginMode::Accept, QStringLiteral("+02:00"));
        QVERIFY(session.connectToServer());
        QTRY_COMPARE(session.logins.size(), 1);
        QCOMPARE(session.server.receivedTexts(),
                 QStringList{QStringLiteral("{\"id\":1001,\"password\":\"secret\",\"req_code\":1,\"type\":3}")});
        QTRY_COMPARE(session.connects, 1);
        QCOMPARE(session.client.timeZone().offsetFromUtc(QDateTime::currentDateTimeUtc()), 7200);
        QTRY_COMPARE(session.journal.lines(),
                     (QStringList{"Terminal: 1001 try to connect to Demo", "Network: Connected to Demo",
                                  "Terminal: 1001 login to Demo successfully "}));

        session.client.logout();
        QCOMPARE(session.server.requests(1).size(), 1);
        QCOMPARE(session.server.connectionCount(), 1);
        QTRY_COMPARE(session.disconnects, 1);
        QTRY_COMPARE(session.server.closeCodes(), QList<int>{1000});
        QTRY_COMPARE(session.journal.lines().mid(3),
                     (QStringList{"Network: Disconnected from Demo", "Terminal: 1001 Log out from Demo"}));
    }

    void answersAConnectionRequest_data()
    {
        QTest::addColumn<FakeTradeServer::LoginMode>("firstAnswer");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("loginFrames");

        QTest::newRow("the same account after a successful login keeps the connection")
            << FakeTradeServer::LoginMode::Accept << "secret" << "Demo" << false << 1;
        QTest::newRow("a new password after a successful login logs in again")
            << FakeTradeServer::LoginMode::Accept << "other" << "Demo" << true << 2;
        QTest::newRow("a new server name after a successful login logs in again")
            << FakeTradeServer::LoginMode::Accept << "secret" << "Live" << true << 2;
        QTest::newRow("the same account after a failed login logs in again")
            << FakeTradeServer::LoginMode::Reject << "secret" << "Demo" << false << 2;
        QTest::newRow("a new password after a failed login logs in again")
            << FakeTradeServer::LoginMode::Reject << "other" << "Demo" << true << 2;
    }
    void answersAConnectionRequest()
    {
        QFETCH(FakeTradeServer::LoginMode, firstAnswer);
        QFETCH(QString, password);
        QFETCH(QString, serverName);
        QFETCH(bool, changed);
        QFETCH(int, loginFrames);

        TradeSession session;
        session.server.setLoginReply(firstAnswer);
        QVERIFY(session.logIn());
        QTRY_COMPARE(session.connects, 1);

        QCOMPARE(session.connectToServer(password, serverName), changed);
        QTRY_COMPARE(session.server.requests(1).size(), loginFrames);
        QTRY_COMPARE(session.connects, loginFrames);
        QCOMPARE(session.server.requests(1).last().value("password").toString(), loginFrames == 1 ? "secret" : password);
        // An unchanged, logged-in account keeps its one connection.
        QTRY_COMPARE(session.server.clientCount(), 1);
        QCOMPARE(session.server.connectionCount(), loginFrames);
        QCOMPARE(session.disconnects, loginFrames - 1);
    }

    void sendsRequestsInOrder()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        session.client.sendRequest({{"req_code", 3}, {"symbol", "EURUSD"}, {"interval", 60}, {"from", 0}, {"to", -1}});
        session.client.sendRequest({{"req_code", 4}, {"type", 5}, {"login", 42}});
        session.client.requestTradeHistory(-1);
        session.client.enqueueMessage(QStringLiteral("{\"dealer\":1000,\"login\":1001,\"req_code\":4,\"sub_type\":0,\"type\":9}"));
        session.client.enqueueMessage(QString());
        QTRY_COMPARE(session.requestTexts().size(), 4);

        const QStringList texts = session.requestTexts();
        QCOMPARE(texts.at(0), "{\"from\":0,\"interval\":60,\"login\":1001,\"req_code\":3,\"symbol\":\"EURUSD\",\"to\":-1}");
        QCOMPARE(parsed(texts.at(1)).value("login").toInt(), 42); // a request's own login is kept
        const auto range = tradeHistoryRange(-1);
        QCOMPARE(parsed(texts.at(2)),
                 QJsonObject({{"from", int(range.first)}, {"to", int(range.second)}, {"req_code", 5}, {"login", 1001}}));
        QCOMPARE(parsed(texts.at(3)).value("type").toInt(), 9);
    }

    void dropsRequestsWithoutNotice_data()
    {
        QTest::addColumn<qint64>("account");
        QTest::addColumn<bool>("loggedOut");
        QTest::addColumn<int>("sent"); // of one sendRequest and one enqueueMessage

        QTest::newRow("after logging out nothing is sent") << TradeSession::account << true << 0;
        QTest::newRow("login number 0 blocks requests but not ready texts") << qint64(0) << false << 1;
    }
    void dropsRequestsWithoutNotice()
    {
        QFETCH(qint64, account);
        QFETCH(bool, loggedOut);
        QFETCH(int, sent);

        TradeSession session;
        session.client.connectToServer(session.server.url().toString(), account, "secret", "Demo");
        QTRY_COMPARE(session.logins.size(), 1);
        if (loggedOut)
            session.client.logout();
        session.journal.clear();
        session.client.sendRequest({{"req_code", 3}, {"symbol", "EURUSD"}});
        session.client.enqueueMessage(QStringLiteral("{\"login\":7,\"req_code\":4,\"type\":9}"));
        // A marker sent straight on the wire proves the queue was drained meanwhile.
        if (!loggedOut) {
            QTRY_COMPARE(session.requestTexts().size(), sent);
            QCOMPARE(session.requestTexts().first(), "{\"login\":7,\"req_code\":4,\"type\":9}");
        } else {
            QVERIFY(!session.client.isRunning());
            QCOMPARE(session.requestTexts().size(), 0);
        }
        QCoreApplication::processEvents();
        QVERIFY2(!session.journal.lines().join('|').contains("Request"), qPrintable(session.journal.lines().join('|')));
    }

    void dispatchesRepliesToTheInterfaceThread_data()
    {
        QTest::addColumn<QJsonObject>("reply");

        QTest::newRow("chart history") << QJsonObject{{"res_code", 3}, {"symbol", "EURUSD"}, {"interval", 60}};
        QTest::newRow("open positions") << QJsonObject{{"res_code", 4}, {"is_last", 1}, {"balance", 1000.0}};
        QTest::newRow("trade history") << QJsonObject{{"res_code", 5}, {"deals", QJsonArray{}}};
        QTest::newRow("pending orders") << QJsonObject{{"res_code", 6}, {"array", QJsonArray{}}};
        QTest::newRow("trade result") << QJsonObject{{"res_code", 7}, {"status", 10009}, {"msg", "Done"}};
        QTest::newRow("symbol list") << QJsonObject{{"res_code", 8}, {"array", QJsonArray{}}};
    }
    void dispatchesRepliesToTheInterfaceThread()
    {
        QFETCH(QJsonObject, reply);

        TradeSession session;
        // Pushed right behind the login answer, as the real server pushes its lists.
        session.server.setReplies(1, {reply});
        QVERIFY(session.logIn());
        QTRY_COMPARE(session.replies.size(), 1);
        QCOMPARE(session.replies.first().first, reply.value("res_code").toInt());
        QCOMPARE(session.replies.first().second, reply);
        QVERIFY(session.repliesInTestThread);
    }

    void readOnlyLoginSetsTheMode()
    {
        TradeSession session;
        session.server.setLoginReply(FakeTradeServer::LoginMode::ReadOnly);
        QVERIFY(session.logIn());
        QVERIFY(readOnlyMode);
        session.client.logout();
        QVERIFY(readOnlyMode); // a log-out leaves it
        session.server.setLoginReply(FakeTradeServer::LoginMode::Accept);
        QVERIFY(session.logIn());
        QVERIFY(!readOnlyMode);
    }

    void batchesTicksWhileConnected()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QTRY_COMPARE(session.connects, 1); // the batcher runs from here on
        session.server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2));
        session.server.send(FakeTradeServer::tick("EURUSD", 1.3, 1.4));
        session.server.send(FakeTradeServer::tick("GBPUSD", 1.5, 1.6));
        QTRY_COMPARE(session.ticks.size(), 2);
        for (const TickData &tick : std::as_const(session.ticks)) {
            QCOMPARE(tick.bid, tick.symbol == "EURUSD" ? 1.3 : 1.5);
            QCOMPARE(tick.volume, 1.0);
            QCOMPARE(tick.minVol, 0.01);
            QCOMPARE(tick.maxVol, 100.0);
            QCOMPARE(tick.tmMs, 1700000000123LL);
        }
    }

    void badFramesChangeNothing_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("text that is not JSON") << "hello";
        QTest::newRow("a JSON array") << "[{\"res_code\":7}]";
        QTest::newRow("a truncated object") << "{\"res_code\":7,\"status\":";
        QTest::newRow("an unknown reply code") << "{\"res_code\":9,\"status\":1}";
    }
    void badFramesChangeNothing()
    {
        QFETCH(QString, text);

        TradeSession session;
        QVERIFY(session.logIn());
        session.server.sendText(text);
        session.server.send({{"res_code", 7}, {"status", 10009}});
        QTRY_COMPARE(session.replies.size(), 1);
        QCOMPARE(session.replies.first().first, 7);
        QCOMPARE(session.logins.size(), 1);
        QCOMPARE(session.server.clientCount(), 1);
        QCOMPARE(session.disconnects, 0);
        QVERIFY(session.errors.isEmpty());
    }

    // Teardown while the server floods the client: no tick may reach a batcher that
    // is gone and no timer or socket may outlive its thread (the sanitizer build
    // catches the use after free that a slip here causes).
    void survivesTeardownWithRepliesInFlight_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("the batcher goes, then the client") << false;
        QTest::newRow("the client restarts for another account mid-flood") << true;
    }
    void survivesTeardownWithRepliesInFlight()
    {
        QFETCH(bool, restart);

        auto server = std::make_unique<FakeTradeServer>();
        auto buffer = std::make_unique<PriceDataBuffer>();
        auto client = std::make_unique<TradeClient>();
        auto receiver = std::make_unique<QObject>();
        int received = 0;
        int connects = 0;
        client->priceBuffer = buffer.get();
        connect(client.get(), &TradeClient::websocketConnected, buffer.get(), &PriceDataBuffer::beginTimer);
        connect(client.get(), &TradeClient::websocketConnected, receiver.get(), [&connects] { ++connects; });
        connect(client.get(), &TradeClient::tradeResponseReceived, receiver.get(), [&received] { ++received; });
        client->connectToServer(server->url().toString(), 1001, "secret", "Demo");
        QTRY_COMPARE(connects, 1);

        QSignalSpy streamed(server.get(), &FakeTradeServer::streamFinished);
        server->streamTicks(20000, 50);
        for (int i = 0; i < 200; ++i)
            server->send({{"res_code", 7}, {"status", 10009}});
        QTRY_VERIFY(received > 0);
        buffer.reset();
        QCOMPARE(client->priceBuffer.load(), nullptr);
        if (restart) {
            QVERIFY(client->connectToServer(server->url().toString(), 1002, "secret", "Demo"));
            server->streamTicks(20000, 50);
        }
        receiver.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!streamed.isEmpty(), 10000);
        client.reset();
        server.reset();
    }
};

KESTRAL_TEST_MAIN(TestTradeClient)
#include "tst_tradeclient.moc"
