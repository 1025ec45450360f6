#include "tickdata.h"

#include "jsonreadings.h"

#include <QCborMap>
#include <QCborValue>
#include <QVariant>
#include <array>
#include <limits>

namespace {

const int registered = [] {
    qRegisterMetaType<TickData>("TickData");
    qRegisterMetaType<QList<TickData>>("QList<TickData>");
    return 0;
}();

enum class Field { Ignored, Symbol, Timestamp, ServerTime, Bid, Ask, Volume, TmMs, Digits, MinVol, MaxVol, StepVol,
                   BidHigh, BidLow, AskHigh, AskLow };

struct Key
{
    const char *name;
    Field field;
};

// In the order a parsed QJsonObject keeps its keys (sorted), so that a complete
// tick matches entry by entry and nothing is searched.
constexpr std::array<Key, 16> keys{{
    {"ask", Field::Ask},
    {"ask_high", Field::AskHigh},
    {"ask_low", Field::AskLow},
    {"bid", Field::Bid},
    {"bid_high", Field::BidHigh},
    {"bid_low", Field::BidLow},
    {"digits", Field::Digits},
    {"max_vol", Field::MaxVol},
    {"min_vol", Field::MinVol},
    {"res_code", Field::Ignored},
    {"server_time", Field::ServerTime},
    {"step_vol", Field::StepVol},
    {"symbol", Field::Symbol},
    {"timestamp", Field::Timestamp},
    {"tm_ms", Field::TmMs},
    {"volume", Field::Volume},
}};

const std::array<QCborValue, keys.size()> &cborKeys()
{
    static const auto values = [] {
        std::array<QCborValue, keys.size()> result;
        for (size_t i = 0; i < keys.size(); ++i)
            result[i] = QCborValue(QLatin1String(keys[i].name));
        return result;
    }();
    return values;
}

// The conversions of QJsonValue, read straight from the shared CBOR storage.
double toDouble(const QCborValue &value)
{
    if (value.isDouble())
        return value.toDouble();
    return value.isInteger() ? double(value.toInteger()) : 0.0;
}

int toInt(const QCborValue &value)
{
    if (value.isInteger()) {
        const qint64 n = value.toInteger();
        return n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max() ? int(n) : 0;
    }
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max() && int(d) == d)
            return int(d);
    }
    return 0;
}

qint64 toInt64(const QCborValue &value)
{
    // Only integers take the short way; a double beyond the 64-bit range must not
    // reach an undefined conversion.
    return value.isInteger() ? value.toInteger() : jsonreading::wideInteger(value.toJsonValue());
}

void assign(TickData &tick, Field field, const QCborValue &value)
{
    switch (field) {
    case Field::Ignored:
        break;
    case Field::Symbol:
        tick.symbol = value.toString();
        break;
    case Field::Timestamp:
        tick.timestamp = toInt64(value);
        break;
    case Field::ServerTime:
        tick.serverTime = toInt64(value);
        break;
    case Field::TmMs:
        tick.tmMs = toInt64(value);
        break;
    case Field::Bid:
        tick.bid = toDouble(value);
        break;
    case Field::Ask:
        tick.ask = toDouble(value);
        break;
    case Field::BidHigh:
        tick.bidHigh = toDouble(value);
        break;
    case Field::BidLow:
        tick.bidLow = toDouble(value);
        break;
    case Field::AskHigh:
        tick.askHigh = toDouble(value);
        break;
    case Field::AskLow:
        tick.askLow = toDouble(value);
        break;
    case Field::Digits:
        tick.digits = jsonreading::boundedDigits(toInt(value));
        break;
    case Field::Volume:
        tick.volume = toInt(value) / 10000.0;
        break;
    case Field::MinVol:
        tick.minVol = toInt(value) / 10000.0;
        break;
    case Field::MaxVol:
        tick.maxVol = toInt(value) / 10000.0;
        break;
    case Field::StepVol:
        tick.stepVol = toInt(value) / 10000.0;
        break;
    }
}

} // namespace

TickData TickData::fromJson(const QJsonObject &object)
{
    Q_UNUSED(registered);
    // Ticks are the bulk of the traffic: one pass over the object's own storage
    // instead of a keyed look-up per field.
    const auto &names = cborKeys();
    const QCborMap map = QCborMap::fromJsonObject(object);
    TickData tick;
    size_t expected = 0;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const QCborValue key = it.key();
        size_t found = keys.size();
        if (expected < keys.size() && key == names[expected]) {
            found = expected;
        } else {
            for (size_t i = 0; i < keys.size(); ++i) {
                if (key == names[i]) {
                    found = i;
                    break;
                }
            }
        }
        if (found == keys.size())
            continue;
        assign(tick, keys[found].field, it.value());
        expected = found + 1;
    }
    return tick;
}
