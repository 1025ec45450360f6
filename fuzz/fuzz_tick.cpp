// A price frame through the parser and the tick reader, checked against a plain
// keyed reading of the same object.
#include "fuzzsupport.h"

#include "jsonreadings.h"
#include "tickdata.h"
#include "tradeclient.h"

#include <QJsonObject>
#include <cstring>

namespace {

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TickData keyedReading(const QJsonObject &object)
{
    const auto value = [&](const char *key) { return object.value(QLatin1String(key)); };
    const auto lots = [&](const char *key) { return value(key).toInt() / 10000.0; };
    TickData tick;
    tick.symbol = value("symbol").toString();
    tick.timestamp = jsonreading::wideInteger(value("timestamp"));
    tick.serverTime = jsonreading::wideInteger(value("server_time"));
    tick.tmMs = jsonreading::wideInteger(value("tm_ms"));
    tick.bid = value("bid").toDouble();
    tick.ask = value("ask").toDouble();
    tick.bidHigh = value("bid_high").toDouble();
    tick.bidLow = value("bid_low").toDouble();
    tick.askHigh = value("ask_high").toDouble();
    tick.askLow = value("ask_low").toDouble();
    tick.digits = jsonreading::boundedDigits(value("digits").toInt());
    tick.volume = lots("volume");
    tick.minVol = lots("min_vol");
    tick.maxVol = lots("max_vol");
    tick.stepVol = lots("step_vol");
    return tick;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QJsonObject object = TradeClient::parseMessage(text);
    const TickData tick = TickData::fromJson(object);
    const TickData expected = keyedReading(object);

    FUZZ_CHECK(tick.symbol == expected.symbol);
    FUZZ_CHECK(tick.timestamp == expected.timestamp);
    FUZZ_CHECK(tick.serverTime == expected.serverTime);
    FUZZ_CHECK(tick.tmMs == expected.tmMs);
    FUZZ_CHECK(same(tick.bid, expected.bid));
    FUZZ_CHECK(same(tick.ask, expected.ask));
    FUZZ_CHECK(same(tick.bidHigh, expected.bidHigh));
    FUZZ_CHECK(same(tick.bidLow, expected.bidLow));
    FUZZ_CHECK(same(tick.askHigh, expected.askHigh));
    FUZZ_CHECK(same(tick.askLow, expected.askLow));
    FUZZ_CHECK(tick.digits == expected.digits);
    FUZZ_CHECK(tick.digits >= 0 && tick.digits <= jsonreading::maxDigits);
    FUZZ_CHECK(same(tick.volume, expected.volume));
    FUZZ_CHECK(same(tick.minVol, expected.minVol));
    FUZZ_CHECK(same(tick.maxVol, expected.maxVol));
    FUZZ_CHECK(same(tick.stepVol, expected.stepVol));
    FUZZ_CHECK(same(tick.reserved1, 0.0) && tick.reserved2d.isEmpty());
    return 0;
}
