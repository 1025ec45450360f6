#include "position.h"

#include "jsonreadings.h"

namespace {

QJsonValue valueOf(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key));
}

qint64 wide(const QJsonObject &object, const char *key)
{
    return jsonreading::wideInteger(valueOf(object, key));
}

// Wire volumes are whole lots times 10000; a fraction means a broken value.
double lots(const QJsonObject &object)
{
    return valueOf(object, "volume").toInt() / 10000.0;
}

} // namespace

Position Position::fromJson(const QJsonObject &object)
{
    Position position;
    position.login = wide(object, "login");
    position.ticket = wide(object, "ticket");
    position.symbol = valueOf(object, "symbol").toString();
    position.type = valueOf(object, "type").toString();
    position.volume = lots(object);
    // One look-up per key: each costs a search of the row's keys, times 50,000 rows.
    const QJsonValue openPrice = valueOf(object, "price_o");
    if (!openPrice.isUndefined()) {
        position.price = openPrice.toDouble();
    } else {
        const QJsonValue price = valueOf(object, "price");
        if (!price.isUndefined())
            position.price = price.toDouble();
    }
    position.closePrice = valueOf(object, "price_c").toDouble();
    position.sl = valueOf(object, "sl").toDouble();
    position.tp = valueOf(object, "tp").toDouble();
    position.profit = valueOf(object, "profit").toDouble();
    position.contractSize = valueOf(object, "csize").toDouble();
    position.time = wide(object, "time");
    position.closeTime = wide(object, "time_c");
    position.profitRate = valueOf(object, "r_profit").toDouble();
    position.swap = valueOf(object, "swap").toDouble();
    position.fee = valueOf(object, "fee").toDouble();
    position.digits = jsonreading::boundedDigits(valueOf(object, "digits").toInt());
    return position;
}

bool Position::operator==(const Position &other) const
{
    return login == other.login && ticket == other.ticket && symbol == other.symbol && type == other.type
        && volume == other.volume && price == other.price && closePrice == other.closePrice && sl == other.sl
        && tp == other.tp && contractSize == other.contractSize && time == other.time
        && closeTime == other.closeTime && profitRate == other.profitRate && swap == other.swap
        && reserved == other.reserved && fee == other.fee && digits == other.digits
        && reservedText == other.reservedText;
}

PendingOrder PendingOrder::fromJson(const QJsonObject &object)
{
    PendingOrder order;
    order.login = wide(object, "login");
    order.ticket = wide(object, "ticket");
    order.symbol = valueOf(object, "symbol").toString();
    order.type = valueOf(object, "type").toInt();
    order.volume = lots(object);
    order.price = valueOf(object, "price").toDouble();
    order.stopPrice = valueOf(object, "s_price").toDouble();
    order.sl = valueOf(object, "sl").toDouble();
    order.tp = valueOf(object, "tp").toDouble();
    order.time = wide(object, "time");
    order.digits = jsonreading::boundedDigits(valueOf(object, "digits").toInt());
    return order;
}

bool PendingOrder::operator==(const PendingOrder &other) const
{
    return login == other.login && ticket == other.ticket && reserved == other.reserved && symbol == other.symbol
        && type == other.type && volume == other.volume && price == other.price && stopPrice == other.stopPrice
        && sl == other.sl && tp == other.tp && time == other.time && reservedNumber == other.reservedNumber
        && reservedText == other.reservedText && digits == other.digits;
}
