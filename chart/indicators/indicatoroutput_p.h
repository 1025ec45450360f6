// Output bookkeeping shared by the calculations: how many bars they may read,
// where an extending output continues, how a replacing one is rebuilt or
// continued, and the window sums that keep per-bar work constant.
#pragma once

#include "indicatorcore.h"

#include <QStringList>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace indicators_p {

// Bars readable from every input; a shorter input must not be read past its end.
inline int barCount(std::initializer_list<const QVector<double> *> inputs)
{
    int n = std::numeric_limits<int>::max();
    for (const QVector<double> *v : inputs)
        n = std::min(n, v->size());
    return n == std::numeric_limits<int>::max() ? 0 : n;
}

inline int barCount(const IndicatorKeys &keys, std::initializer_list<const QVector<double> *> inputs)
{
    return std::min(keys.size(), barCount(inputs));
}

// Infinities come from zero divisors; a graph must show them as gaps.
inline double gapIfNotFinite(double v)
{
    return std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

// max(x, 0), without a branch: the compiler branches on a plain comparison,
// and up and down moves come unpredictably. A NaN gives 0, as x > 0 ? x : 0 does.
inline double atLeastZero(double x)
{
#ifdef __SSE2__
    return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(x), _mm_setzero_pd()));
#else
    return x > 0.0 ? x : 0.0;
#endif
}

// max(a, b) without a branch, for moves that come unpredictably.
inline double larger(double a, double b)
{
#ifdef __SSE2__
    return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(a), _mm_set_sd(b)));
#else
    return a > b ? a : b;
#endif
}

// a > b ? v : 0 without a branch.
inline double ifGreater(double a, double b, double v)
{
#ifdef __SSE2__
    return _mm_cvtsd_f64(_mm_and_pd(_mm_cmpgt_sd(_mm_set_sd(a), _mm_set_sd(b)), _mm_set_sd(v)));
#else
    return a > b ? v : 0.0;
#endif
}

// The bar an extending output continues from, given the bar of its first point.
inline int nextBar(IndicatorSeries &series, int firstBar)
{
    if (series.keys.size() != series.values.size()) {
        const int size = std::min(series.keys.size(), series.values.size());
        series.keys.resize(size);
        series.values.resize(size);
    }
    return firstBar + series.keys.size();
}

// As nextBar, counting on the first line; lines that have drifted apart are
// rebuilt together, since each continues from the others' last values.
inline int nextBar(IndicatorLines &lines, const QStringList &names, int firstBar)
{
    const int count = lines.value(names.first()).keys.size();
    for (const QString &name : names) {
        const auto it = lines.constFind(name);
        const int size = it == lines.constEnd() ? 0 : it->keys.size();
        if (size != count || (it != lines.constEnd() && it->values.size() != count)) {
            for (const QString &each : names)
                lines[each] = IndicatorSeries();
            return firstBar;
        }
    }
    return firstBar + count;
}

// Sizes values to `size`, keeping the first ones up to the old size; the
// positions after those are left for the caller to write, every one of them.
// Zeroing them first would stream the whole line through memory twice, so an
// output rebuilt from (nearly) empty takes fresh storage nothing has written.
inline double *growValues(QVector<double> &values, int size)
{
    const int kept = std::min(values.size(), size);
    if (size - kept <= kept) {
        values.resize(size);
        return values.data();
    }
    // Nothing to keep: the old storage goes first, so the allocator can hand
    // its pages, already mapped and likely cached, straight back.
    if (kept == 0)
        values = QVector<double>();
    // Room for a day of new bars before the line is copied again.
    constexpr int kRoom = 1024;
    QTypedArrayData<double> *d = QTypedArrayData<double>::allocate(size_t(size) + kRoom);
    if (!d)
        qBadAlloc();
    d->size = size;
    std::copy(values.constBegin(), values.constBegin() + kept, d->begin());
    values = QVector<double>(QArrayDataPointerRef<double>{d});
    return values.data();
}

// Grows an extending output to `points` points, keys from the bars from
// firstBar on; returns where its values are written, from the old size on.
inline double *extendTo(IndicatorSeries &series, const IndicatorKeys &keys, int firstBar, int points)
{
    series.keys.extend(keys, firstBar, points);
    return growValues(series.values, points);
}

// As extendTo for the lines of one indicator, which hold the same keys.
inline void extendLinesTo(std::initializer_list<IndicatorSeries *> lines, const IndicatorKeys &keys, int firstBar,
                          int points)
{
    for (IndicatorSeries *line : lines)
        extendTo(*line, keys, firstBar, points);
}

// How a replacing output is brought up to `bars` bars. An output this
// calculation made with the same parameters over the same earlier bars is
// continued: points before `from` are kept, since only its last bar, then
// still forming, may have changed. Anything else is rebuilt: from = 0. The
// caller writes every point from `from` on, warm-up included.
struct Replacing
{
    int from = 0;
    bool continued = false;
};

