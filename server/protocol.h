// The server's side of the trade protocol: reading requests and building the
// replies the terminal reads, one JSON object per text frame.
#pragma once

#include "pricefeed.h"
#include "tradingengine.h"

#include <QJsonObject>

namespace tradeserver::protocol {

TradeRequest readTradeRequest(const QJsonObject &request);

QJsonObject loginReply(const Account *account, bool readOnly, const QString &timeZone);
QJsonObject loginFailed();
QJsonObject symbolList(const QVector<Instrument> &instruments);
QJsonObject tick(const SimTick &tick, const Instrument &instrument, int zoneOffsetSeconds);
QJsonObject chartHistory(const QString &symbol, int period, const QVector<Bar> &bars);
QJsonObject openPositions(const TradingEngine &engine, const Account &account);
QJsonObject pendingOrders(const TradingEngine &engine, const Account &account);
// Closed positions by close time, orders and deals by time, within [from, to];
// to < 0 has no upper limit.
QJsonObject tradeHistory(const TradingEngine &engine, const Account &account, qint64 from, qint64 to);
QJsonObject tradeResult(const TradeResult &result, int type);

// Reads a JSON number that is a whole number; anything else gives `fallback`.
qint64 integer(const QJsonValue &value, qint64 fallback = 0);
double number(const QJsonValue &value);

} // namespace tradeserver::protocol
