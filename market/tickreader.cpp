#include "tickreader.h"

#include "jsonreadings.h"

#include <limits>
#include <simdjson.h>
#include <string>
#include <string_view>

namespace {

using namespace simdjson;

enum class Field {
    ResCode,
    Symbol,
    Timestamp,
    ServerTime,
    Bid,
    Ask,
    Volume,
    TmMs,
    Digits,
    MinVol,
    MaxVol,
    StepVol,
    BidHigh,
    BidLow,
    AskHigh,
    AskLow,
    Unknown
};

Field fieldOf(std::string_view key)
{
    static constexpr std::pair<std::string_view, Field> names[] = {
        {"res_code", Field::ResCode},       {"symbol", Field::Symbol},  {"timestamp", Field::Timestamp},
        {"server_time", Field::ServerTime}, {"bid", Field::Bid},        {"ask", Field::Ask},
        {"volume", Field::Volume},          {"tm_ms", Field::TmMs},     {"digits", Field::Digits},
        {"min_vol", Field::MinVol},         {"max_vol", Field::MaxVol}, {"step_vol", Field::StepVol},
        {"bid_high", Field::BidHigh},       {"bid_low", Field::BidLow}, {"ask_high", Field::AskHigh},
        {"ask_low", Field::AskLow},
    };
    for (const auto &name : names) {
        if (name.first == key)
            return name.second;
    }
    return Field::Unknown;
}

bool readInteger(ondemand::value &value, qint64 &out)
{
    int64_t n = 0;
    if (value.get_int64().get(n))
        return false;
    out = n;
    return true;
}

// Any JSON number, as the general reader turns it into a double. A zero read
// from a fraction or exponent might be an underflow that reader refuses.
bool readDouble(ondemand::value &value, double &out)
{
    ondemand::number_type type;
    if (value.get_number_type().get(type))
        return false;
    if (type == ondemand::number_type::signed_integer) {
        int64_t n = 0;
        if (value.get_int64().get(n))
            return false;
        out = double(n);
        return true;
    }
    if (type == ondemand::number_type::unsigned_integer) {
        uint64_t n = 0;
        if (value.get_uint64().get(n))
            return false;
        out = double(n);
        return true;
    }
    double d = 0.0;
    if (value.get_double().get(d) || d == 0.0)
        return false;
    out = d;
    return true;
}

bool readVolume(ondemand::value &value, double &out)
{
    qint64 n = 0;
    if (!readInteger(value, n) || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return false;
    out = int(n) / 10000.0;
    return true;
}

// The reply's text as UTF-8, with the room past its end that the parser reads into.
std::string_view paddedUtf8(const QString &text, std::string &buffer)
{
    const int length = text.size();
    const QChar *chars = text.constData();
    buffer.resize(size_t(length));
    for (int i = 0; i < length; ++i) {
        const ushort c = chars[i].unicode();
        if (c >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            buffer.assign(utf8.constData(), size_t(utf8.size()));
            break;
        }
        buffer[size_t(i)] = char(c);
    }
    const size_t size = buffer.size();
    buffer.reserve(size + SIMDJSON_PADDING);
    return std::string_view(buffer.data(), size);
}

} // namespace

bool tickreader::read(const QString &text, TickData &tick)
{
    thread_local ondemand::parser parser;
    thread_local std::string buffer;
    const std::string_view json = paddedUtf8(text, buffer);
    ondemand::document document;
    if (parser.iterate(json.data(), json.size(), buffer.capacity()).get(document))
        return false;
    ondemand::object object;
    if (document.get_object().get(object))
        return false;
    tick = TickData();
    quint32 seen = 0;
    bool isTick = false;
    const char *after = nullptr; // where the last value's token ends
    for (auto field : object) {
        if (field.error())
            return false;
        std::string_view key;
        if (field.unescaped_key().get(key))
            return false;
        const Field which = fieldOf(key);
        // Unknown and repeated keys are left to the general reader's rules.
        if (which == Field::Unknown || (seen & (1u << int(which))))
            return false;
        seen |= 1u << int(which);
        ondemand::value value;
        if (field.value().get(value))
            return false;
        const std::string_view token = value.raw_json_token();
        after = token.data() + token.size();
        bool ok = false;
        switch (which) {
        case Field::ResCode: {
            qint64 code = 0;
            ok = readInteger(value, code) && code == 2;
            isTick = ok;
            break;
        }
        case Field::Symbol: {
            std::string_view symbol;
            ok = !value.get_string().get(symbol);
            if (ok)
                tick.symbol = QString::fromUtf8(symbol.data(), int(symbol.size()));
            break;
        }
        case Field::Timestamp:
            ok = readInteger(value, tick.timestamp);
            break;
        case Field::ServerTime:
            ok = readInteger(value, tick.serverTime);
            break;
        case Field::TmMs:
            ok = readInteger(value, tick.tmMs);
            break;
        case Field::Digits: {
            qint64 digits = 0;
            ok = readInteger(value, digits) && digits == jsonreading::boundedDigits(digits);
            tick.digits = int(digits);
            break;
        }
        case Field::Bid:
            ok = readDouble(value, tick.bid);
            break;
        case Field::Ask:
            ok = readDouble(value, tick.ask);
            break;
        case Field::BidHigh:
            ok = readDouble(value, tick.bidHigh);
            break;
        case Field::BidLow:
            ok = readDouble(value, tick.bidLow);
            break;
        case Field::AskHigh:
            ok = readDouble(value, tick.askHigh);
            break;
        case Field::AskLow:
            ok = readDouble(value, tick.askLow);
            break;
        case Field::Volume:
            ok = readVolume(value, tick.volume);
            break;
        case Field::MinVol:
            ok = readVolume(value, tick.minVol);
            break;
        case Field::MaxVol:
            ok = readVolume(value, tick.maxVol);
            break;
        case Field::StepVol:
            ok = readVolume(value, tick.stepVol);
            break;
        case Field::Unknown:
            break;
        }
        if (!ok)
            return false;
    }
    if (!isTick || !after)
        return false;
    // The object must close right after its last value and nothing may follow,
    // as the general reader requires.
    const char *end = json.data() + json.size();
    const auto skipSpace = [end](const char *p) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
        return p;
    };
    const char *p = skipSpace(after);
    return p < end && *p == '}' && skipSpace(p + 1) == end;
}
