#include "indicatorcore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

double appliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                    const QVector<double> &close, int i, int type)
{
    switch (type) {
    case PriceOpen:
        return open[i];
    case PriceHigh:
        return high[i];
    case PriceLow:
        return low[i];
    case PriceMedian:
        return (high[i] + low[i]) / 2.0;
    case PriceTypical:
        return (high[i] + low[i] + close[i]) / 3.0;
    case PriceWeighted:
        return (high[i] + low[i] + 2.0 * close[i]) / 4.0;
    default:
        return close[i];
    }
}

double smaOfAppliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                         const QVector<double> &close, int i, int n, int type)
{
    const int from = std::max(0, i - n + 1);
    if (from > i)
        return 0.0;
    double sum = 0.0;
    for (int j = from; j <= i; ++j)
        sum += appliedPrice(open, high, low, close, j, type);
    return sum / (i - from + 1);
}

double emaOfAppliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                         const QVector<double> &close, double prev, int i, int n, int type)
{
    if (i >= n) {
        const double a = 2.0 / (n + 1);
        return (1.0 - a) * prev + a * appliedPrice(open, high, low, close, i, type);
    }
    double sum = 0.0;
    for (int j = 0; j <= i; ++j)
        sum += appliedPrice(open, high, low, close, j, type);
    return sum / (i + 1);
}

double smoothedAverageAt(const QVector<double> &values, int n, int i, QVector<double> &state)
{
    if (n < 1 || i < n - 1)
        return 0.0;
    if (state.size() <= i)
        state.resize(i + 1);
    double result;
    if (i == n - 1) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j)
            sum += values[j];
        result = sum / n;
    } else {
        result = ((n - 1) * state[i - 1] + values[i]) / n;
    }
    state[i] = result;
    return result;
}

double windowMean(const QVector<double> &values, int i, int n)
{
    const int from = std::max(0, i - n + 1);
    if (from > i)
        return 0.0;
    double sum = 0.0;
    for (int j = from; j <= i; ++j)
        sum += values[j];
    return sum / (i - from + 1);
}

double windowStdDev(const QVector<double> &values, int i, int n, double mean)
{
    const int from = std::max(0, i - n + 1);
    if (from > i)
        return 0.0;
    double sum = 0.0;
    for (int j = from; j <= i; ++j) {
        const double d = values[j] - mean;
        sum += d * d;
    }
    return std::sqrt(sum / (i - from + 1));
}

double emaAt(const QVector<double> &values, int n, int i)
{
    double e = values[i];
    if (n <= 1)
        return e;
    const double a = 2.0 / (n + 1);
    // Near the first bar the walk stops at bar 0 instead of reading before it.
    const int oldest = std::max(0, i - n + 1);
    for (int k = i - 1; k >= oldest; --k)
        e += a * (values[k] - e);
    return e;
}

double rangeAverage(const QVector<double> &values, int n, int i)
{
    return windowMean(values, i, n);
}

QVector<double> makeSyntheticVolume(const QVector<double> &keys)
{
    return makeSyntheticVolume(keys.size());
}

QVector<double> makeSyntheticVolume(int count)
{
    QVector<double> volume(count);
    for (double &v : volume)
        v = std::rand() % 1000 + 100;
    return volume;
}