inline bool holdsEarlierBars(const IndicatorSeries &series, const IndicatorKeys &keys, int bars)
{
    const int held = series.keys.size();
    return held > 0 && held <= bars && series.values.size() == held && series.keys.first() == keys.first() &&
           series.keys.last() == keys[held - 1];
}

inline bool sameParameters(const IndicatorSeries &series, std::initializer_list<double> parameters)
{
    if (series.resume.size() < int(parameters.size()))
        return false;
    return std::equal(parameters.begin(), parameters.end(), series.resume.cbegin());
}

inline Replacing prepareReplacing(IndicatorSeries &series, const IndicatorKeys &keys, int bars,
                                  std::initializer_list<double> parameters)
{
    Replacing r;
    r.continued = holdsEarlierBars(series, keys, bars) && sameParameters(series, parameters);
    if (r.continued) {
        r.from = series.keys.size() - 1;
    } else {
        series.keys.clear();
        series.values.resize(0);
    }
    extendTo(series, keys, 0, bars);
    series.resume = QVector<double>(parameters);
    return r;
}

// Writes the warm-up value over positions from .. until - 1 (none when until <= from).
inline void warmUp(double *values, int from, int until, double value = 0.0)
{
    if (until > from)
        std::fill(values + from, values + until, value);
}

// A replacing output rebuilt whole: every key, and the warm-up value everywhere to start with.
inline void resetReplacing(IndicatorSeries &series, const IndicatorKeys &keys, int bars, double warmUp = 0.0)
{
    series.keys.clear();
    series.keys.extend(keys, 0, bars);
    series.values.fill(warmUp, bars);
    series.resume.clear();
}

inline void setValue(IndicatorSeries &series, int i, double value)
{
    series.values[i] = gapIfNotFinite(value);
}

// Runs f with a reader of the applied price of a bar, the price type chosen
// once rather than per bar. Each formula is appliedPrice's own.
template <typename F>
void withAppliedPrice(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                      const QVector<double> &close, int type, F &&f)
{
    const double *o = open.constData();
    const double *h = high.constData();
    const double *l = low.constData();
    const double *c = close.constData();
    switch (type) {
    case PriceOpen:
        f([o](int i) { return o[i]; });
        break;
    case PriceHigh:
        f([h](int i) { return h[i]; });
        break;
    case PriceLow:
        f([l](int i) { return l[i]; });
        break;
    case PriceMedian:
        f([h, l](int i) { return (h[i] + l[i]) / 2.0; });
        break;
    case PriceTypical:
        f([h, l, c](int i) { return (h[i] + l[i] + c[i]) / 3.0; });
        break;
    case PriceWeighted:
        f([h, l, c](int i) { return (h[i] + l[i] + 2.0 * c[i]) / 4.0; });
        break;
    default:
        f([c](int i) { return c[i]; });
        break;
    }
}

// Bars between exact re-summings of a running window sum: what the additions
// and subtractions between two of them leave behind stays near 1e-14 of the sums.
constexpr int kResumEvery = 256;

// Calls emit(i, sums) for i = first .. last in order, where sums[k] is the sum
// of term(j)[k] over the bars j of max(lowest, i - length + 1) .. i. The sums
// run, a bar's terms added as it enters the window and taken off as it
// leaves, and are taken afresh in bar order at every multiple of the
// re-summing interval: rounding cannot drift, and a run begun at any bar (an
// extension) gives the very sums of a run begun at bar 0. For the sums picked
// by the bits of Exact, a window whose terms are all 0 sums to exactly 0, not
// to leftover rounding. Terms are asked for in bar order, each once, so a term
// may carry state from the bar before.
template <int K, unsigned Exact, typename Term, typename Emit>
void slidingSums(int first, int last, int length, int lowest, Term term, Emit emit)
{
    using Terms = std::array<double, K>;
    if (first > last)
        return;
    if (length < 1) {
        for (int i = first; i <= last; ++i)
            emit(i, Terms{});
        return;
    }
    const int every = std::max(kResumEvery, length);
    // The window's terms, oldest at `slot`.
    QVarLengthArray<Terms, 64> kept(length);
    Terms sum{};
    // Bars in a row, up to the newest, whose term is 0; counted without a
    // branch, as terms come and go unpredictably.
    std::array<int, K> zeros{};
    int slot = 0;
    const auto resum = [&] {
        sum = Terms{};
        for (int s = slot; s < length; ++s)
            for (int k = 0; k < K; ++k)
                sum[k] += kept[s][k];
        for (int s = 0; s < slot; ++s)
            for (int k = 0; k < K; ++k)
                sum[k] += kept[s][k];
    };
    const int anchor = first - first % every;
    for (int s = 0; s < length; ++s) {
        const int j = anchor - length + 1 + s;
        kept[s] = j >= lowest ? term(j) : Terms{};
        for (int k = 0; k < K; ++k) {
            if (Exact & (1u << k))
                zeros[k] = (zeros[k] + 1) & -int(kept[s][k] == 0.0);
        }
    }
    resum();
    const auto sums = [&] {
        Terms held;
        for (int k = 0; k < K; ++k)
            held[k] = !(Exact & (1u << k)) || zeros[k] < length ? sum[k] : 0.0;
        return held;
    };
    if (first == anchor)
        emit(anchor, sums());
    const auto step = [&](int i) {
        const Terms in = term(i);
        Terms &out = kept[slot];
        for (int k = 0; k < K; ++k) {
            sum[k] += in[k] - out[k];
            if (Exact & (1u << k))
                zeros[k] = (zeros[k] + 1) & -int(in[k] == 0.0);
        }
        out = in;
        if (++slot == length)
            slot = 0;
    };
    // Plain steps between re-summings, kept free of other checks; the bars
    // before `first` only fill the window. lowest <= 1 <= anchor + 1, so no
    // step reaches below it.
    int resumAt = anchor + every;
    for (int i = anchor + 1; i <= last;) {
        const int plain = std::min(last, resumAt - 1);
        for (; i <= plain && i < first; ++i)
            step(i);
        for (; i <= plain; ++i) {
            step(i);
            emit(i, sums());
        }
        if (i <= last) {
            step(i);
            resum();
            resumAt += every;
            if (i >= first)
                emit(i, sums());
            ++i;
        }
    }
}

