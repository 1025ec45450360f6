#include "oscillatorindicators.h"

#include "indicatoroutput_p.h"
#include "quotients.h"

#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

using namespace indicators_p;

void calcCommodityChannelIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                               const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                               int n, int priceType)
{
    if (n < 1)
        return;
    const int last = barCount(keys, {&open, &high, &low, &close}) - 2;
    const int first = nextBar(output, 0);
    if (first > last)
        return;
    double *values = extendTo(output, keys, 0, last + 1);
    withAppliedPrice(open, high, low, close, priceType, [&](auto price) {
        // The prices of a block of bars and of the n - 1 bars before it, each
        // computed once. Written a block ahead of their reading: a window read
        // in pairs right after its newest price was stored would wait for the store.
        constexpr int kBlock = 256;
        QVarLengthArray<double, 64 + kBlock> held(n - 1 + kBlock);
        std::fill(held.begin(), held.end(), 0.0); // places before bar 0 are copied along, never read
        int base = first - (n - 1);               // the bar in held[0]
        for (int j = std::max(0, base); j < first; ++j)
            held[j - base] = price(j);
        const double scale = 0.015 / n; // divided by n even while the window is shorter
        const double share = 1.0 / n;
        for (int from = first; from <= last; from += kBlock) {
            const int to = std::min(last, from + kBlock - 1);
            for (int j = from; j <= to; ++j)
                held[j - base] = price(j);
            for (int i = from; i <= to; ++i) {
                const int count = std::min(i + 1, n);
                const double *w = held.constData() + (i - count + 1 - base);
                const double p = w[count - 1];
                // The mean as its distance from the bar's own price: summed from
                // small distances it rounds far less than a sum of prices would,
                // in any order, and a window of one price is exactly 0 from it.
                const double offset =
                    sumOfLanes(w, count, [p](Lanes v) { return v - p; }) * (count == n ? share : 1.0 / count);
                const double dev =
                    sumOfLanes(w, count, [p, offset](Lanes v) { return absolute(v - p - offset); }) * scale;
                values[i] = dev == 0.0 ? 0.0 : -offset / dev;
            }
            // The last n - 1 prices open the next block.
            const int next = to + 1 - (n - 1);
            std::copy(held.constData() + (next - base), held.constData() + (to + 1 - base), held.data());
            base = next;
        }
    });
}

void calcMomentum(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                  const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                  int priceType)
{
    const int bars = barCount(keys, {&open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    const int last = bars - 2;
    const int first = nextBar(output, n);
    if (first > last)
        return;
    double *values = extendTo(output, keys, n, last - n + 1) - n;
    // A price read straight from a column: the quotients all at once.
    const QVector<double> *column = priceType == PriceOpen ? &open
        : priceType == PriceHigh                           ? &high
        : priceType == PriceLow                            ? &low
        : priceType < PriceOpen || priceType > PriceWeighted ? &close
                                                           : nullptr;
    if (column) {
        const double *p = column->constData();
        scaledQuotients(p + first, p + first - n, 100.0, values + first, last - first + 1);
        return;
    }
    withAppliedPrice(open, high, low, close, priceType, [&](auto price) {
        for (int i = first; i <= last; ++i)
            values[i] = gapIfNotFinite(price(i) * 100.0 / price(i - n));
    });
}

void calcRsi(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&close});
    if (n < 1 || bars < n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *c = close.constData();
    // The changes before the bar, not the one into it: n - 1 of them.
    using Terms = std::array<double, 2>;
    slidingSums<2, 0b11>(
        first - 1, bars - 2, n - 1, 1,
        [c](int j) {
            const double change = c[j] - c[j - 1];
            return Terms{atLeastZero(change), atLeastZero(-change)};
        },
        [values](int e, const Terms &sums) {
            const double gains = sums[0];
            const double losses = sums[1];
            // 100 - 100 / (gains / losses + 1), with one division instead of three.
            double value = 100.0 * gains / (gains + losses);
            if (losses == 0.0)
                value = gains > 0.0 ? 100.0 : 0.0; // only gains is overbought; a still window reads 0
            values[e + 1] = value;
        });
}

void calcStandardDeviation(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&close});
    if (n < 1 || bars < n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    // A window of one bar has no sample deviation: 0 / 0, a gap.
    const double share = 1.0 / (n - 1);
    slidingDeviation(close.constData(), first, bars - 1, n, [values, share](int i, double, double, double squares) {
        values[i] = std::sqrt(squares * share);
    });
}

void calcForceIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close,
                    const QVector<double> &volume, int n)
{
    const int bars = barCount(keys, {&close, &volume});
    if (n < 1 || bars < n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *c = close.constData();
    const double *v = volume.constData();
    for (int i = first; i < bars; ++i)
        values[i] = (c[i] - c[i - 1]) * v[i];
}

namespace {

// Index of the extreme of values[from .. to] by `better`; ties keep the newest.
template <typename Better> int extremeIndex(const double *values, int from, int to, Better better)
{
    int at = to;
    for (int j = to - 1; j >= from; --j) {
        if (better(values[j], values[at]))
            at = j;
    }
    return at;
}

} // namespace

void calcWilliamsPercentRange(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                              const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&high, &low, &close});
    if (n < 1 || bars < n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    const auto above = [](double a, double b) { return a > b; };
    const auto below = [](double a, double b) { return a < b; };
    // The extremes are carried along and searched again only when they leave the window.
    int highest = -1;
    int lowest = -1;
    for (int i = first; i < bars; ++i) {
        const int from = i - n + 1;
        if (highest < from)
            highest = extremeIndex(h, from, i, above);
        else if (h[i] >= h[highest])
            highest = i;
        if (lowest < from)
            lowest = extremeIndex(l, from, i, below);
        else if (l[i] <= l[lowest])
            lowest = i;
        values[i] = gapIfNotFinite(-100.0 * (h[highest] - c[i]) / (h[highest] - l[lowest]));
    }
}

void calcAverageTrueRange(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                          const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&high, &low, &close});
    if (n < 1 || bars <= n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    slidingSums<1, 0>(
        first, bars - 1, n, 1,
        [h, l, c](int j) {
            return std::array<double, 1>{std::max({h[j] - l[j], std::abs(h[j] - c[j - 1]), std::abs(l[j] - c[j - 1])})};
        },
        [values, share = 1.0 / n](int i, const std::array<double, 1> &sum) { values[i] = sum[0] * share; });
}

void calcDeMarker(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                  const QVector<double> &low, int n)
{
    const int bars = barCount(keys, {&high, &low});
    if (n < 1 || bars <= n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *h = high.constData();
    const double *l = low.constData();
    // Each bar adds to one side only; a move against its side counts as none,
    // so the value stays in 0 .. 1.
    using Terms = std::array<double, 2>;
    // Summed: both sides together (exactly 0 over a window without moves) and the up side.
    slidingSums<2, 0b01>(
        first, bars - 1, n, 1,
        [h, l](int j) {
            const double up = h[j] - h[j - 1];
            const double down = l[j - 1] - l[j];
            // The larger move is the bar's side; rises and falls come
            // unpredictably, so it is chosen without a branch.
            const double moved = atLeastZero(larger(up, down));
            return Terms{moved, ifGreater(up, down, moved)};
        },
        [values](int i, const Terms &sums) { values[i] = sums[0] == 0.0 ? 0.0 : sums[1] / sums[0]; });
}

void calcAccumulationDistribution(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                                  const QVector<double> &high, const QVector<double> &low, const QVector<double> &close)
{
    const int bars = barCount(keys, {&open, &high, &low, &close});
    if (bars < 2)
        return;
    const int first = nextBar(output, 1);
    if (first >= bars)
        return;
    double total = first == 1 ? 0.0 : output.values.at(first - 2);
    double *values = extendTo(output, keys, 1, bars - 1) - 1;
    // The volume of a bar is its key.
    const double *listedKeys = keys.listed();
    const double firstKey = keys.first();
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    for (int i = first; i < bars; ++i) {
        const double range = h[i] - l[i];
        if (range != 0.0)
            total += ((c[i] - l[i]) - (h[i] - c[i])) / range * (listedKeys ? listedKeys[i] : firstKey + i);
        else
            total = 0.0;
        values[i] = total;
    }
}

void calcOnBalanceVolume(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close,
                         const QVector<double> &high)
{
    const int bars = barCount(keys, {&close, &high});
    if (bars < 2)
        return;
    const int first = nextBar(output, 1);
    if (first >= bars)
        return;
    double total = first == 1 ? 0.0 : output.values.at(first - 2);
    double *values = extendTo(output, keys, 1, bars - 1) - 1;
    const double *h = high.constData();
    const double *c = close.constData();
    for (int i = first; i < bars; ++i) {
        if (c[i] > c[i - 1])
            total += h[i];
        else if (c[i] < c[i - 1])
            total -= h[i];
        values[i] = total;
    }
}

void calcPower(const IndicatorKeys &keys, const QVector<double> &price, const QVector<double> &close,
               IndicatorSeries &output, int n)
{
    const int bars = barCount(keys, {&price, &close});
    if (n < 1 || bars < n)
        return;
    const Replacing r = prepareReplacing(output, keys, bars, {double(n)});
    // emaAt's backward walk over a full window, unrolled: it starts at the
    // newest close and each older close m bars back pulls it by a (1 - a)^(n - 1 - m)
    // of its distance from the newest. Summed as distances, a flat window
    // stays exactly at its close, as the walk does.
    const double a = 2.0 / (n + 1);
    // Each weight in both lanes, ready for two bars at once.
    QVarLengthArray<Lanes, 32> weights(n);
    double keep = 1.0;
    for (int m = n - 1; m >= 1; --m) {
        weights[m] = Lanes{a * keep, a * keep};
        keep *= 1.0 - a;
    }
    const Lanes *w = weights.constData();
    const double *p = price.constData();
    const double *c = close.constData();
    double *values = output.values.data();
    warmUp(values, r.from, n - 1);
    // Two bars side by side, one in each lane; a lone last bar takes the same
    // steps in a scalar, so a bar's value does not depend on its neighbour.
    const auto power = [n](auto newest, auto older, auto weight, auto pricePoint) {
        decltype(newest) even = newest - newest, odd = even;
        int m = 1;
        for (; m + 1 <= n - 1; m += 2) {
            even += weight(m) * (older(m) - newest);
            odd += weight(m + 1) * (older(m + 1) - newest);
        }
        if (m <= n - 1)
            even += weight(m) * (older(m) - newest);
        return pricePoint - (newest + (even + odd));
    };
    int i = std::max(n - 1, r.from);
    for (; i + 1 < bars; i += 2) {
        const Lanes v = power(
            lanesAt(c + i), [c, i](int m) { return lanesAt(c + i - m); }, [w](int m) { return w[m]; }, lanesAt(p + i));
        std::memcpy(values + i, &v, sizeof v);
    }
    if (i < bars)
        values[i] = power(
            c[i], [c, i](int m) { return c[i - m]; }, [w](int m) { return w[m][0]; }, p[i]);
}

void calcMoneyFlowIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                        const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&high, &low, &close});
    if (n < 1 || bars <= n)
        return;
    const int first = nextBar(output, n);
    if (first >= bars)
        return;
    double *values = extendTo(output, keys, n, bars - n) - n;
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    const auto typical = [h, l, c](int j) { return (h[j] + l[j] + c[j]) / 3.0; };
    using Terms = std::array<double, 2>;
    // Bars come in order, so the typical price of the bar before is mostly at hand.
    slidingSums<2, 0b11>(
        first, bars - 1, n, 1,
        [typical, c, heldBar = -1, held = 0.0](int j) mutable {
            const double before = heldBar == j - 1 ? held : typical(j - 1);
            const double now = typical(j);
            heldBar = j;
            held = now;
            // Rises and falls come unpredictably: the side is chosen by a factor, not a branch.
            const double flow = now * c[j];
            return Terms{double(now > before) * flow, double(now < before) * flow};
        },
        [values](int i, const Terms &flows) {
            const double positive = flows[0];
            const double negative = flows[1];
            // 100 - 100 / (positive / negative + 1), with one division instead of two.
            double value = 100.0 * positive / (positive + negative);
            if (negative == 0.0)
                value = 100.0;
            values[i] = value;
        });
}

