// Sends messages again until their effect shows: on a loaded machine a missed pong
// can drop the connection, and whatever was sent while it was down is lost. Only
// for messages whose repetition changes nothing once they took effect.
#pragma once

#include "faketradeserver.h"
#include "tradesession.h"

#include <QElapsedTimer>
#include <QtTest>
#include <functional>

inline bool sendUntil(FakeTradeServer &server, const QList<QJsonObject> &messages, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    do {
        for (const QJsonObject &message : messages)
            server.send(message);
        if (QTest::qWaitFor(done, 5000))
            return true;
    } while (clock.elapsed() < patienceMs);
    return false;
}
