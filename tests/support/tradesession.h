// A trade-server client wired to a fake server and a tick batcher as the main window
// wires them; what it emits is recorded queued, in the test's thread.
#pragma once

#include "faketradeserver.h"
#include "logger.h"
#include "pricedatabuffer.h"
#include "tradeclient.h"

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>

// Generous, for a loaded sanitizer build; only a failing test waits it out.
constexpr int patienceMs = 20000;

// Journal lines as "title: message".
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
        // Stamped in the network thread, so a busy test thread cannot shorten a measured delay.
        QObject::connect(&client, &TradeClient::websocketDisconnected, &context,
                         [this] { lastDisconnectMs = clock.elapsed(); }, Qt::DirectConnection);
        QObject::connect(&server, &FakeTradeServer::clientConnected, &context, [this] { serverConnectMs << clock.elapsed(); });
        QObject::connect(&client, &TradeClient::loginSuccess, &context, [this](const QJsonObject &info) { logins << info; });
        QObject::connect(&client, &TradeClient::loginFail, &context, [this] { ++loginFails; });
        QObject::connect(&client, &TradeClient::error, &context, [this](const QString &text) { errors << text; });
    }

    bool connectToServer(const QString &password = QStringLiteral("secret"), const QString &serverName = QStringLiteral("Demo"))
    {
        return client.connectToServer(server.url().toString(), account, password, serverName);
    }

    // Connects and waits for the answer to the login frame.
    bool logIn()
    {
        const int before = logins.size() + loginFails;
        connectToServer();
        return QTest::qWaitFor([&] { return logins.size() + loginFails > before; }, patienceMs);
    }

    int connects = 0;
    int disconnects = 0;
    int loginFails = 0;
    QElapsedTimer clock;
    std::atomic<qint64> lastDisconnectMs{-1};
    QList<qint64> serverConnectMs;
    QList<QJsonObject> logins;
    QStringList errors;
    QList<TickData> ticks; // every batch, concatenated

    // Before the client: a receiver destroyed while its thread emits to it leaks in Qt 5.
    QObject context;
    FakeTradeServer server;
    PriceDataBuffer buffer;
    JournalRecorder journal;
    TradeClient client;
};
