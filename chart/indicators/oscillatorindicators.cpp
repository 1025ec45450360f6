#include "oscillatorindicators.h"

#include "indicatoroutput_p.h"

#include <algorithm>
#include <cmath>

using namespace indicators_p;

void calcCommodityChannelIndex(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &open,
                               const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                               int n, int priceType)
{
    if (n < 1)
        return;
    const int last = barCount({&keys, &open, &high, &low, &close}) - 2;
    reserveFor(output, last + 1);
    for (int i = nextBar(output, 0); i <= last; ++i) {
        const double mean = smaOfAppliedPrice(open, high, low, close, i, n, priceType);
        double sum = 0.0;
        for (int j = std::max(0, i - n + 1); j <= i; ++j)
            sum += std::abs(appliedPrice(open, high, low, close, j, priceType) - mean);
        // Divided by n even while the window is shorter.
        const double dev = sum * 0.015 / n;
        const double price = appliedPrice(open, high, low, close, i, priceType);
        appendPoint(output, keys[i], dev == 0.0 ? 0.0 : (price - mean) / dev);
    }
}

void calcMomentum(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &open,
                  const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                  int priceType)
{
    const int bars = barCount({&keys, &open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    const int last = bars - 2;
    for (int i = nextBar(output, n); i <= last; ++i) {
        const double price = appliedPrice(open, high, low, close, i, priceType);
        const double earlier = appliedPrice(open, high, low, close, i - n, priceType);
        appendPoint(output, keys[i], price * 100.0 / earlier);
    }
}

void calcRsi(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &close});
    if (n < 1 || bars < n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double gains = 0.0;
        double losses = 0.0;
        for (int k = 1; k <= n - 1; ++k) {
            const double change = close[i - k] - close[i - k - 1];
            if (change > 0.0)
                gains += change;
            else if (change < 0.0)
                losses -= change;
        }
        double value;
        if (losses != 0.0)
            value = 100.0 - 100.0 / ((gains / n) / (losses / n) + 1.0);
        else
            value = gains > 0.0 ? 100.0 : 50.0; // only gains is overbought; no movement is neutral
        appendPoint(output, keys[i], value);
    }
}

void calcStandardDeviation(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &close});
    if (n < 1 || bars < n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double sum = 0.0;
        for (int j = i - n + 1; j <= i; ++j)
            sum += close[j];
        const double mean = sum / n;
        double squares = 0.0;
        for (int j = i - n + 1; j <= i; ++j)
            squares += (close[j] - mean) * (close[j] - mean);
        appendPoint(output, keys[i], std::sqrt(squares / (n - 1)));
    }
}

void calcForceIndex(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &close,
                    const QVector<double> &volume, int n)
{
    const int bars = barCount({&keys, &close, &volume});
    if (n < 1 || bars < n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i)
        appendPoint(output, keys[i], (close[i] - close[i - 1]) * volume[i]);
}

void calcWilliamsPercentRange(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &high,
                              const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double highest = high[i];
        double lowest = low[i];
        for (int j = i - n + 1; j < i; ++j) {
            highest = std::max(highest, high[j]);
            lowest = std::min(lowest, low[j]);
        }
        appendPoint(output, keys[i], -100.0 * (highest - close[i]) / (highest - lowest));
    }
}

void calcAverageTrueRange(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &high,
                          const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &high, &low, &close});
    if (n < 1 || bars <= n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double sum = 0.0;
        for (int j = i - n + 1; j <= i; ++j)
            sum += std::max({high[j] - low[j], std::abs(high[j] - close[j - 1]), std::abs(low[j] - close[j - 1])});
        appendPoint(output, keys[i], sum / n);
    }
}

void calcDeMarker(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &high,
                  const QVector<double> &low, int n)
{
    const int bars = barCount({&keys, &high, &low});
    if (n < 1 || bars <= n)
        return;
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double sumUp = 0.0;
        double sumDown = 0.0;
        for (int j = i - n + 1; j <= i; ++j) {
            const double up = high[j] - high[j - 1];
            const double down = low[j - 1] - low[j];
            // A move against its side counts as none, so the value stays in 0 .. 1.
            if (up > down)
                sumUp += std::max(0.0, up);
            else
                sumDown += std::max(0.0, down);
        }
        const double sum = sumUp + sumDown;
        appendPoint(output, keys[i], sum == 0.0 ? 0.0 : sumUp / sum);
    }
}

