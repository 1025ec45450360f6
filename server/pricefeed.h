// Simulated quotes: a random walk per instrument with a spread around it, and bar
// history for every chart period that ends at the walk's current price and follows
// it from then on.
#pragma once

#include "instruments.h"

#include <QHash>
#include <QMap>
#include <QVector>
#include <random>

namespace tradeserver {

struct SimTick
{
    QString symbol;
    qint64 timeMs = 0;
    double bid = 0.0;
    double ask = 0.0;
    double bidHigh = 0.0;
    double bidLow = 0.0;
    double askHigh = 0.0;
    double askLow = 0.0;
};

struct Bar
{
    qint64 time = 0;
    double open = 0.0;
    double high = 0.0;
    double low = 0.0;
    double close = 0.0;
};

class PriceFeed
{
public:
    static constexpr int historyBars = 2500;         // generated per symbol and period
    static constexpr int maxReplyBars = 5000;        // per chart reply
    static constexpr qint64 earliestBar = 631152000; // 1990-01-01: no bars before

    PriceFeed(const QVector<Instrument> &instruments, quint64 seed, qint64 nowMs);
    PriceFeed(const PriceFeed &) = delete; // holds pointers into its own instruments
    PriceFeed &operator=(const PriceFeed &) = delete;

    // Moves some symbols' prices (a few ticks per second per symbol on average when
    // called every 100 ms) and returns their ticks.
    QVector<SimTick> advance(qint64 nowMs);
    SimTick lastTick(const QString &symbol) const { return m_state.value(symbol).tick; }

    static bool isPeriod(int minutes);
    // Start of the bar that holds `seconds`: epoch-aligned buckets, calendar months
    // (UTC) for the monthly period.
    static qint64 barTime(qint64 seconds, int period);

    // Bars with from <= time and (to < 0 or time <= to), oldest first; empty for an
    // unknown symbol or period. The history of a symbol and period is made on its
    // first request and kept for the run.
    QVector<Bar> history(const QString &symbol, int period, qint64 from, qint64 to);

private:
    struct State
    {
        const Instrument *instrument = nullptr;
        double mid = 0.0;
        SimTick tick;
        qint64 day = 0;
        QMap<int, QVector<Bar>> bars;
    };

    double roundPrice(double value, int digits) const;
    void makeTick(State &state, qint64 nowMs);
    void generate(State &state, int period);
    void follow(QVector<Bar> &bars, int period, qint64 seconds, double price) const;

    QVector<Instrument> m_instruments;
    QHash<QString, State> m_state;
    quint64 m_seed;
    std::mt19937_64 m_random;
};

} // namespace tradeserver
