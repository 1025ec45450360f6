// A trade-server client logged in to a fake server, with a tick batcher attached;
// what it emits is counted queued, in the test's thread.
#pragma once

#include "faketradeserver.h"
#include "logger.h"
#include "pricedatabuffer.h"
#include "tradeclient.h"

#include <QElapsedTimer>
#include <QtTest>

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

// Sends the replies and then a tick while this thread stays busy, until the batcher
// holds that tick: the client has then taken every reply before any reaches a receiver here.
inline void sendWhileBusy(FakeTradeServer &server, PriceDataBuffer &batcher, const QList<QJsonObject> &replies)
{
    QSignalSpy batches(&batcher, &PriceDataBuffer::tickUpdated);
    for (const QJsonObject &reply : replies)
        server.send(reply);
    server.send(FakeTradeServer::tick(QStringLiteral("END"), 1.0, 1.1));
    server.flush();
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < patienceMs && batches.isEmpty())
        batcher.onTimerTriggered();
}

struct TradeSession
{
    static constexpr qint64 account = 1001;

    TradeSession()
    {
        buffer.setInterval(20);
        client.priceBuffer = &buffer;
        QObject::connect(&client, &TradeClient::websocketConnected, &buffer, &PriceDataBuffer::beginTimer);
        QObject::connect(&client, &TradeClient::websocketDisconnected, &buffer, &PriceDataBuffer::endTimer);
        QObject::connect(&client, &TradeClient::websocketDisconnected, &context, [this] { ++disconnects; });
        QObject::connect(&client, &TradeClient::loginSuccess, &context, [this] { ++logins; });
        QObject::connect(&client, &TradeClient::loginFail, &context, [this] { ++loginFails; });
        QObject::connect(&client, &TradeClient::error, &context, [this] { ++errors; });
    }

    bool connectToServer(const QString &password = QStringLiteral("secret"))
    {
        return client.connectToServer(server.url().toString(), account, password, QStringLiteral("Demo"));
    }

    // Connects and waits for the answer to the login frame.
    bool logIn()
    {
        const int before = logins + loginFails;
        connectToServer();
        return QTest::qWaitFor([&] { return logins + loginFails > before; }, patienceMs);
    }

    int disconnects = 0;
    int logins = 0;
    int loginFails = 0;
    int errors = 0;

    // Before the client: a receiver destroyed while its thread emits to it leaks in Qt 5.
    QObject context;
    FakeTradeServer server;
    PriceDataBuffer buffer;
    JournalRecorder journal;
    TradeClient client;
};
