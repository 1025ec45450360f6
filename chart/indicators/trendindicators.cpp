#include "trendindicators.h"

#include "indicatoroutput_p.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace indicators_p;

void calcMovingAverage(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                       const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                       const QString &method, int priceType)
{
    Q_UNUSED(method) // only the simple average exists
    if (n < 1)
        return;
    // The forming bar gets no point.
    const int last = barCount(keys, {&open, &high, &low, &close}) - 2;
    const int first = nextBar(output, 0);
    if (first > last)
        return;
    double *values = extendTo(output, keys, 0, last + 1);
    withAppliedPrice(open, high, low, close, priceType, [&](auto price) {
        slidingSums<1, 0>(
            first, last, n, 0, [&price](int j) { return std::array<double, 1>{price(j)}; },
            [values, n, share = 1.0 / n](int i, const std::array<double, 1> &sum) {
                values[i] = i < n ? sum[0] / (i + 1) : sum[0] * share;
            });
    });
}

void calcBollinger(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &close, int n, double k)
{
    if (n < 1)
        return;
    const int bars = barCount(keys, {&close});
    const QStringList names{QStringLiteral("ml"), QStringLiteral("tl"), QStringLiteral("bl")};
    const int first = nextBar(output, names, 0);
    if (first >= bars)
        return;
    IndicatorSeries &middle = output[names[0]];
    IndicatorSeries &top = output[names[1]];
    IndicatorSeries &bottom = output[names[2]];
    extendLinesTo({&middle, &top, &bottom}, keys, 0, bars);
    double *ml = middle.values.data();
    double *tl = top.values.data();
    double *bl = bottom.values.data();
    slidingDeviation(close.constData(), first, bars - 1, n,
                     [ml, tl, bl, k](int i, double share, double mean, double squares) {
                         const double sd = std::sqrt(squares * share);
                         ml[i] = mean;
                         tl[i] = mean + k * sd;
                         bl[i] = mean - k * sd;
                     });
}

void calcEnvelopes(const IndicatorKeys &keys, const QVector<double> &close, IndicatorLines &output, int n,
                   double deviation)
{
    const int bars = barCount(keys, {&close});
    if (n < 1 || bars < n)
        return;
    IndicatorSeries &upper = output[QStringLiteral("upper")];
    IndicatorSeries &lower = output[QStringLiteral("lower")];
    const Replacing r = prepareReplacing(upper, keys, bars, {double(n), deviation});
    const Replacing l = prepareReplacing(lower, keys, bars, {double(n), deviation});
    const int from = r.continued && l.continued ? std::min(r.from, l.from) : 0;
    double *up = upper.values.data();
    double *down = lower.values.data();
    warmUp(up, from, n - 1);
    warmUp(down, from, n - 1);
    const double above = (1.0 + deviation / 100.0) / n;
    const double below = (1.0 - deviation / 100.0) / n;
    const double *c = close.constData();
    slidingSums<1, 0>(
        std::max(n - 1, from), bars - 1, n, 0, [c](int j) { return std::array<double, 1>{c[j]}; },
        [up, down, above, below](int i, const std::array<double, 1> &sum) {
            up[i] = sum[0] * above;
            down[i] = sum[0] * below;
        });
}

void calcAlligator(const IndicatorKeys &keys, const QVector<double> &close, IndicatorLines &output)
{
    const int bars = barCount(keys, {&close});
    if (bars < 52)
        return;
    struct Line
    {
        QString name;
        int period;
        int shift;
        double *values = nullptr;
        int next = 0; // the bar whose average comes next
        double average = 0.0;
    };
    Line lines[] = {{QStringLiteral("jaws"), 13, 8}, {QStringLiteral("teeth"), 8, 5}, {QStringLiteral("lips"), 5, 3}};
    const double *c = close.constData();
    int first = bars;
    for (Line &line : lines) {
        IndicatorSeries &series = output[line.name];
        const int p = line.period;
        const Replacing r = prepareReplacing(series, keys, bars, {double(p), double(line.shift)});
        line.values = series.values.data();
        // A line lags its average by the shift, so the point of the bar that
        // was forming holds an average of settled bars to continue from.
        const int seed = p - 1;
        if (r.continued && r.from - line.shift >= seed) {
            line.next = r.from - line.shift + 1;
            line.average = line.values[r.from];
        } else {
            double sum = 0.0;
            for (int b = 0; b < p; ++b)
                sum += c[b];
            line.average = sum / p;
            warmUp(line.values, 0, seed + line.shift);
            line.values[seed + line.shift] = line.average;
            line.next = seed + 1;
        }
        first = std::min(first, line.next);
    }
    // The three averages advance side by side: each waits on its own division
    // from bar to bar, and so they overlap. Averages of the last bars would
    // fall beyond the chart and are not drawn.
    for (int j = first; j < bars; ++j) {
        for (Line &line : lines) {
            if (j < line.next || j + line.shift >= bars)
                continue;
            line.average = ((line.period - 1) * line.average + c[j]) / line.period;
            line.values[j + line.shift] = line.average;
        }
    }
}

