#include "tickdata.h"

#include <QVariant>

namespace {

qint64 wide(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toVariant().toLongLong();
}

double lots(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toInt() / 10000.0;
}

const int registered = [] {
    qRegisterMetaType<TickData>("TickData");
    qRegisterMetaType<QList<TickData>>("QList<TickData>");
    return 0;
}();

} // namespace

TickData TickData::fromJson(const QJsonObject &object)
{
    Q_UNUSED(registered);
    TickData tick;
    tick.symbol = object.value(QLatin1String("symbol")).toString();
    tick.timestamp = wide(object, QLatin1String("timestamp"));
    tick.serverTime = wide(object, QLatin1String("server_time"));
    tick.bid = object.value(QLatin1String("bid")).toDouble();
    tick.ask = object.value(QLatin1String("ask")).toDouble();
    tick.volume = lots(object, QLatin1String("volume"));
    tick.tmMs = wide(object, QLatin1String("tm_ms"));
    tick.digits = object.value(QLatin1String("digits")).toInt();
    tick.minVol = lots(object, QLatin1String("min_vol"));
    tick.maxVol = lots(object, QLatin1String("max_vol"));
    tick.stepVol = lots(object, QLatin1String("step_vol"));
    tick.bidHigh = object.value(QLatin1String("bid_high")).toDouble();
    tick.bidLow = object.value(QLatin1String("bid_low")).toDouble();
    tick.askHigh = object.value(QLatin1String("ask_high")).toDouble();
    tick.askLow = object.value(QLatin1String("ask_low")).toDouble();
    return tick;
}
