// The terminal's own trade-server client against the local server on ephemeral
// ports: log in, get symbols and ticks, trade, and reach the HTTP services.
#include "pricedatabuffer.h"
#include "serverapp.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

using namespace tradeserver;

namespace {

constexpr int patienceMs = 20000;

ServerOptions ephemeral()
{
    ServerOptions options;
    options.brokerPort = 0;
    options.tradePort = 0;
    options.accountPort = 0;
    options.seed = 11;
    return options;
}

QByteArray fetch(QNetworkAccessManager &network, const QUrl &url, const QByteArray &postBody, int *status)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = postBody.isNull() ? network.get(request) : network.post(request, postBody);
    const bool finished = QTest::qWaitFor([reply] { return reply->isFinished(); }, patienceMs);
    *status = finished ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : -1;
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
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

        QObject context;
        QList<QJsonObject> logins, symbolLists, results, positions;
        QList<TickData> ticks;
        PriceDataBuffer buffer;
        buffer.setInterval(20);
        QObject::connect(&buffer, &PriceDataBuffer::tickUpdated, &context,
                         [&](const QList<TickData> &batch) { ticks << batch; });
        {
            TradeClient client;
            client.priceBuffer = &buffer;
            QObject::connect(&client, &TradeClient::websocketConnected, &buffer, &PriceDataBuffer::beginTimer);
            const auto collect = [&](void (TradeClient::*signal)(QJsonObject), QList<QJsonObject> &list) {
                QObject::connect(&client, signal, &context, [&list](const QJsonObject &o) { list << o; });
            };
            collect(&TradeClient::loginSuccess, logins);
            collect(&TradeClient::symbolListReceived, symbolLists);
            collect(&TradeClient::tradeResponseReceived, results);
            collect(&TradeClient::openPositionsReceived, positions);
            const QString url = QStringLiteral("ws://127.0.0.1:%1").arg(server.tradePort());
            client.connectToServer(url, server.demo().login, server.demo().password, "KestralDemo");
            QTRY_COMPARE_WITH_TIMEOUT(logins.size(), 1, patienceMs);
            QCOMPARE(logins.first().value("is_investor_password").toBool(), false);
            QTRY_COMPARE_WITH_TIMEOUT(symbolLists.size(), 1, patienceMs);
            QCOMPARE(symbolLists.first().value("array").toArray().size(), 30);
            QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty(), patienceMs);
            QVERIFY(ticks.first().ask > ticks.first().bid);

            client.sendRequest(
                {{"req_code", 4}, {"type", 0}, {"order_type", 0}, {"volume", 1000}, {"symbol", "EURUSD"}});
            QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, patienceMs);
            QCOMPARE(results.first().value("status").toInt(), 10009);
            QTRY_VERIFY_WITH_TIMEOUT(!positions.isEmpty(), patienceMs);
            const QJsonObject position = positions.last().value("array").toArray().at(0).toObject();
            const QString fields = QJsonDocument(position).toJson(QJsonDocument::Compact);
            QVERIFY2(fields.contains(QRegularExpression(
                         R"("csize":100000,.*"r_profit":1,.*"symbol":"EURUSD",.*"type":"buy",.*"volume":1000[,}])")),
                     qPrintable(fields));
            QCOMPARE(positions.last().value("is_last").toInt(), 1);
            QCOMPARE(positions.last().value("balance").toDouble(), 10000.0);
            QVERIFY(qAbs(positions.last().value("margin").toDouble() - position.value("price_o").toDouble() * 100) <
                    0.01);

            // Logged in with the main password, the account may change a password.
            QNetworkAccessManager network;
            int status = 0;
            const QUrl update(QStringLiteral("http://127.0.0.1:%1/account/update").arg(server.accountPort()));
            fetch(network, update, R"({"investor_password":"newview","dealer":100001,"manager_login":1000})", &status);
            QCOMPARE(status, 200);
            QCOMPARE(server.desk().engine().authenticate(100001, "newview"), Access::ReadOnly);

            const QUrl brokers(QStringLiteral("http://127.0.0.1:%1/brokers").arg(server.brokerPort()));
            const QJsonArray list = QJsonDocument::fromJson(fetch(network, brokers, QByteArray(), &status)).array();
            QCOMPARE(status, 200);
            const QJsonObject entry = list.at(0).toObject().value("servers").toArray().at(0).toObject();
            QCOMPARE(entry.value("brokerId").toInt(), 34);
            QCOMPARE(entry.value("ipaddr").toString(), QStringLiteral("127.0.0.1:%1").arg(server.tradePort()));
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
    }
    void hostileTradeClientsAreDropped()
    {
        QFETCH(QStringList, texts);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        QWebSocket socket;
        QSignalSpy closed(&socket, &QWebSocket::disconnected);
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.tradePort())));
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::ConnectedState, patienceMs);
        for (const QString &text : std::as_const(texts))
            socket.sendTextMessage(text);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, patienceMs);
    }

    void hostileHttpInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("statusLine");

        QTest::newRow("not HTTP") << QByteArray("hello\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("a body over the limit")
            << QByteArray("POST /account/create HTTP/1.1\r\nContent-Length: 10000000\r\n\r\n")
            << QByteArray("HTTP/1.1 413");
        QTest::newRow("a negative length")
            << QByteArray("POST /account/create HTTP/1.1\r\nContent-Length: -5\r\n\r\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("endless headers") << QByteArray(20000, 'x') << QByteArray("HTTP/1.1 413");
    }
    void hostileHttpInputIsRefused()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, statusLine);
        ServerApp server(ephemeral());
        QVERIFY(server.start());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.accountPort());
        QVERIFY(socket.waitForConnected(patienceMs));
        socket.write(request);
        QByteArray answer;
        QVERIFY(QTest::qWaitFor(
            [&] {
                answer += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            patienceMs));
        answer += socket.readAll();
        QVERIFY2(answer.startsWith(statusLine), answer.constData());
    }
};

KESTRAL_TEST_MAIN(TestServerLoopback)
#include "tst_serverloopback.moc"