namespace {

struct SarState
{
    double sar;
    double extreme;
    double factor;
    bool rising;
};

using Mask = long long __attribute__((vector_size(16)));

inline Lanes pick(Mask mask, Lanes a, Lanes b)
{
    return Lanes((mask & Mask(a)) | (~mask & Mask(b)));
}

// The parabolic SAR of bars from .. to, without a branch: reversals come
// unpredictably. A falling run is worked as a rising one of negated prices
// (sign bits flipped), so both take the same steps; both lanes do the same.
// A function of its own, so its values all stay in registers.
Q_NEVER_INLINE SarState sarSteps(const double *h, const double *l, double *values, int from, int to, SarState s,
                                 double step, double maximum)
{
    const Mask signBit = Mask(Lanes{-0.0, -0.0});
    const Lanes steps = {step, step};
    const Lanes maximums = {maximum, maximum};
    Lanes sar = {s.sar, s.sar};
    Lanes extreme = {s.extreme, s.extreme};
    Lanes factor = {s.factor, s.factor};
    Mask rising = {s.rising ? -1 : 0, s.rising ? -1 : 0};
    for (int i = from; i <= to; ++i) {
        const Lanes hi = {h[i], h[i]};
        const Lanes lo = {l[i], l[i]};
        const Lanes favourable = pick(rising, hi, lo);
        const Lanes adverse = pick(rising, lo, hi);
        const Mask flip = ~rising & signBit;
        const Lanes candidate = sar + factor * (extreme - sar);
        const Mask grows = Mask(Lanes(Mask(favourable) ^ flip) > Lanes(Mask(extreme) ^ flip));
        const Lanes e = pick(grows, favourable, extreme);
        const Lanes stepped = factor + steps;
        const Lanes grown = pick(grows, pick(Mask(stepped < maximums), stepped, maximums), factor);
        const Mask reverse = Mask(Lanes(Mask(candidate) ^ flip) > Lanes(Mask(adverse) ^ flip));
        sar = pick(reverse, e, candidate);
        extreme = pick(reverse, adverse, e);
        factor = pick(reverse, steps, grown);
        rising ^= reverse;
        values[i] = sar[0];
    }
    return {sar[0], extreme[0], factor[0], rising[0] != 0};
}

} // namespace

void calcParabolicSar(const IndicatorKeys &keys, const QVector<double> &high, const QVector<double> &low,
                      IndicatorSeries &output, double step, double maximum)
{
    const int bars = barCount(keys, {&high, &low});
    if (bars < 2)
        return;
    // The running state after the bar before the last one: bar, sar, extreme, factor, rising.
    const QVector<double> held = output.resume;
    const Replacing r = prepareReplacing(output, keys, bars, {step, maximum});
    int i = 1;
    double sar = low[0];
    double extreme = high[0];
    double factor = step;
    bool rising = true;
    if (r.continued && held.size() == 7 && held[2] >= 0.0 && held[2] <= r.from) {
        const int bar = int(held[2]);
        const double kept = output.values.at(bar);
        const double expected = bar == 0 ? 0.0 : held[3];
        if (kept == expected || (std::isnan(kept) && std::isnan(expected))) {
            i = bar + 1;
            sar = held[3];
            extreme = held[4];
            factor = held[5];
            rising = held[6] != 0.0;
        }
    }
    double *values = output.values.data();
    if (i == 1)
        values[0] = 0.0;
    const auto keep = [&](int bar) {
        output.resume = {step, maximum, double(bar), sar, extreme, factor, rising ? 1.0 : 0.0};
    };
    if (i == 1)
        keep(0);
    else
        output.resume = held;
    const SarState last =
        sarSteps(high.constData(), low.constData(), values, i, bars - 2, {sar, extreme, factor, rising}, step, maximum);
    if (i <= bars - 2) {
        sar = last.sar;
        extreme = last.extreme;
        factor = last.factor;
        rising = last.rising;
        keep(bars - 2);
    }
    sarSteps(high.constData(), low.constData(), values, std::max(i, bars - 1), bars - 1, last, step, maximum);
}

