// The terminal's own trade-server client against the local server on ephemeral
// ports: log in, get ticks, trade, reach the HTTP services, and be refused when hostile.
#include "accountsummary.h"
#include "changepassworddlg.h"
#include "messageboxcloser.h"
#include "positiondatastore.h"
#include "pricedatabuffer.h"
#include "serverapp.h"
#include "silentwebsocket.h"
#include "testmain.h"
#include "tradeclient.h"
#include "tradeserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <cmath>
#include <memory>

using namespace tradeserver;

namespace {

constexpr int patienceMs = 20000;
const QString demoLogin(R"({"req_code":1,"id":100001,"password":"demo123","type":3})");

ServerOptions ephemeral()
{
    ServerOptions options;
    options.brokerPort = options.tradePort = options.accountPort = 0;
    options.seed = 11;
    return options;
}

QUrl tradeUrl(const ServerApp &server)
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.tradePort()));
}

// One raw HTTP exchange: everything the server sends until it closes.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request); // sent once connected
    QByteArray answer;
    if (!QTest::qWaitFor(
            [&] {
                answer += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            patienceMs))
        return "no answer";
    return answer + socket.readAll();
}

QByteArray post(const char *path, const QByteArray &body, const QByteArray &credentials = {})
{
    const QByteArray authorization =
        credentials.isEmpty() ? QByteArray() : "Authorization: Basic " + credentials.toBase64() + "\r\n";
    return "POST " + QByteArray(path) + " HTTP/1.1\r\n" + authorization +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray create(const QByteArray &body)
{
    return post("/account/create", body);
}

QJsonDocument bodyOf(const QByteArray &answer)
{
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4));
}

} // namespace

