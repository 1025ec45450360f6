#include "tradereturncodes.h"

#include <QCoreApplication>

namespace tradereturn {

namespace {

struct Entry
{
    int status;
    const char *text;
};

constexpr Entry entries[] = {
    {10004, QT_TRANSLATE_NOOP("TradeReturnCode", "Requote")},
    {10006, QT_TRANSLATE_NOOP("TradeReturnCode", "Request rejected")},
    {10007, QT_TRANSLATE_NOOP("TradeReturnCode", "Request canceled by trader")},
    {10008, QT_TRANSLATE_NOOP("TradeReturnCode", "Order placed")},
    {10009, QT_TRANSLATE_NOOP("TradeReturnCode", "Request completed")},
    {10010, QT_TRANSLATE_NOOP("TradeReturnCode", "Only part of the request was completed")},
    {10011, QT_TRANSLATE_NOOP("TradeReturnCode", "Request processing error")},
    {10012, QT_TRANSLATE_NOOP("TradeReturnCode", "Request canceled by timeout")},
    {10013, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid request")},
    {10014, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid volume in the request")},
    {10015, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid price in the request")},
    {10016, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid stops in the request")},
    {10017, QT_TRANSLATE_NOOP("TradeReturnCode", "Trade is disabled")},
    {10018, QT_TRANSLATE_NOOP("TradeReturnCode", "Market is closed")},
    {10019, QT_TRANSLATE_NOOP("TradeReturnCode", "There is not enough money to complete the request")},
    {10020, QT_TRANSLATE_NOOP("TradeReturnCode", "Prices changed")},
    {10021, QT_TRANSLATE_NOOP("TradeReturnCode", "There are no quotes to process the request")},
    {10022, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid order expiration date in the request")},
    {10023, QT_TRANSLATE_NOOP("TradeReturnCode", "Order state changed")},
    {10024, QT_TRANSLATE_NOOP("TradeReturnCode", "Too frequent requests")},
    {10025, QT_TRANSLATE_NOOP("TradeReturnCode", "No changes in request")},
    {10026, QT_TRANSLATE_NOOP("TradeReturnCode", "Autotrading disabled by server")},
    {10027, QT_TRANSLATE_NOOP("TradeReturnCode", "Autotrading disabled by client terminal")},
    {10028, QT_TRANSLATE_NOOP("TradeReturnCode", "Request locked for processing")},
    {10029, QT_TRANSLATE_NOOP("TradeReturnCode", "Order or position frozen")},
    {10030, QT_TRANSLATE_NOOP("TradeReturnCode", "Invalid order filling type")},
    {10031, QT_TRANSLATE_NOOP("TradeReturnCode", "No connection with the trade server")},
    {10032, QT_TRANSLATE_NOOP("TradeReturnCode", "Operation is allowed only for live accounts")},
    {10033, QT_TRANSLATE_NOOP("TradeReturnCode", "The number of pending orders has reached the limit")},
    {10034,
     QT_TRANSLATE_NOOP("TradeReturnCode", "The volume of orders and positions for the symbol has reached the limit")},
    {10035, QT_TRANSLATE_NOOP("TradeReturnCode", "Incorrect or prohibited order type")},
    {10036, QT_TRANSLATE_NOOP("TradeReturnCode", "Position has already been closed")},
    {10038, QT_TRANSLATE_NOOP("TradeReturnCode", "Close volume exceeds the current position volume")},
    {10039, QT_TRANSLATE_NOOP("TradeReturnCode", "A close order already exists for the position")},
    {10040, QT_TRANSLATE_NOOP("TradeReturnCode", "The number of open positions has reached the limit")},
    {10041, QT_TRANSLATE_NOOP("TradeReturnCode", "The pending order activation request was rejected")},
    {10042, QT_TRANSLATE_NOOP("TradeReturnCode", "Only long positions are allowed")},
    {10043, QT_TRANSLATE_NOOP("TradeReturnCode", "Only short positions are allowed")},
    {10044, QT_TRANSLATE_NOOP("TradeReturnCode", "Only position closing is allowed")},
    {10045, QT_TRANSLATE_NOOP("TradeReturnCode", "Position closing is allowed only by FIFO rule")},
};

} // namespace

QString message(int status)
{
    for (const Entry &entry : entries) {
        if (entry.status == status)
            return QCoreApplication::translate("TradeReturnCode", entry.text);
    }
    return QCoreApplication::translate("TradeReturnCode", "Unknown return code %1").arg(status);
}

} // namespace tradereturn