void calcRelativeVigorIndex(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
                            const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                            int n)
{
    const int bars = barCount(keys, {&open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    IndicatorSeries &plain = output[QStringLiteral("rvi1")];
    IndicatorSeries &weighted = output[QStringLiteral("rvi2")];
    const Replacing p = prepareReplacing(plain, keys, bars, {double(n)});
    const Replacing w = prepareReplacing(weighted, keys, bars, {double(n)});
    const int from = p.continued && w.continued ? std::min(p.from, w.from) : 0;
    const double *o = open.constData();
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    const auto body = [o, c](int j) { return c[j] - o[j]; };
    const auto range = [h, l](int j) { return h[j] - l[j]; };
    double *plainOut = plain.values.data();
    double *weightedOut = weighted.values.data();
    warmUp(plainOut, from, n - 1);
    warmUp(weightedOut, from, n - 1);
    // The newest bar and the one n / 2 back weigh twice: the plain sums plus those bars once more.
    const int middle = n / 2;
    using Terms = std::array<double, 2>;
    slidingSums<2, 0b10>(
        std::max(n - 1, from), bars - 1, n, 0,
        [body, range](int j) {
            return Terms{body(j), range(j)};
        },
        [&](int i, const Terms &sums) {
            const double extraBody = body(i) + (middle > 0 ? body(i - middle) : 0.0);
            const double extraRange = range(i) + (middle > 0 ? range(i - middle) : 0.0);
            plainOut[i] = gapIfNotFinite(sums[0] / sums[1]);
            weightedOut[i] = gapIfNotFinite((sums[0] + extraBody) / (sums[1] + extraRange));
        });
}

void calcStochastic(const IndicatorKeys &keys, const QVector<double> &high, const QVector<double> &low,
                    const QVector<double> &close, IndicatorLines &output, int kPeriod, int dPeriod)
{
    const int bars = barCount(keys, {&high, &low, &close});
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
