#include "protocol.h"

#include <QJsonArray>
#include <cmath>

namespace tradeserver::protocol {

namespace {

QJsonValue wire(qint64 value)
{
    return QJsonValue(value);
}

int digitsOf(const TradingEngine &engine, const QString &symbol)
{
    const Instrument *spec = engine.instrument(symbol);
    return spec ? spec->digits : 5;
}

bool within(qint64 time, qint64 from, qint64 to)
{
    return time >= from && (to < 0 || time <= to);
}

} // namespace

qint64 integer(const QJsonValue &value, qint64 fallback)
{
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    // Beyond 2^53 a double no longer holds whole numbers exactly; nothing here is so large.
    if (!std::isfinite(number) || std::abs(number) > 9.0e15 || std::trunc(number) != number)
        return fallback;
    return qint64(number);
}

double number(const QJsonValue &value)
{
    const double result = value.toDouble(0.0);
    return std::isfinite(result) ? result : 0.0;
}

TradeRequest readTradeRequest(const QJsonObject &request)
{
    TradeRequest trade;
    trade.type = int(integer(request.value(QLatin1String("type")), -1));
    trade.orderType = int(integer(request.value(QLatin1String("order_type")), -1));
    trade.volume = integer(request.value(QLatin1String("volume")));
    trade.symbol = request.value(QLatin1String("symbol")).toString();
    trade.price = number(request.value(QLatin1String("price")));
    trade.stopPrice = number(request.value(QLatin1String("s_price")));
    trade.sl = number(request.value(QLatin1String("sl")));
    trade.tp = number(request.value(QLatin1String("tp")));
    trade.orderId = integer(request.value(QLatin1String("order_id")));
    trade.positionId = integer(request.value(QLatin1String("position_id")));
    trade.positionById = integer(request.value(QLatin1String("position_by_id")));
    trade.timeType = int(integer(request.value(QLatin1String("t_time"))));
    trade.expiryMinutes = int(std::clamp<qint64>(integer(request.value(QLatin1String("exp_mins"))), -1, 1 << 30));
    trade.subType = int(integer(request.value(QLatin1String("sub_type")), -1));
    return trade;
}

QJsonObject loginReply(const Account *account, bool readOnly, const QString &timeZone)
{
    return {{"res_code", 1},
            {"state", 1},
            {"is_investor_password", readOnly},
            {"timezone", timeZone},
            {"login", wire(account->login)},
            {"name", account->name},
            {"group", account->group}};
}

QJsonObject loginFailed()
{
    return {{"res_code", 1}, {"state", 0}};
}

QJsonObject symbolList(const QVector<Instrument> &instruments)
{
    QJsonArray array;
    for (const Instrument &spec : instruments) {
        array.append(QJsonObject{{"symbol", spec.symbol},
                                 {"desc", spec.description},
                                 {"path", spec.path},
                                 {"digits", spec.digits},
                                 {"c_size", spec.contractSize},
                                 {"min_vol", wire(spec.minVolume)},
                                 {"max_vol", wire(spec.maxVolume)},
                                 {"step_vol", wire(spec.stepVolume)}});
    }
    return {{"res_code", 8}, {"array", array}};
}

QJsonObject tick(const SimTick &tick, const Instrument &spec, int zoneOffsetSeconds)
{
    const qint64 seconds = tick.timeMs / 1000;
    return {{"res_code", 2},
            {"symbol", tick.symbol},
            {"timestamp", wire(seconds)},
            {"server_time", wire(seconds + zoneOffsetSeconds)},
            {"tm_ms", wire(tick.timeMs)},
            {"bid", tick.bid},
            {"ask", tick.ask},
            {"volume", 0},
            {"digits", spec.digits},
            {"min_vol", wire(spec.minVolume)},
            {"max_vol", wire(spec.maxVolume)},
            {"step_vol", wire(spec.stepVolume)},
            {"bid_high", tick.bidHigh},
            {"bid_low", tick.bidLow},
            {"ask_high", tick.askHigh},
            {"ask_low", tick.askLow}};
}

QJsonObject chartHistory(const QString &symbol, int period, const QVector<Bar> &bars)
{
    QJsonArray array;
    for (const Bar &bar : bars) {
        array.append(QJsonObject{{"datetime", wire(bar.time)},
                                 {"open", bar.open},
                                 {"high", bar.high},
                                 {"low", bar.low},
                                 {"close", bar.close}});
    }
    return {{"res_code", 3}, {"symbol", symbol}, {"interval", period}, {"array", array}};
}

QJsonObject openPositions(const TradingEngine &engine, const Account &account)
{
    QJsonArray array;
    for (const OpenPosition &position : account.positions) {
        const Instrument *spec = engine.instrument(position.symbol);
        const double contractSize = spec ? spec->contractSize : 0.0;
        array.append(QJsonObject{{"login", wire(account.login)},
                                 {"ticket", wire(position.ticket)},
                                 {"time", wire(position.openTime)},
                                 {"time_c", 0},
                                 {"symbol", position.symbol},
                                 {"type", position.sell ? "sell" : "buy"},
                                 {"volume", wire(position.volume)},
                                 {"price", position.openPrice},
                                 {"price_o", position.openPrice},
                                 {"price_c", engine.currentClosePrice(position)},
                                 {"sl", position.sl},
                                 {"tp", position.tp},
                                 {"csize", contractSize},
                                 {"profit", roundMoney(engine.profit(position))},
                                 {"swap", 0.0},
                                 {"fee", 0.0},
                                 {"r_profit", spec ? engine.conversionRate(spec->quoteCurrency) : 1.0},
                                 {"digits", spec ? spec->digits : 5}});
    }
    // One page holds everything, so it is the last.
    return {{"res_code", 4},
            {"balance", account.balance},
            {"margin", roundMoney(engine.margin(account))},
            {"credit", account.credit},
            {"is_last", 1},
            {"array", array}};
}

QJsonObject pendingOrders(const TradingEngine &engine, const Account &account)
{
    QJsonArray array;
    for (const WorkingOrder &order : account.orders) {
        array.append(QJsonObject{{"login", wire(account.login)},
                                 {"ticket", wire(order.ticket)},
                                 {"time", wire(order.time)},
                                 {"symbol", order.symbol},
                                 {"type", order.type},
                                 {"volume", wire(order.volume)},
                                 {"price", order.price},
                                 {"s_price", order.stopPrice},
                                 {"sl", order.sl},
                                 {"tp", order.tp},
                                 {"digits", digitsOf(engine, order.symbol)}});
    }
    return {{"res_code", 6}, {"array", array}};
}

QJsonObject tradeHistory(const TradingEngine &engine, const Account &account, qint64 from, qint64 to)
{
    QJsonArray positions;
    for (const ClosedPosition &position : account.closed) {
        if (!within(position.closeTime, from, to))
            continue;
        positions.append(QJsonObject{{"ticket", wire(position.ticket)},
                                     {"symbol", position.symbol},
                                     {"type", position.sell ? "sell" : "buy"},
                                     {"time", wire(position.openTime)},
                                     {"time_c", wire(position.closeTime)},
                                     {"digits", digitsOf(engine, position.symbol)},
                                     {"volume", wire(position.volume)},
                                     {"price_o", position.openPrice},
                                     {"price_c", position.closePrice},
                                     {"profit", position.profit},
                                     {"swap", 0.0},
                                     {"commission", 0.0},
                                     {"sl", position.sl},
                                     {"tp", position.tp}});
    }
    QJsonArray orders;
    for (const HistoryOrder &order : account.orderHistory) {
        if (!within(order.time, from, to))
            continue;
        orders.append(QJsonObject{{"ticket", wire(order.ticket)},
                                  {"symbol", order.symbol},
                                  {"type", order.type},
                                  {"time", wire(order.time)},
                                  {"volume", wire(order.volume)},
                                  {"price", order.price},
                                  {"s_price", order.stopPrice},
                                  {"state", order.state},
                                  {"sl", order.sl},
                                  {"tp", order.tp},
                                  {"digits", digitsOf(engine, order.symbol)}});
    }
    QJsonArray deals;
    for (const Deal &deal : account.deals) {
        if (!within(deal.time, from, to))
            continue;
        deals.append(QJsonObject{{"ticket", wire(deal.ticket)},
                                 {"type", deal.type},
                                 {"symbol", deal.symbol},
                                 {"time", wire(deal.time)},
                                 {"order", wire(deal.order)},
                                 {"digits", digitsOf(engine, deal.symbol)},
                                 {"volume", wire(deal.volume)},
                                 {"price", deal.price},
                                 {"profit", deal.profit},
                                 {"swap", 0.0},
                                 {"fee", 0.0},
                                 {"commission", 0.0}});
    }
    return {{"res_code", 5}, {"positions", positions}, {"orders", orders}, {"deals", deals}};
}

QJsonObject tradeResult(const TradeResult &result, int type)
{
    return {{"res_code", 7},
            {"status", result.status},
            {"msg", result.message},
            {"type", type},
            {"fail_reason", result.failReason}};
}

} // namespace tradeserver::protocol