// Calls emit(i, 1 / count, mean, squares) for i = first .. last: over the
// closes of bars max(0, i - length + 1) .. i, one over their count, their mean and the sum of
// their squared distances from it. The running sums are of distances from the
// close at the last re-summing, so the squares are not lost to cancelling
// between two large sums; a window of one price has squares of exactly 0.
// Re-summed as slidingSums are, with the same guarantees.
template <typename Emit> void slidingDeviation(const double *c, int first, int last, int length, Emit emit)
{
    if (first > last || length < 1)
        return;
    const int every = std::max(kResumEvery, length);
    double shift = 0.0, s1 = 0.0, s2 = 0.0;
    const auto resum = [&](int i) {
        shift = c[i];
        s1 = s2 = 0.0;
        for (int j = std::max(0, i - length + 1); j <= i; ++j) {
            const double d = c[j] - shift;
            s1 += d;
            s2 += d * d;
        }
    };
    // Multiplied by the share of one bar: a division a bar would cost more than the rest.
    const double fullShare = 1.0 / length;
    const auto emitAt = [&](int i, int changed) {
        const int from = std::max(0, i - length + 1);
        const int count = i - from + 1;
        const double share = count < length ? 1.0 / count : fullShare;
        const double squares = changed <= from ? 0.0 : std::max(0.0, s2 - s1 * s1 * share);
        emit(i, share, shift + s1 * share, squares);
    };
    const int anchor = first - first % every;
    // The last bar whose close differs from the one before; at or before the
    // window's first bar, the window holds one price.
    int changed = anchor - length + 1;
    for (int j = anchor; j > std::max(0, anchor - length + 1); --j) {
        if (c[j] != c[j - 1]) {
            changed = j;
            break;
        }
    }
    resum(anchor);
    if (first == anchor)
        emitAt(anchor, changed);
    int untilResum = every;
    for (int i = anchor + 1; i <= last; ++i) {
        changed = c[i] != c[i - 1] ? i : changed;
        if (--untilResum == 0) {
            resum(i);
            untilResum = every;
        } else {
            const double d = c[i] - shift;
            const double o = i >= length ? c[i - length] - shift : 0.0;
            s1 += d - o;
            s2 += d * d - o * o;
        }
        if (i >= first)
            emitAt(i, changed);
    }
}

// Sums of f over two values at a time, for short windows read whole every
// bar: f takes and gives a pair of lanes (a GCC/Clang vector of two doubles).
using Lanes = double __attribute__((vector_size(16)));

inline Lanes lanesAt(const double *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Lanes absolute(Lanes v)
{
    using Bits = long long __attribute__((vector_size(16)));
    const Bits magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    return Lanes(Bits(v) & magnitude);
}

template <typename F> double sumOfLanes(const double *w, int count, F f)
{
    Lanes a = {0.0, 0.0}, b = {0.0, 0.0};
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        a += f(lanesAt(w + k));
        b += f(lanesAt(w + k + 2));
    }
    if (k + 2 <= count) {
        a += f(lanesAt(w + k));
        k += 2;
    }
    if (k < count) {
        const Lanes last = {w[k], 0.0};
        const Lanes term = f(last);
        b[0] += term[0];
    }
    a += b;
    return a[0] + a[1];
}

} // namespace indicators_p
