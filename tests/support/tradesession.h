// A trade-server client wired to a fake server and a tick batcher the way the main
// window wires them, with what the client emits recorded in the test's thread
// (queued, so that a test reads it without racing the network thread).
#pragma once

#include "faketradeserver.h"
#include "logger.h"
#include "pricedatabuffer.h"
#include "tradeclient.h"

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>

// How long a test waits for something that must happen: generous, because a loaded
// sanitizer build can stall a thread for seconds, and only a failing test waits it out.
constexpr int patienceMs = 20000;

// The logger's journal lines as "title: message", collected in the creating thread so
// that lines logged from the network thread can be awaited with QTRY_*.
struct JournalRecorder
{
    JournalRecorder()
    {
        QObject::connect(Logger::instance(), &Logger::logMessage, &context,
                         [this](const QDateTime &, const QString &title, const QString &message) {
                             lines.append(title + QStringLiteral(": ") + message);
                         },
                         Qt::QueuedConnection);
    }
    QObject context;
    QStringList lines;
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
        QObject::connect(&buffer, &PriceDataBuffer::tickUpdated, &context, [this](const QList<TickData> &batch) { ticks << batch; });
        QObject::connect(&client, &TradeClient::websocketConnected, &context, [this] { ++connects; });
        QObject::connect(&client, &TradeClient::websocketDisconnected, &context, [this] { ++disconnects; });
        // Stamped in the network thread, so that a busy test thread cannot shorten a
        // measured reconnection delay.
        QObject::connect(&client, &TradeClient::websocketDisconnected, &context,
                         [this] { lastDisconnectMs = clock.elapsed(); }, Qt::DirectConnection);
        QObject::connect(&server, &FakeTradeServer::clientConnected, &context, [this] { serverConnectMs << clock.elapsed(); });
        QObject::connect(&client, &TradeClient::loginSuccess, &context, [this](const QJsonObject &info) { logins << info; });
        QObject::connect(&client, &TradeClient::loginFail, &context, [this] { ++loginFails; });
        QObject::connect(&client, &TradeClient::error, &context, [this](const QString &text) { errors << text; });
        QObject::connect(&client, &TradeClient::tradeResponseReceived, &context,
                         [this](const QJsonObject &reply) { tradeResponses << reply; });
    }

    bool connectToServer(const QString &password = QStringLiteral("secret"), const QString &serverName = QStringLiteral("Demo"))
    {
        return client.connectToServer(server.url().toString(), account, password, serverName);
    }

    // Connects and waits for the server's answer to the login frame.
    bool logIn()
    {
        const int before = logins.size() + loginFails;
        connectToServer();
        return QTest::qWaitFor([&] { return logins.size() + loginFails > before; }, patienceMs);
    }

    // The texts the server received apart from login frames.
    QStringList requestTexts() const { return server.receivedTexts().filter(QRegularExpression("^(?!\\{\"id\":)")); }

    int connects = 0;
    int disconnects = 0;
    int loginFails = 0;
    QElapsedTimer clock;
    std::atomic<qint64> lastDisconnectMs{-1};
    QList<qint64> serverConnectMs;
    QList<QJsonObject> logins;
    QStringList errors;
    QList<TickData> ticks; // every batch the batcher emitted, concatenated
    QList<QJsonObject> tradeResponses;

    // Declared before the client, so that all of it outlives the client's thread: a
    // receiver destroyed while that thread emits to it leaks in Qt 5.
    QObject context;
    FakeTradeServer server;
    PriceDataBuffer buffer;
    JournalRecorder journal;
    TradeClient client;
};
