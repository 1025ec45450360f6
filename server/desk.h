// What the trade server does with each request of a connection, and with the
// passing of time, kept apart from the sockets: requests in, replies out.
#pragma once

#include "loginthrottle.h"
#include "pricefeed.h"
#include "tradingengine.h"

#include <QJsonObject>
#include <QList>
#include <QSet>

namespace tradeserver {

struct SessionState
{
    qint64 login = 0; // 0 until a login succeeded
    Access access = Access::Denied;
    int failedLogins = 0;
};

class Desk
{
public:
    // `timeZone` is the login reply's "+HH:MM" text.
    Desk(const QVector<Instrument> &instruments, quint64 seed, const QString &timeZone, qint64 nowMs,
         std::function<qint64()> clock = {});

    TradingEngine &engine() { return m_engine; }
    PriceFeed &feed() { return m_feed; }
    LoginThrottle &throttle() { return m_throttle; }
    const QString &timeZone() const { return m_timeZone; }

    // Checks a password through the throttle of its account.
    Access authenticate(qint64 login, const QString &password);
    // The replies for this connection; `changed` collects the logins whose positions
    // or orders changed, to be sent to every connection of each.
    QList<QJsonObject> handle(SessionState &session, const QJsonObject &request, QSet<qint64> *changed);
    // Moves the prices to `nowMs`: the tick messages to broadcast; `changed` as above.
    QList<QJsonObject> advance(qint64 nowMs, QSet<qint64> *changed);
    // The positions and pending orders replies of an account.
    QList<QJsonObject> accountState(qint64 login) const;

    static int zoneOffsetSeconds(const QString &timeZone);

private:
    QList<QJsonObject> trade(SessionState &session, const QJsonObject &request, QSet<qint64> *changed);

    TradingEngine m_engine;
    PriceFeed m_feed;
    LoginThrottle m_throttle;
    QString m_timeZone;
    int m_zoneOffset = 0;
};

} // namespace tradeserver