void calcAdx(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
             const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount(keys, {&open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    const QStringList names{QStringLiteral("adx"), QStringLiteral("pdi"), QStringLiteral("mdi")};
    int i = nextBar(output, names, 0);
    if (i >= bars)
        return;
    IndicatorSeries &adxLine = output[names[0]];
    IndicatorSeries &pdiLine = output[names[1]];
    IndicatorSeries &mdiLine = output[names[2]];
    extendLinesTo({&adxLine, &pdiLine, &mdiLine}, keys, 0, bars);
    double *adxOut = adxLine.values.data();
    double *pdiOut = pdiLine.values.data();
    double *mdiOut = mdiLine.values.data();
    if (i == 0) {
        adxOut[0] = pdiOut[0] = mdiOut[0] = 0.0;
        i = 1;
    }
    double adx = adxOut[i - 1];
    double pdi = pdiOut[i - 1];
    double mdi = mdiOut[i - 1];
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    for (; i < bars; ++i) {
        const double up = std::max(0.0, h[i] - h[i - 1]);
        const double down = std::max(0.0, l[i - 1] - l[i]);
        const double plusDm = up > down ? up : 0.0;
        const double minusDm = down > up ? down : 0.0;
        const double tr = std::max({std::abs(l[i] - c[i - 1]), std::abs(h[i] - c[i - 1]), std::abs(h[i] - l[i])});
        const double rawPlus = tr == 0.0 ? 0.0 : 100.0 * plusDm / tr;
        const double rawMinus = tr == 0.0 ? 0.0 : 100.0 * minusDm / tr;
        pdi = emaStep(n, pdi, rawPlus);
        mdi = emaStep(n, mdi, rawMinus);
        const double sum = pdi + mdi;
        const double dx = sum == 0.0 ? 0.0 : 100.0 * std::abs(pdi - mdi) / sum;
        adx = emaStep(n, adx, dx);
        adxOut[i] = adx;
        pdiOut[i] = pdi;
        mdiOut[i] = mdi;
    }
}

namespace {

// The MACD's averages once past their seeds, in a function of its own: inside
// calcMacd the compiler runs out of registers and keeps an average in memory,
// and each bar then waits on it.
template <typename Price>
Q_NEVER_INLINE void macdSteps(Price price, int from, int last, std::array<double, 6> weights,
                              std::array<double, 3> averages, std::array<double *, 4> out)
{
    const auto [aFast, keepFast, aSlow, keepSlow, aSignal, keepSignal] = weights;
    auto [fast, slow, signal] = averages;
    for (int i = from; i <= last; ++i) {
        const double p = price(i);
        fast = keepFast * fast + aFast * p;
        slow = keepSlow * slow + aSlow * p;
        const double macd = fast - slow;
        signal = aSignal * macd + keepSignal * signal;
        out[0][i] = fast;
        out[1][i] = slow;
        out[2][i] = macd;
        out[3][i] = signal;
    }
}

} // namespace

void calcMacd(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
              const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int fast, int slow,
              int signal, int priceType)
{
    if (fast < 1 || slow < 1 || signal < 1)
        return;
    // The forming bar gets no point.
    const int last = barCount(keys, {&open, &high, &low, &close}) - 2;
    const QStringList names{QStringLiteral("fastEMA"), QStringLiteral("slowEMA"), QStringLiteral("MACD"),
                            QStringLiteral("signal")};
    const int first = nextBar(output, names, 0);
    if (first > last)
        return;
    IndicatorSeries &fastLine = output[names[0]];
    IndicatorSeries &slowLine = output[names[1]];
    IndicatorSeries &macdLine = output[names[2]];
    IndicatorSeries &signalLine = output[names[3]];
    double fastValue = first == 0 ? 0.0 : fastLine.values.at(first - 1);
    double slowValue = first == 0 ? 0.0 : slowLine.values.at(first - 1);
    double signalValue = first == 0 ? 0.0 : signalLine.values.at(first - 1);
    extendLinesTo({&fastLine, &slowLine, &macdLine, &signalLine}, keys, 0, last + 1);
    double *fastOut = fastLine.values.data();
    double *slowOut = slowLine.values.data();
    double *macdOut = macdLine.values.data();
    double *signalOut = signalLine.values.data();
    const double a = 2.0 / (signal + 1);
    withAppliedPrice(open, high, low, close, priceType, [&](auto price) {
        const double aFast = 2.0 / (fast + 1);
        const double aSlow = 2.0 / (slow + 1);
        const double keepFast = 1.0 - aFast, keepSlow = 1.0 - aSlow, keepSignal = 1.0 - a;
        // emaOfAppliedPrice, its seed mean summed in the same order, while
        // either average is still seeded by a mean...
        const auto ema = [&price](double prev, int i, int n, double an, double keep) {
            if (i >= n)
                return keep * prev + an * price(i);
            double sum = 0.0;
            for (int j = 0; j <= i; ++j)
                sum += price(j);
            return sum / (i + 1);
        };
        const int steady = std::min(last + 1, std::max({first, fast, slow}));
        for (int i = first; i < steady; ++i) {
            fastValue = ema(fastValue, i, fast, aFast, keepFast);
            slowValue = ema(slowValue, i, slow, aSlow, keepSlow);
            const double macd = fastValue - slowValue;
            signalValue = a * macd + keepSignal * signalValue;
            fastOut[i] = fastValue;
            slowOut[i] = slowValue;
            macdOut[i] = macd;
            signalOut[i] = signalValue;
        }
        // ...and its very steps after.
        macdSteps(price, steady, last, {aFast, keepFast, aSlow, keepSlow, a, keepSignal},
                  {fastValue, slowValue, signalValue}, {fastOut, slowOut, macdOut, signalOut});
    });
}

namespace {

// Midpoint of the highest high and lowest low of the p bars ending at i.
double midRange(const QVector<double> &high, const QVector<double> &low, int i, int p)
{
    double highest = high[i];
    double lowest = low[i];
    for (int j = i - p + 1; j < i; ++j) {
        highest = std::max(highest, high[j]);
        lowest = std::min(lowest, low[j]);
    }
    return (highest + lowest) / 2.0;
}

} // namespace

void calcIchimoku(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &high,
                  const QVector<double> &low, const QVector<double> &close, int tenkanPeriod, int kijunPeriod,
                  int senkouSpanBPeriod)
{
    const int bars = barCount(keys, {&high, &low, &close});
    if (std::min({tenkanPeriod, kijunPeriod, senkouSpanBPeriod}) < 1 ||
        std::max({tenkanPeriod, kijunPeriod, senkouSpanBPeriod}) > bars)
        return;
    const double gap = std::numeric_limits<double>::quiet_NaN();
    IndicatorSeries &tenkan = output[QStringLiteral("tenkan_sen")];
    IndicatorSeries &kijun = output[QStringLiteral("kijun_sen")];
    IndicatorSeries &spanA = output[QStringLiteral("senkou_span_a")];
    IndicatorSeries &spanB = output[QStringLiteral("senkou_span_b")];
    IndicatorSeries &chikou = output[QStringLiteral("chikou_span")];
    for (IndicatorSeries *s : {&tenkan, &kijun, &spanA, &spanB, &chikou})
        resetReplacing(*s, keys, bars, gap);
    for (int i = 0; i < bars; ++i) {
        if (i >= tenkanPeriod - 1)
            setValue(tenkan, i, midRange(high, low, i, tenkanPeriod));
        if (i >= kijunPeriod - 1)
            setValue(kijun, i, midRange(high, low, i, kijunPeriod));
        if (i >= kijunPeriod - 1 && i < bars - kijunPeriod && !std::isnan(tenkan.values[i]))
            setValue(spanA, i, (tenkan.values[i] + kijun.values[i]) / 2.0);
        if (i >= senkouSpanBPeriod - 1)
            setValue(spanB, i, midRange(high, low, i, senkouSpanBPeriod));
        if (i >= kijunPeriod)
            setValue(chikou, i, close[i - kijunPeriod]);
    }
}
