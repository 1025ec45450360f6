// Types and averaging helpers shared by every indicator calculation.
//
// A bar series is passed as parallel vectors (keys, open, high, low, close),
// oldest bar first; the key of bar i is its position on the chart's time axis.
#pragma once

#include "indicatorkeys.h"

#include <QMap>
#include <QString>
#include <QVector>

// One drawable line: point m sits at keys[m] with values[m]; the keys are the
// bars' own, so a plot may take keys.first() + m for a chart's bar indexes.
struct IndicatorSeries
{
    IndicatorKeys keys;
    QVector<double> values;
    // Where an output that is rebuilt whole per bar left off (its parameters
    // first), so a new bar continues it instead of starting over. Not drawn.
    QVector<double> resume{};
};

// The lines of a multi-line indicator, by line name.
using IndicatorLines = QMap<QString, IndicatorSeries>;

// Codes of the price read per bar; any other code reads the close.
enum PriceType : int {
    PriceClose = 0,
    PriceOpen = 1,
    PriceHigh = 2,
    PriceLow = 3,
    PriceMedian = 4,   // (high + low) / 2
    PriceTypical = 5,  // (high + low + close) / 3
    PriceWeighted = 6, // (high + low + 2 * close) / 4
};

double appliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                    const QVector<double> &close, int i, int type);

// Mean of the applied price over the n bars ending at i; shorter near bar 0.
double smaOfAppliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                         const QVector<double> &close, int i, int n, int type);

// Exponential average seeded at bar n - 1 with the simple mean of the first n
// prices; before that, the mean of bars 0 .. i. prev is the value of bar i - 1.
double emaOfAppliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                         const QVector<double> &close, double prev, int i, int n, int type);

// Wilder's smoothed average; keeps its result in state[i] for the next bar.
double smoothedAverageAt(const QVector<double> &values, int n, int i, QVector<double> &state);

double windowMean(const QVector<double> &values, int i, int n);
// Population deviation over the same window as windowMean.
double windowStdDev(const QVector<double> &values, int i, int n, double mean);

// One step of an exponential average with a = 2 / (n + 1); 0 for n < 1.
// Inline: the ADX takes three steps a bar.
inline double emaStep(int n, double prev, double value)
{
    if (n < 1)
        return 0.0;
    const double a = 2.0 / (n + 1);
    return (1.0 - a) * prev + a * value;
}

// Exponential average walked from bar i back over n - 1 older bars.
double emaAt(const QVector<double> &values, int n, int i);

// Plain mean of the n values ending at i.
double rangeAverage(const QVector<double> &values, int n, int i);

// Stand-in volume, one whole number in 100 .. 1099 per key.
QVector<double> makeSyntheticVolume(const QVector<double> &keys);
QVector<double> makeSyntheticVolume(int count);
