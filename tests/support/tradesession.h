// A trade-server client wired to a fake server and a tick batcher the way the main
// window wires them, with everything the client emits recorded in the test's thread
// (queued, so that a test reads it without racing the network thread).
#pragma once

#include "faketradeserver.h"
#include "journalrecorder.h"
#include "pricedatabuffer.h"
#include "tradeclient.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QThread>
#include <QtTest>

// Re-emits the client's signals in the test's thread, where QSignalSpy may watch them.
class SessionEvents : public QObject
{
    Q_OBJECT

signals:
    void connected();
    void disconnected();
    void error(QString text);
};

struct TradeSession
{
    static constexpr qint64 account = 1001;

    TradeSession()
    {
        clock.start();
        buffer.setInterval(20);
        client.priceBuffer = &buffer;
        QObject::connect(&client, &TradeClient::websocketConnected, &buffer, &PriceDataBuffer::beginTimer);
        QObject::connect(&client, &TradeClient::websocketDisconnected, &buffer, &PriceDataBuffer::endTimer);
        QObject::connect(&buffer, &PriceDataBuffer::tickUpdated, &context,
                         [this](const QList<TickData> &batch) { ticks += batch; });
        QObject::connect(&client, &TradeClient::websocketConnected, &context, [this] { ++connects; });
        QObject::connect(&client, &TradeClient::websocketDisconnected, &context, [this] {
            ++disconnects;
            lastDisconnectMs = clock.elapsed();
        });
        QObject::connect(&client, &TradeClient::loginSuccess, &context,
                         [this](const QJsonObject &info) { logins.append(info); });
        QObject::connect(&client, &TradeClient::loginFail, &context, [this] { ++loginFails; });
        QObject::connect(&client, &TradeClient::error, &context, [this](const QString &text) { errors.append(text); });
        QObject::connect(&client, &TradeClient::websocketConnected, &events, &SessionEvents::connected);
        QObject::connect(&client, &TradeClient::websocketDisconnected, &events, &SessionEvents::disconnected);
        QObject::connect(&client, &TradeClient::error, &events, &SessionEvents::error);
        QObject::connect(&server, &FakeTradeServer::clientConnected, &context,
                         [this] { serverConnectMs.append(clock.elapsed()); });
        const auto record = [this](int code) {
            return [this, code](const QJsonObject &reply) {
                replies.append({code, reply});
                repliesInTestThread = repliesInTestThread && QThread::currentThread() == context.thread();
            };
        };
        QObject::connect(&client, &TradeClient::chartHistoryReceived, &context, record(3));
        QObject::connect(&client, &TradeClient::openPositionsReceived, &context, record(4));
        QObject::connect(&client, &TradeClient::tradeHistoryReceived, &context, record(5));
        QObject::connect(&client, &TradeClient::pendingOrdersReceived, &context, record(6));
        QObject::connect(&client, &TradeClient::tradeResponseReceived, &context, record(7));
        QObject::connect(&client, &TradeClient::symbolListReceived, &context, record(8));
    }

    bool connectToServer(const QString &password = QStringLiteral("secret"),
                         const QString &serverName = QStringLiteral("Demo"))
    {
        return client.connectToServer(server.url().toString(), account, password, serverName);
    }

    // Connects and waits for the server's answer to the login frame.
    bool logIn()
    {
        const int before = logins.size() + loginFails;
        connectToServer();
        return QTest::qWaitFor([&] { return logins.size() + loginFails > before; }, 5000);
    }

    // The texts the server received apart from login frames.
    QStringList requestTexts() const
    {
        QStringList texts;
        for (const QString &text : server.receivedTexts()) {
            if (!text.startsWith(QLatin1String("{\"id\":")))
                texts.append(text);
        }
        return texts;
    }

    QElapsedTimer clock;
    QObject context;
    SessionEvents events;
    FakeTradeServer server;
    PriceDataBuffer buffer;
    TradeClient client; // after the server and batcher: its thread stops before they go
    JournalRecorder journal;

    int connects = 0;
    int disconnects = 0;
    int loginFails = 0;
    qint64 lastDisconnectMs = -1;
    QList<qint64> serverConnectMs;
    QList<QJsonObject> logins;
    QStringList errors;
    QList<TickData> ticks;
    QList<QPair<int, QJsonObject>> replies;
    bool repliesInTestThread = true;
};
