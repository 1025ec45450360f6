// Sends messages again until their effect shows: on a loaded machine a missed pong
// can drop the connection, and whatever was sent while it was down is lost. Only
// for messages whose repetition changes nothing once they took effect.
#pragma once

#include "faketradeserver.h"
#include "tradesession.h"

#include <functional>

inline bool sendUntil(FakeTradeServer &server, const QList<QJsonObject> &messages, const std::function<bool()> &done)
{
    for (int round = 0; round < patienceMs / 5000; ++round) {
        for (const QJsonObject &message : messages)
            server.send(message);
        if (QTest::qWaitFor(done, 5000))
            return true;
    }
    return false;
}
