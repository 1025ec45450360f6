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
#include <initializer_list>
#include <limits>

namespace indicators_p {

// Bars readable from every input; a shorter input must not be read past its end.
inline int barCount(std::initializer_list<const QVector<double> *> inputs)
{
    int n = std::numeric_limits<int>::max();
    for (const QVector<double> *v : inputs)
        n = std::min(n, v->size());
    return n == std::numeric_limits<int>::max() ? 0 : n;
}

// Infinities come from zero divisors; a graph must show them as gaps.
inline double gapIfNotFinite(double v)
{
    return std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
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

// Grows an extending output to `points` points, keys copied from the bars
// from firstBar on; returns where its values are written.
inline double *extendTo(IndicatorSeries &series, const QVector<double> &keys, int firstBar, int points)
{
    // A copy of its own, into storage kept from an earlier run where it
    // suffices: keys shared with the bars would be copied whole the first time
    // either side grows, and fresh pages cost more than the copy.
    const int old = series.keys.size();
    const double *from = keys.constData() + firstBar;
    series.keys.resize(points);
    std::copy(from + old, from + points, series.keys.data() + old);
    series.values.resize(points);
    return series.values.data();
}

// As extendTo for the lines of one indicator, which hold the same keys.
inline void extendLinesTo(std::initializer_list<IndicatorSeries *> lines, const QVector<double> &keys, int firstBar,
                          int points)
{
    for (IndicatorSeries *line : lines)
        extendTo(*line, keys, firstBar, points);
}

// How a replacing output is brought up to `bars` bars. An output this
// calculation made with the same parameters over the same earlier bars is
// continued: points before `from` are kept, since only its last bar, then
// still forming, may have changed. Anything else is rebuilt from warm-up.
struct Replacing
{
    int from = 0;
    bool continued = false;
};

inline bool holdsEarlierBars(const IndicatorSeries &series, const QVector<double> &keys, int bars)
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

inline Replacing prepareReplacing(IndicatorSeries &series, const QVector<double> &keys, int bars,
                                  std::initializer_list<double> parameters, double warmUp = 0.0)
{
    Replacing r;
    r.continued = holdsEarlierBars(series, keys, bars) && sameParameters(series, parameters);
    if (r.continued) {
        r.from = series.keys.size() - 1;
        series.values.resize(bars);
        std::fill(series.values.begin() + r.from + 1, series.values.end(), warmUp);
    } else if (warmUp == 0.0) {
        // resize writes the zeros itself; fill would write them twice.
        series.values.resize(0);
        series.values.resize(bars);
    } else {
        series.values.fill(warmUp, bars);
    }
    series.keys = keys.mid(0, bars);
    series.resume = QVector<double>(parameters);
    return r;
}

// A replacing output rebuilt whole: every key, and the warm-up value everywhere to start with.
inline void resetReplacing(IndicatorSeries &series, const QVector<double> &keys, int bars, double warmUp = 0.0)
{
    series.keys = keys.mid(0, bars);
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

// K sums of the terms term(j) (an array of K values) over bars
// max(lowest, e - length + 1) .. e, for e stepping up one bar at a time; the
// terms in the window are kept, so each is computed once. At every multiple
// of length the sums are taken afresh in bar order: rounding cannot drift,
// and a run begun at any bar (an extension) gives the very sums of a run
// begun at bar 0. Nonzero terms are counted, so a window without any sums to
// exactly 0 rather than to leftover rounding.
template <int K, typename Term> class WindowSums
{
public:
    using Terms = std::array<double, K>;

    WindowSums(Term term, int length, int lowest)
        : m_term(term)
        , m_length(std::max(0, length))
        , m_lowest(lowest)
        , m_kept(m_length)
    {
    }

    void start(int e)
    {
        if (m_length < 1)
            return;
        const int anchor = e - e % m_length;
        restart(anchor, false);
        for (int t = anchor + 1; t <= e; ++t)
            step(t);
    }

    void step(int e)
    {
        if (m_length < 1)
            return;
        if (++m_slot == m_length) {
            restart(e, true);
            return;
        }
        const Terms in = e >= m_lowest ? m_term(e) : Terms{};
        Terms &kept = m_kept[m_slot];
        for (int k = 0; k < K; ++k) {
            m_sum[k] += in[k] - kept[k];
            m_nonZero[k] += int(in[k] != 0.0) - int(kept[k] != 0.0);
        }
        kept = in;
    }

    double sum(int k = 0) const { return m_nonZero[k] > 0 ? m_sum[k] : 0.0; }

private:
    // e is a multiple of length, so bar j sits in slot j mod length. Stepped
    // up to e, the slots hold the terms of every bar but e already.
    void restart(int e, bool stepped)
    {
        m_sum = Terms{};
        m_nonZero = {};
        for (int slot = 1; slot <= m_length; ++slot) {
            const int j = e - m_length + slot;
            const Terms v = stepped && slot < m_length ? m_kept[slot] : j >= m_lowest ? m_term(j) : Terms{};
            for (int k = 0; k < K; ++k) {
                m_sum[k] += v[k];
                m_nonZero[k] += int(v[k] != 0.0);
            }
            m_kept[slot == m_length ? 0 : slot] = v;
        }
        m_slot = 0;
    }

    Term m_term;
    int m_length;
    int m_lowest;
    QVarLengthArray<Terms, 32> m_kept;
    int m_slot = 0;
    Terms m_sum{};
    std::array<int, K> m_nonZero{};
};

template <int K, typename Term> WindowSums<K, Term> windowSums(Term term, int length, int lowest)
{
    return WindowSums<K, Term>(term, length, lowest);
}

// One sum of plain terms.
template <typename Term> auto windowSum(Term term, int length, int lowest)
{
    const auto wrapped = [term](int j) { return std::array<double, 1>{term(j)}; };
    return WindowSums<1, decltype(wrapped)>(wrapped, length, lowest);
}

// Four running sums instead of one: the additions no longer wait on each
// other. Only the order of summing changes.
template <typename Term> double sumOver(int from, int to, Term term)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int j = from;
    for (; j + 3 <= to; j += 4) {
        s0 += term(j);
        s1 += term(j + 1);
        s2 += term(j + 2);
        s3 += term(j + 3);
    }
    for (; j <= to; ++j)
        s0 += term(j);
    return (s0 + s1) + (s2 + s3);
}

} // namespace indicators_p