class TestServerLoopback : public QObject
{
    Q_OBJECT

private slots:
    void terminalClientTradesOnTheLocalServer()
    {
        ServerApp server(ephemeral());
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        QList<QJsonObject> positions;
        QList<TickData> ticks;
        PriceDataBuffer buffer;
        buffer.setInterval(20);
        QObject::connect(&buffer, &PriceDataBuffer::tickUpdated, &buffer,
                         [&](const QList<TickData> &batch) { ticks << batch; });
        {
            TradeClient client;
            client.priceBuffer = &buffer;
            QObject::connect(&client, &TradeClient::websocketConnected, &buffer, &PriceDataBuffer::beginTimer);
            QObject::connect(&client, &TradeClient::openPositionsReceived, &client,
                             [&](const QJsonObject &o) { positions << o; });
            client.connectToServer(tradeUrl(server).toString(), server.demo().login, server.demo().password,
                                   "KestralDemo");
            QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty(), patienceMs); // only a logged-in client gets them

            // The positions are pushed once the buy is done.
            client.sendRequest(
                {{"req_code", 4}, {"type", 0}, {"order_type", 0}, {"volume", 1000}, {"symbol", "EURUSD"}});
            QTRY_VERIFY_WITH_TIMEOUT(!positions.isEmpty(), patienceMs);
            // The keys the server writes are the ones the terminal's summary and store read.
            const QJsonObject reply = positions.last();
            QVERIFY(isLastPositionsPage(reply));
            AccountFigures figures;
            readAccountFigures(reply, figures);
            PositionDataStore store;
            store.setOpenPositions(reply.value("array").toArray());
            QCOMPARE(store.positions().size(), 1);
            const Position bought = store.positions().first();
            QCOMPARE(QStringList({bought.symbol, bought.type, QString::number(bought.volume),
                                  QString::number(bought.contractSize), QString::number(figures.balance)}),
                     QStringList({"EURUSD", "buy", "0.1", "100000", "10000"}));
            QCOMPARE(figures.usedMargin, std::round(bought.volume * bought.contractSize * bought.price) / 100.0);

            client.logout();
        }
        buffer.endTimer();
    }

    void hostileTradeClientsAreDropped_data()
    {
        QTest::addColumn<QStringList>("texts");

        const QString wrong = R"({"req_code":1,"id":100001,"password":"guess","type":3})";
        QTest::newRow("five wrong passwords") << QStringList{wrong, wrong, wrong, wrong, wrong};
        QTest::newRow("a message over 64 KiB") << QStringList{QString(70000, QLatin1Char('x'))};
        QTest::newRow("a thousand requests at once after a login")
            << QStringList{demoLogin} + QStringList(QVector<QString>(1000, R"({"req_code":9})").toList());
    }
    void hostileTradeClientsAreDropped()
    {
        QFETCH(QStringList, texts);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        QWebSocket socket;
        QSignalSpy closed(&socket, &QWebSocket::disconnected);
        socket.open(tradeUrl(server));
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, patienceMs);
        for (const QString &text : std::as_const(texts))
            socket.sendTextMessage(text);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, patienceMs);
    }

    void slowRequestsLeaveRoomForOthers()
    {
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        // More connections than there are places, each trickling its first line.
        std::vector<std::unique_ptr<QTcpSocket>> tricklers;
        for (int i = 0; i < HttpService::maxConnections + 8; ++i) {
            tricklers.push_back(std::make_unique<QTcpSocket>());
            tricklers.back()->connectToHost(QHostAddress::LocalHost, server.brokerPort());
            tricklers.back()->write("GET /bro");
        }
        const auto count = [&](QAbstractSocket::SocketState state) {
            return std::count_if(tricklers.cbegin(), tricklers.cend(),
                                 [state](const auto &socket) { return socket->state() == state; });
        };
        // Connected, or already given way to the later ones.
        QTRY_COMPARE_WITH_TIMEOUT(count(QAbstractSocket::ConnectingState), 0, patienceMs);
        const QJsonDocument brokers = bodyOf(exchange(server.brokerPort(), "GET /brokers HTTP/1.1\r\n\r\n"));
        const QJsonObject entry = brokers.array().at(0).toObject().value("servers").toArray().at(0).toObject();
        QCOMPARE(entry.value("ipaddr").toString(), QStringLiteral("127.0.0.1:%1").arg(server.tradePort()));
        // Those that gave way were cut off, the rest run out of time: none is left holding a place.
        QTRY_COMPARE_WITH_TIMEOUT(count(QAbstractSocket::UnconnectedState), long(tricklers.size()), patienceMs);
    }

    void crowdsLeaveRoomForGenuineLogins_data()
    {
        QTest::addColumn<int>("idle");   // connections that never log in
        QTest::addColumn<int>("own");    // logins of the demo account
        QTest::addColumn<int>("others"); // other accounts logged in 8 times each
        QTest::addColumn<int>("open");   // connections once the demo account's next login is in

        QTest::newRow("70 connections that never log in") << 70 << 0 << 0 << TradeServer::maxPendingConnections;
        QTest::newRow("the account logged in 8 times") << 0 << 8 << 0 << TradeServer::maxSessionsPerAccount;
        QTest::newRow("every place taken by others") << 0 << 0 << 16 << TradeServer::maxSessions;
    }
    void crowdsLeaveRoomForGenuineLogins()
    {
        QFETCH(int, idle);
        QFETCH(int, own);
        QFETCH(int, others);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        const QString login(R"({"req_code":1,"id":%1,"password":"other","type":3})");
        std::vector<std::unique_ptr<QWebSocket>> crowd;
        QStringList replies; // the first reply to each login
        const auto join = [&](const QString &text) {
            crowd.push_back(std::make_unique<QWebSocket>());
            QWebSocket *socket = crowd.back().get();
            if (!text.isEmpty()) {
                connect(socket, &QWebSocket::connected, socket, [socket, text] { socket->sendTextMessage(text); });
                connect(socket, &QWebSocket::textMessageReceived, socket, [&replies, socket](const QString &reply) {
                    replies << reply;
                    socket->disconnect(socket, &QWebSocket::textMessageReceived, nullptr, nullptr);
                });
            }
            socket->open(tradeUrl(server));
        };
        for (int i = 0; i < idle; ++i)
            join({});
        for (int i = 0; i < own; ++i)
            join(demoLogin);
        // Account by account, as people come, not all in one instant.
        for (int account = 0; account < others; ++account) {
            const qint64 id =
                server.desk().engine().createAccount("Other", "other", "view", 1000.0, 100, 300001 + account);
            for (int i = 0; i < TradeServer::maxSessionsPerAccount; ++i)
                join(login.arg(id));
            QTRY_COMPARE_WITH_TIMEOUT(replies.size(), (account + 1) * TradeServer::maxSessionsPerAccount, patienceMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), own + others * TradeServer::maxSessionsPerAccount, patienceMs);
        const int answered = replies.size();
        QTRY_COMPARE_WITH_TIMEOUT(server.tradeServer().connectionCount(),
                                  std::min(idle, int(TradeServer::maxPendingConnections)) + answered, patienceMs);

        join(demoLogin); // the genuine login
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), answered + 1, patienceMs);
        QVERIFY2(replies.last().contains(R"("state":1)"), qPrintable(replies.last()));
        QTEST(server.tradeServer().connectionCount(), "open");
    }

    void peersSilentOrBehindAreDropped()
    {
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        QWebSocket reader; // answers pings, as every client that reads does
        reader.open(tradeUrl(server));
        QTRY_COMPARE_WITH_TIMEOUT(reader.state(), QAbstractSocket::ConnectedState, patienceMs);
        reader.sendTextMessage(demoLogin);
        // One never answers a ping; the other keeps talking but never reads its charts.
        SilentWebSocket quiet;
        SilentWebSocket behind;
        for (SilentWebSocket *peer : {&quiet, &behind}) {
            QVERIFY(peer->open(server.tradePort()));
            peer->send(demoLogin.toUtf8());
        }
        for (const char *symbol : {"EURUSD", "GBPUSD"})
            behind.send(
                QStringLiteral(R"({"req_code":3,"symbol":"%1","interval":1,"from":0,"to":-1})").arg(symbol).toUtf8());
        QTimer chatter;
        connect(&chatter, &QTimer::timeout, &chatter, [&] { behind.send(R"({"req_code":9})"); });
        chatter.start(1000);
        QTRY_COMPARE_WITH_TIMEOUT(server.tradeServer().connectionCount(), 3, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(server.tradeServer().connectionCount(), 1, patienceMs);
        QCOMPARE(reader.state(), QAbstractSocket::ConnectedState);
    }

    // The change-password dialog against the server's account service: a password is
    // changed to one the row names and then, proven by that one, changed again.
    void passwordChangesThroughTheDialog_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("credentials whose Base64 holds a plus") << "pass>>word";
        QTest::newRow("credentials whose Base64 holds a slash") << "a?b>c~";
        QTest::newRow("credentials beyond ASCII") << "\u00fc>>?";
    }
    void passwordChangesThroughTheDialog()
    {
        QFETCH(QString, password);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        qputenv("KESTRAL_ACCOUNT_PORT", QByteArray::number(server.accountPort()));
        TradeClient client;
        client.url = tradeUrl(server);
        client.login = server.demo().login;
        client.password = server.demo().password;
        ChangePasswordDlg dialog(&client);
        QSignalSpy changed(&dialog, &ChangePasswordDlg::passwordChanged);
        MessageBoxCloser boxes;
        for (const QString &next : {password, QStringLiteral("final1")}) {
            for (const char *field : {"txtNew1", "txtNew2"})
                dialog.findChild<QLineEdit *>(field)->setText(next);
            dialog.findChild<QLineEdit *>("txtMain")->setText(client.password);
            const int shown = boxes.texts.size();
            dialog.onOK();
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), shown + 1, patienceMs);
            QCOMPARE(boxes.texts.constLast(), QString("Change Password: Password changed successfully!"));
            client.password = next;
        }
        qunsetenv("KESTRAL_ACCOUNT_PORT");
        QCOMPARE(changed.size(), 2);
        QCOMPARE(server.desk().engine().authenticate(client.login, "final1"), Access::Full);
    }

    void accountServiceAnswers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");

        QTest::newRow("a demo account") << create(R"({"name":"Ann","email":"a@b.c","deposit":5000,"leverage":200})")
                                        << 200;
        QTest::newRow("no name") << create(R"({"deposit":5000,"leverage":200})") << 400;
        QTest::newRow("deposit 0") << create(R"({"name":"Ann","deposit":0,"leverage":200})") << 400;
        QTest::newRow("leverage 1:5000") << create(R"({"name":"Ann","deposit":5000,"leverage":5000})") << 400;
        QTest::newRow("a body that is not JSON") << create("name=Ann") << 400;
        QTest::newRow("GET") << QByteArray("GET /account/create HTTP/1.1\r\n\r\n") << 405;
        QTest::newRow("unknown path") << post("/account/delete", "{}") << 404;
        const QByteArray change(R"({"master_password":"x","dealer":100001})");
        QTest::newRow("a password change with the main password")
            << post("/account/update", change, "100001:demo123") << 200;
        QTest::newRow("a password change without credentials") << post("/account/update", change) << 401;
        QTest::newRow("a password change with the read-only password")
            << post("/account/update", change, "100001:view123") << 403;
        QTest::newRow("credentials of another login") << post("/account/update", change, "100002:demo123") << 403;
        QTest::newRow("a password change naming both passwords")
            << post("/account/update", R"({"master_password":"x","investor_password":"y","dealer":100001})",
                    "100001:demo123")
            << 400;
        QTest::newRow("an empty new password")
            << post("/account/update", R"({"investor_password":"","dealer":100001})", "100001:demo123") << 400;
        QTest::newRow("not HTTP") << QByteArray("hello\r\n\r\n") << 400;
        QTest::newRow("a body over the limit")
            << QByteArray("POST /account/create HTTP/1.1\r\nContent-Length: 10000000\r\n\r\n") << 413;
        QTest::newRow("endless headers") << QByteArray(20000, 'x') << 413;
        QTest::newRow("headers that do not end in time")
            << QByteArray("POST /account/create HTTP/1.1\r\nContent-Le") << 408;
        QTest::newRow("a body that does not come in time")
            << QByteArray("POST /account/create HTTP/1.1\r\nContent-Length: 50\r\n\r\n{") << 408;
    }
    void accountServiceAnswers()
    {
        QFETCH(QByteArray, request);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        const QByteArray answer = exchange(server.accountPort(), request);
        QTEST(answer.mid(9, 3).toInt(), "status");
        const QJsonObject body = bodyOf(answer).object();
        const TradingEngine &engine = server.desk().engine();
        const qint64 login = body.value("login").toVariant().toLongLong();
        if (login == 0) {
            // Only an accepted change takes effect, and a refusal says why.
            QFETCH(int, status);
            QCOMPARE(engine.authenticate(100001, "x") == Access::Full, status == 200);
            QCOMPARE(body.contains("error"), status != 200);
            QCOMPARE(answer.contains("\r\nWWW-Authenticate: Basic"), status == 401);
            return;
        }
        QCOMPARE(engine.authenticate(login, body.value("password").toString()), Access::Full);
        QCOMPARE(engine.authenticate(login, body.value("investor_password").toString()), Access::ReadOnly);
        QCOMPARE(engine.account(login)->balance, 5000.0);
        QCOMPARE(engine.account(login)->leverage, 200);
    }
};

KESTRAL_TEST_MAIN(TestServerLoopback)
#include "tst_serverloopback.moc"
