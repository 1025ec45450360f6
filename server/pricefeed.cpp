#include "pricefeed.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace tradeserver {

namespace {

constexpr int periods[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 40000};
constexpr double ticksPerSecond = 3.0;
constexpr int monthlyPeriod = 40000;

double point(int digits)
{
    return std::pow(10.0, -digits);
}

} // namespace

PriceFeed::PriceFeed(const QVector<Instrument> &instruments, quint64 seed, qint64 nowMs)
    : m_instruments(instruments)
    , m_seed(seed)
    , m_random(seed)
{
    for (const Instrument &instrument : std::as_const(m_instruments)) {
        State state;
        state.mid = instrument.startPrice;
        state.day = nowMs / 86400000;
        m_state.insert(instrument.symbol, state);
    }
    // Pointers are taken once the hash no longer grows.
    for (const Instrument &instrument : std::as_const(m_instruments)) {
        State &state = m_state[instrument.symbol];
        state.instrument = &instrument;
        makeTick(state, nowMs);
        state.tick.bidHigh = state.tick.bidLow = state.tick.bid;
        state.tick.askHigh = state.tick.askLow = state.tick.ask;
    }
}

bool PriceFeed::isPeriod(int minutes)
{
    return std::find(std::begin(periods), std::end(periods), minutes) != std::end(periods);
}

qint64 PriceFeed::barTime(qint64 seconds, int period)
{
    if (period >= monthlyPeriod) {
        const QDate date = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).date();
        return QDateTime(QDate(date.year(), date.month(), 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    }
    const qint64 length = qint64(period) * 60;
    qint64 start = seconds - seconds % length;
    if (seconds < 0 && seconds % length != 0)
        start -= length;
    return start;
}

double PriceFeed::roundPrice(double value, int digits) const
{
    const double scale = std::pow(10.0, digits);
    return std::round(value * scale) / scale;
}

void PriceFeed::makeTick(State &state, qint64 nowMs)
{
    const Instrument &spec = *state.instrument;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double spread = std::max(1.0, spec.spreadPoints * (0.8 + 0.4 * unit(m_random))) * point(spec.digits);
    SimTick &tick = state.tick;
    tick.symbol = spec.symbol;
    tick.timeMs = nowMs;
    tick.bid = roundPrice(state.mid - spread / 2.0, spec.digits);
    tick.ask = std::max(roundPrice(tick.bid + spread, spec.digits), tick.bid + point(spec.digits));
    tick.ask = roundPrice(tick.ask, spec.digits);
    const qint64 day = nowMs / 86400000;
    if (day != state.day) {
        state.day = day;
        tick.bidHigh = tick.bidLow = tick.bid;
        tick.askHigh = tick.askLow = tick.ask;
    }
    tick.bidHigh = std::max(tick.bidHigh, tick.bid);
    tick.bidLow = tick.bidLow > 0.0 ? std::min(tick.bidLow, tick.bid) : tick.bid;
    tick.askHigh = std::max(tick.askHigh, tick.ask);
    tick.askLow = tick.askLow > 0.0 ? std::min(tick.askLow, tick.ask) : tick.ask;
}

QVector<SimTick> PriceFeed::advance(qint64 nowMs)
{
    QVector<SimTick> ticks;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (const Instrument &spec : std::as_const(m_instruments)) {
        State &state = m_state[spec.symbol];
        const qint64 elapsed = std::clamp<qint64>(nowMs - state.tick.timeMs, 0, 60000);
        if (unit(m_random) >= std::min(1.0, ticksPerSecond * elapsed / 1000.0))
            continue;
        // Per-minute variance spread over the ticks of a minute, pulled gently back
        // towards the start price so a long run stays plausible.
        const double step = spec.minuteVolatility / std::sqrt(60.0 * ticksPerSecond) * normal(m_random);
        const double pull = -0.001 * std::log(state.mid / spec.startPrice);
        state.mid = std::clamp(state.mid * std::exp(step + pull), spec.startPrice * 0.5, spec.startPrice * 2.0);
        makeTick(state, nowMs);
        for (auto it = state.bars.begin(); it != state.bars.end(); ++it)
            follow(it.value(), it.key(), nowMs / 1000, state.tick.bid);
        ticks.append(state.tick);
    }
    return ticks;
}

void PriceFeed::follow(QVector<Bar> &bars, int period, qint64 seconds, double price) const
{
    const qint64 time = barTime(seconds, period);
    if (bars.isEmpty() || time < bars.last().time)
        return;
    if (time == bars.last().time) {
        Bar &bar = bars.last();
        bar.high = std::max(bar.high, price);
        bar.low = std::min(bar.low, price);
        bar.close = price;
        return;
    }
    bars.append({time, price, price, price, price});
    if (bars.size() > historyBars * 2)
        bars.remove(0, bars.size() - historyBars);
}

void PriceFeed::generate(State &state, int period)
{
    const Instrument &spec = *state.instrument;
    // Its own generator per symbol and period: the bars do not depend on the order
    // of requests or on how many ticks ran before.
    std::mt19937_64 random(m_seed ^ qHash(spec.symbol) ^ (quint64(period) << 32));
    std::normal_distribution<double> normal(0.0, 1.0);
    const double sigma = spec.minuteVolatility * std::sqrt(double(period >= monthlyPeriod ? 43200 : period));
    QVector<Bar> bars;
    bars.reserve(historyBars);
    qint64 time = barTime(state.tick.timeMs / 1000, period);
    double price = state.tick.bid;
    for (int i = 0; i < historyBars && time >= earliestBar; ++i) {
        double step = sigma * normal(random);
        const double next = price * std::exp(step);
        if (next < spec.startPrice * 0.4 || next > spec.startPrice * 2.5)
            step = -step;
        const double open = price * std::exp(step);
        const double wick = std::abs(normal(random)) * sigma * 0.3;
        Bar bar;
        bar.time = time;
        bar.close = roundPrice(price, spec.digits);
        bar.open = roundPrice(open, spec.digits);
        bar.high = roundPrice(std::max(open, price) * std::exp(wick), spec.digits);
        bar.low = roundPrice(std::min(open, price) * std::exp(-wick), spec.digits);
        bars.append(bar);
        price = open;
        time = period >= monthlyPeriod ? barTime(time - 1, period) : time - qint64(period) * 60;
    }
    std::reverse(bars.begin(), bars.end());
    state.bars.insert(period, bars);
}

QVector<Bar> PriceFeed::history(const QString &symbol, int period, qint64 from, qint64 to)
{
    auto it = m_state.find(symbol);
    if (it == m_state.end() || !isPeriod(period))
        return {};
    if (!it->bars.contains(period))
        generate(*it, period);
    const QVector<Bar> &bars = it->bars[period];
    auto first =
        std::lower_bound(bars.begin(), bars.end(), from, [](const Bar &bar, qint64 t) { return bar.time < t; });
    auto last = to < 0 ? bars.end()
                       : std::upper_bound(first, bars.end(), to, [](qint64 t, const Bar &bar) { return t < bar.time; });
    if (last - first > maxReplyBars)
        first = last - maxReplyBars;
    return QVector<Bar>(first, last);
}

} // namespace tradeserver
