// The trade-server client against a fake server on 127.0.0.1: login, account changes,
// the send queue, a broken peer, and teardown while replies are in flight.
#include "testmain.h"
#include "tradesession.h"

#include <QJsonDocument>

#include <memory>

class TestTradeClient : public QObject
{
    Q_OBJECT

private slots:
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
        // Each restart, and only a restart, says so.
        QTRY_COMPARE(session.journal.lines.filter("Terminal: 1001 try to connect to Demo").size(), loginFrames);
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
        // The closing connection's journal line is written in the network thread.
        connect(Logger::instance(), &Logger::logMessage, &guard, [&](const QDateTime &, const QString &, const QString &m) {
            if (m.startsWith("Disconnected") && armed.exchange(false))
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

    // While the window is busy, what waits for it is bounded: a newer positions, orders
    // or history reply replaces an older one, and trade results beyond a bound are
    // dropped. Rounds of "code:n" replies; "4p" is a positions
    // page that is not the last one, "1" a login reply answering no login, ignored.
    // Sent on connection, the replies come before the login reply, which must still count.
    void repliesWaitBoundedWhileTheWindowIsBusy_data()
    {
        QTest::addColumn<QString>("round");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<QString>("delivered");
        QTest::addColumn<int>("dropLines");
        QTest::addColumn<bool>("onConnection");
        QTest::newRow("the newest of each kind, in arrival order")
            << "1 4 6 5 4p 8" << 300 << "4:300 6:300 5:300 4p:300 8:300" << 0 << false;
        QTest::newRow("trade results are kept up to a bound, the journal tells once")
            << "7" << ReplyQueue::maxEntries + 5 << "2000 7:1..7:2000" << 1 << false;
        // The connection itself holds one place.
        QTest::newRow("a login reply behind a full backlog is still handled")
            << "7" << ReplyQueue::maxEntries + 5 << "1999 7:1..7:1999" << 1 << true;
    }
    void repliesWaitBoundedWhileTheWindowIsBusy()
    {
        QFETCH(QString, round);
        QFETCH(int, rounds);
        QFETCH(bool, onConnection);
        TradeSession session;
        if (!onConnection)
            QVERIFY(session.logIn());
        QStringList seen;
        for (const auto signal : {&TradeClient::openPositionsReceived, &TradeClient::pendingOrdersReceived,
                                  &TradeClient::tradeHistoryReceived, &TradeClient::tradeResponseReceived,
                                  &TradeClient::symbolListReceived}) {
            connect(&session.client, signal, &session.context, [&](const QJsonObject &r) {
                const bool page = r["res_code"] == 4 && r["is_last"] == 0;
                seen << QStringLiteral("%1%2:%3").arg(r["res_code"].toInt()).arg(page ? "p" : "").arg(r["n"].toInt());
            });
        }
        QList<QJsonObject> replies;
        for (int n = 1; n <= rounds; ++n) {
            for (const QString &code : round.split(' '))
                replies.append({{"res_code", code.left(1).toInt()}, {"is_last", code == "4p" ? 0 : 1}, {"n", n},
                                {"state", n % 2}, {"login", 5000 + n}});
        }
        if (onConnection) {
            session.buffer.beginTimer(); // takes the marking tick before the connection is handled
            replies.append({{"res_code", 1}, {"state", 1}});
            connect(&session.server, &FakeTradeServer::clientConnected, &session.context,
                    [&] { sendWhileBusy(session.server, session.buffer, replies); });
            session.connectToServer();
            QTRY_COMPARE_WITH_TIMEOUT(session.logins, 1, patienceMs);
        } else {
            sendWhileBusy(session.server, session.buffer, replies);
        }
        // The disconnection waits behind every reply: once it is handled, they all are.
        session.server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(session.disconnects, 1, patienceMs);
        QTEST(seen.size() <= 10 ? seen.join(' ') : QStringLiteral("%1 %2..%3").arg(seen.size()).arg(seen.first(), seen.last()),
              "delivered");
        QCOMPARE(QStringLiteral("%1 %2").arg(session.logins).arg(session.loginFails), "1 0");
        QTEST(int(session.journal.lines.filter("sends replies faster than they can be shown; some are dropped").size()),
              "dropLines");
    }

    // A feed of ever new symbol names is cut off at a bound, long names at once; the
    // symbols already known go on ticking.
    void boundsTheSymbolsItKeeps()
    {
        TradeSession session;
        QVERIFY(session.logIn());
        QSet<QString> symbols;
        connect(&session.buffer, &PriceDataBuffer::tickUpdated, &session.context, [&](const QList<TickData> &ticks) {
            for (const TickData &tick : ticks)
                symbols.insert(tick.symbol + (tick.bid == 2.0 ? "=2" : ""));
        });
        const QString tooLong(PriceDataBuffer::maxSymbolLength + 1, 'L');
        session.server.send(FakeTradeServer::tick(tooLong, 1.0, 1.1));
        for (int i = 0; i <= PriceDataBuffer::maxSymbols; ++i) {
            session.server.send(FakeTradeServer::tick(QStringLiteral("S%1").arg(i), 1.0, 1.1));
            if (i % 1000 == 0)
                QCoreApplication::processEvents(); // writes, and answers pings meanwhile
        }
        session.server.send(FakeTradeServer::tick("S0", 2.0, 2.1));
        QTRY_VERIFY_WITH_TIMEOUT(symbols.contains("S0=2"), patienceMs);
        QCOMPARE(symbols.size(), PriceDataBuffer::maxSymbols + 1);
        QVERIFY(!symbols.contains(tooLong) && !symbols.contains(QStringLiteral("S%1").arg(PriceDataBuffer::maxSymbols)));
        QTRY_COMPARE(session.journal.lines.filter("are ignored").size(), 1);
    }

    // After the login frame, in order, with the account's login added where a request has
    // none; nothing without a login number, nothing at all once logged out.
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
        QCOMPARE(session.server.receivedTexts().value(0),
                 QStringLiteral("{\"id\":%1,\"password\":\"secret\",\"req_code\":1,\"type\":3}").arg(account));
        if (loggedOut) {
            session.client.logout();
            QTRY_COMPARE_WITH_TIMEOUT(session.server.closeCodes(), QList<int>{1000}, patienceMs);
            QTRY_COMPARE_WITH_TIMEOUT(session.journal.lines,
                                      (QStringList{"Terminal: 1001 try to connect to Demo", "Network: Connected to Demo",
                                                   "Terminal: 1001 login to Demo successfully ",
                                                   "Network: Disconnected from Demo", "Terminal: 1001 Log out from Demo"}),
                                      patienceMs);
        }
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

    // The fast tick reader sees only texts of a tick's size; a longer tick still arrives.
    void longTickArrives()
    {
        TradeClient client;
        PriceDataBuffer buffer;
        client.priceBuffer = &buffer;
        buffer.beginTimer();
        QSignalSpy batches(&buffer, &PriceDataBuffer::tickUpdated);
        QJsonObject tick = FakeTradeServer::tick("LONG", 1.25, 1.26);
        tick.insert("note", QString(8000, 'n'));
        client.handleMessage(QString::fromUtf8(QJsonDocument(tick).toJson(QJsonDocument::Compact)));
        QVERIFY(batches.wait(patienceMs));
        const QList<TickData> ticks = batches.first().first().value<QList<TickData>>();
        QCOMPARE(ticks.size(), 1);
        QCOMPARE(ticks.first().symbol, QStringLiteral("LONG"));
        QCOMPARE(ticks.first().bid, 1.25);
    }
};

KESTRAL_TEST_MAIN(TestTradeClient)
#include "tst_tradeclient.moc"
