#include "desk.h"

#include "protocol.h"

#include <QRegularExpression>

namespace tradeserver {

using protocol::integer;

Desk::Desk(const QVector<Instrument> &instruments, quint64 seed, const QString &timeZone, qint64 nowMs,
           std::function<qint64()> clock)
    : m_engine(instruments, std::move(clock))
    , m_feed(instruments, seed, nowMs)
    , m_timeZone(timeZone)
    , m_zoneOffset(zoneOffsetSeconds(timeZone))
{
    for (const Instrument &spec : instruments) {
        const SimTick tick = m_feed.lastTick(spec.symbol);
        m_engine.setQuote(spec.symbol, {tick.bid, tick.ask});
    }
}

int Desk::zoneOffsetSeconds(const QString &timeZone)
{
    static const QRegularExpression pattern(QStringLiteral("^([+-])(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch match = pattern.match(timeZone);
    if (!match.hasMatch())
        return 0;
    const int seconds = match.captured(2).toInt() * 3600 + match.captured(3).toInt() * 60;
    return match.captured(1) == QLatin1String("-") ? -seconds : seconds;
}

Access Desk::authenticate(qint64 login, const QString &password)
{
    const qint64 now = m_engine.now();
    if (!m_throttle.allows(login, now))
        return Access::Denied;
    const Access access = m_engine.authenticate(login, password);
    if (access != Access::Denied)
        m_throttle.succeeded(login);
    else if (m_engine.account(login))
        m_throttle.failed(login, now);
    return access;
}

QList<QJsonObject> Desk::handle(SessionState &session, const QJsonObject &request, QSet<qint64> *changed)
{
    const qint64 code = integer(request.value(QLatin1String("req_code")));
    if (code == 1) {
        const qint64 login = integer(request.value(QLatin1String("id")));
        const Access access = authenticate(login, request.value(QLatin1String("password")).toString());
        if (access == Access::Denied) {
            ++session.failedLogins;
            return {protocol::loginFailed()};
        }
        session.login = login;
        session.access = access;
        return {protocol::loginReply(m_engine.account(login), access == Access::ReadOnly, m_timeZone),
                protocol::symbolList(m_engine.instruments())};
    }
    if (session.login == 0)
        return {};
    // A connection speaks for its own account only.
    const QJsonValue login = request.value(QLatin1String("login"));
    if (!login.isUndefined() && integer(login, -1) != session.login) {
        if (code == 4)
            return {protocol::tradeResult(
                {InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Not the logged-in account")},
                int(integer(request.value(QLatin1String("type")), -1)))};
        return {};
    }
    switch (code) {
    case 3: {
        const QString symbol = request.value(QLatin1String("symbol")).toString();
        const int period = int(integer(request.value(QLatin1String("interval"))));
        const qint64 from = integer(request.value(QLatin1String("from")));
        const qint64 to = integer(request.value(QLatin1String("to")), -1);
        return {protocol::chartHistory(symbol, period, m_feed.history(symbol, period, from, to))};
    }
    case 4:
        return trade(session, request, changed);
    case 5: {
        const qint64 from = integer(request.value(QLatin1String("from")));
        const qint64 to = integer(request.value(QLatin1String("to")), -1);
        return {protocol::tradeHistory(m_engine, *m_engine.accountWithHistory(session.login), from, to)};
    }
    default:
        return {};
    }
}

QList<QJsonObject> Desk::trade(SessionState &session, const QJsonObject &request, QSet<qint64> *changed)
{
    const TradeRequest trade = protocol::readTradeRequest(request);
    if (trade.type == 5)
        return accountState(session.login);
    if (session.access != Access::Full) {
        return {protocol::tradeResult(
            {TradeDisabled, QStringLiteral("Trade disabled"), QStringLiteral("Read-only login")}, trade.type)};
    }
    const TradeResult result = m_engine.execute(session.login, trade);
    if (result.ok())
        changed->insert(session.login);
    return {protocol::tradeResult(result, trade.type)};
}

QList<QJsonObject> Desk::accountState(qint64 login) const
{
    const Account *account = m_engine.account(login);
    if (!account)
        return {};
    return {protocol::openPositions(m_engine, *account), protocol::pendingOrders(m_engine, *account)};
}

QList<QJsonObject> Desk::advance(qint64 nowMs, QSet<qint64> *changed)
{
    QList<QJsonObject> messages;
    const QVector<SimTick> ticks = m_feed.advance(nowMs);
    for (const SimTick &tick : ticks) {
        *changed += m_engine.setQuote(tick.symbol, {tick.bid, tick.ask});
        messages.append(protocol::tick(tick, *m_engine.instrument(tick.symbol), m_zoneOffset));
    }
    // What the round's quotes closed, filled or expired is kept before anyone hears of it.
    m_engine.persist();
    return messages;
}

} // namespace tradeserver