void calcAccumulationDistribution(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &open,
                                  const QVector<double> &high, const QVector<double> &low, const QVector<double> &close)
{
    const int bars = barCount({&keys, &open, &high, &low, &close});
    if (bars < 2)
        return;
    int i = nextBar(output, 1);
    double total = output.values.isEmpty() ? 0.0 : output.values.last();
    reserveFor(output, bars - 1);
    for (; i < bars; ++i) {
        const double range = high[i] - low[i];
        if (range != 0.0)
            total += ((close[i] - low[i]) - (high[i] - close[i])) / range * keys[i];
        else
            total = 0.0;
        appendPoint(output, keys[i], total);
    }
}

void calcOnBalanceVolume(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &close,
                         const QVector<double> &high)
{
    const int bars = barCount({&keys, &close, &high});
    if (bars < 2)
        return;
    int i = nextBar(output, 1);
    double total = output.values.isEmpty() ? 0.0 : output.values.last();
    reserveFor(output, bars - 1);
    for (; i < bars; ++i) {
        if (close[i] > close[i - 1])
            total += high[i];
        else if (close[i] < close[i - 1])
            total -= high[i];
        appendPoint(output, keys[i], total);
    }
}

void calcPower(const QVector<double> &keys, const QVector<double> &price, const QVector<double> &close,
               IndicatorSeries &output, int n)
{
    const int bars = barCount({&keys, &price, &close});
    if (n < 1 || bars < n)
        return;
    resetReplacing(output, keys, bars);
    for (int i = n - 1; i < bars; ++i)
        setValue(output, i, price[i] - emaAt(close, n, i));
}

void calcMoneyFlowIndex(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &high,
                        const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &high, &low, &close});
    if (n < 1 || bars <= n)
        return;
    const auto typical = [&](int j) { return (high[j] + low[j] + close[j]) / 3.0; };
    reserveFor(output, bars - n);
    for (int i = nextBar(output, n); i < bars; ++i) {
        double positive = 0.0;
        double negative = 0.0;
        for (int j = i - n + 1; j <= i; ++j) {
            const double now = typical(j);
            const double before = typical(j - 1);
            if (now > before)
                positive += now * close[j];
            else if (now < before)
                negative += now * close[j];
        }
        double value;
        if (negative != 0.0)
            value = 100.0 - 100.0 / (positive / negative + 1.0);
        else
            value = positive > 0.0 ? 100.0 : 50.0; // no flow either way is neutral
        appendPoint(output, keys[i], value);
    }
}

void calcRelativeVigorIndex(IndicatorLines &output, const QVector<double> &keys, const QVector<double> &open,
                            const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                            int n)
{
    const int bars = barCount({&keys, &open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    IndicatorSeries &plain = output[QStringLiteral("rvi1")];
    IndicatorSeries &weighted = output[QStringLiteral("rvi2")];
    resetReplacing(plain, keys, bars);
    resetReplacing(weighted, keys, bars);
    for (int i = n - 1; i < bars; ++i) {
        double body = 0.0;
        double range = 0.0;
        double weightedBody = 0.0;
        double weightedRange = 0.0;
        for (int j = 0; j < n; ++j) {
            const int b = i - j;
            const double w = (j == 0 || j == n / 2) ? 2.0 : 1.0;
            body += close[b] - open[b];
            range += high[b] - low[b];
            weightedBody += w * (close[b] - open[b]);
            weightedRange += w * (high[b] - low[b]);
        }
        setValue(plain, i, body / range);
        setValue(weighted, i, weightedBody / weightedRange);
    }
}

void calcStochastic(const QVector<double> &keys, const QVector<double> &high, const QVector<double> &low,
                    const QVector<double> &close, IndicatorLines &output, int kPeriod, int dPeriod)
{
    const int bars = barCount({&keys, &high, &low, &close});
    if (kPeriod < 1 || dPeriod < 1 || bars < kPeriod)
        return;
    IndicatorSeries &k = output[QStringLiteral("stock1")];
    IndicatorSeries &d = output[QStringLiteral("stock2")];
    resetReplacing(k, keys, bars);
    resetReplacing(d, keys, bars);
    for (int i = kPeriod - 1; i < bars; ++i) {
        double highest = high[i];
        double lowest = low[i];
        for (int j = i - kPeriod + 1; j < i; ++j) {
            highest = std::max(highest, high[j]);
            lowest = std::min(lowest, low[j]);
        }
        setValue(k, i, 100.0 * (close[i] - lowest) / (highest - lowest));
    }
    for (int i = kPeriod + dPeriod - 2; i < bars; ++i)
        setValue(d, i, rangeAverage(k.values, dPeriod, i));
}
