#include "trendindicators.h"

#include "indicatoroutput_p.h"

#include <algorithm>
#include <cmath>

using namespace indicators_p;

void calcMovingAverage(IndicatorSeries &output, const QVector<double> &keys, const QVector<double> &open,
                       const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                       const QString &method, int priceType)
{
    Q_UNUSED(method) // only the simple average exists
    if (n < 1)
        return;
    // The forming bar gets no point.
    const int last = barCount({&keys, &open, &high, &low, &close}) - 2;
    reserveFor(output, last + 1);
    for (int i = nextBar(output, 0); i <= last; ++i)
        appendPoint(output, keys[i], smaOfAppliedPrice(open, high, low, close, i, n, priceType));
}

void calcBollinger(IndicatorLines &output, const QVector<double> &keys, const QVector<double> &close, int n, double k)
{
    if (n < 1)
        return;
    const int bars = barCount({&keys, &close});
    const QStringList names{QStringLiteral("ml"), QStringLiteral("tl"), QStringLiteral("bl")};
    int i = nextBar(output, names, 0);
    if (i >= bars)
        return;
    IndicatorSeries &middle = output[names[0]];
    IndicatorSeries &top = output[names[1]];
    IndicatorSeries &bottom = output[names[2]];
    for (IndicatorSeries *s : {&middle, &top, &bottom})
        reserveFor(*s, bars);
    for (; i < bars; ++i) {
        const double mean = windowMean(close, i, n);
        const double sd = windowStdDev(close, i, n, mean);
        appendPoint(middle, keys[i], mean);
        appendPoint(top, keys[i], mean + k * sd);
        appendPoint(bottom, keys[i], mean - k * sd);
    }
}

void calcEnvelopes(const QVector<double> &keys, const QVector<double> &close, IndicatorLines &output, int n,
                   double deviation)
{
    const int bars = barCount({&keys, &close});
    if (n < 1 || bars < n)
        return;
    IndicatorSeries &upper = output[QStringLiteral("upper")];
    IndicatorSeries &lower = output[QStringLiteral("lower")];
    resetReplacing(upper, keys, bars);
    resetReplacing(lower, keys, bars);
    for (int i = n - 1; i < bars; ++i) {
        const double mean = windowMean(close, i, n);
        setValue(upper, i, mean * (1.0 + deviation / 100.0));
        setValue(lower, i, mean * (1.0 - deviation / 100.0));
    }
}

void calcAlligator(const QVector<double> &keys, const QVector<double> &close, IndicatorLines &output)
{
    const int bars = barCount({&keys, &close});
    if (bars < 52)
        return;
    struct Line
    {
        QString name;
        int period;
        int shift;
    };
    const Line lines[]
        = {{QStringLiteral("jaws"), 13, 8}, {QStringLiteral("teeth"), 8, 5}, {QStringLiteral("lips"), 5, 3}};
    for (const Line &line : lines) {
        QVector<double> state(bars);
        QVector<double> average(bars);
        for (int i = 0; i < bars; ++i)
            average[i] = smoothedAverageAt(close, line.period, i, state);
        IndicatorSeries &series = output[line.name];
        resetReplacing(series, keys, bars);
        // Averages of the last bars would fall beyond the chart and are not drawn.
        for (int i = line.shift; i < bars; ++i)
            setValue(series, i, average[i - line.shift]);
    }
}

void calcParabolicSar(const QVector<double> &keys, const QVector<double> &high, const QVector<double> &low,
                      IndicatorSeries &output, double step, double maximum)
{
    const int bars = barCount({&keys, &high, &low});
    if (bars < 2)
        return;
    resetReplacing(output, keys, bars);
    double sar = low[0];
    double extreme = high[0];
    double factor = step;
    bool rising = true;
    for (int i = 1; i < bars; ++i) {
        const double candidate = sar + factor * (extreme - sar);
        double value;
        if (rising) {
            const double e = std::max(extreme, high[i]);
            if (high[i] > extreme)
                factor = std::min(maximum, factor + step);
            if (candidate > low[i]) {
                value = e;
                extreme = low[i];
                factor = step;
                rising = false;
            } else {
                value = candidate;
                extreme = e;
            }
        } else {
            const double e = std::min(extreme, low[i]);
            if (low[i] < extreme)
                factor = std::min(maximum, factor + step);
            if (high[i] > candidate) {
                value = e;
                extreme = high[i];
                factor = step;
                rising = true;
            } else {
                value = candidate;
                extreme = e;
            }
        }
        setValue(output, i, value);
        sar = value;
    }
}

void calcAdx(IndicatorLines &output, const QVector<double> &keys, const QVector<double> &open,
             const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n)
{
    const int bars = barCount({&keys, &open, &high, &low, &close});
    if (n < 1 || bars < n)
        return;
    const QStringList names{QStringLiteral("adx"), QStringLiteral("pdi"), QStringLiteral("mdi")};
    int i = nextBar(output, names, 0);
    if (i >= bars)
        return;
    IndicatorSeries &adxLine = output[names[0]];
    IndicatorSeries &pdiLine = output[names[1]];
    IndicatorSeries &mdiLine = output[names[2]];
    if (i == 0) {
        for (IndicatorSeries *s : {&adxLine, &pdiLine, &mdiLine}) {
            reserveFor(*s, bars);
            appendPoint(*s, keys[0], 0.0);
        }
        i = 1;
    }
    double adx = adxLine.values.last();
    double pdi = pdiLine.values.last();
    double mdi = mdiLine.values.last();
    for (; i < bars; ++i) {
        const double up = std::max(0.0, high[i] - high[i - 1]);
        const double down = std::max(0.0, low[i - 1] - low[i]);
        const double plusDm = up > down ? up : 0.0;
        const double minusDm = down > up ? down : 0.0;
        const double tr
            = std::max({std::abs(low[i] - close[i - 1]), std::abs(high[i] - close[i - 1]), std::abs(high[i] - low[i])});
        const double rawPlus = tr == 0.0 ? 0.0 : 100.0 * plusDm / tr;
        const double rawMinus = tr == 0.0 ? 0.0 : 100.0 * minusDm / tr;
        pdi = emaStep(n, pdi, rawPlus);
        mdi = emaStep(n, mdi, rawMinus);
        const double sum = pdi + mdi;
        const double dx = sum == 0.0 ? 0.0 : 100.0 * std::abs(pdi - mdi) / sum;
        adx = emaStep(n, adx, dx);
        appendPoint(adxLine, keys[i], adx);
        appendPoint(pdiLine, keys[i], pdi);
        appendPoint(mdiLine, keys[i], mdi);
    }
}

void calcMacd(IndicatorLines &output, const QVector<double> &keys, const QVector<double> &open,
              const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int fast, int slow,
              int signal, int priceType)
{
    if (fast < 1 || slow < 1 || signal < 1)
        return;
    // The forming bar gets no point.
    const int last = barCount({&keys, &open, &high, &low, &close}) - 2;
    const QStringList names{QStringLiteral("fastEMA"), QStringLiteral("slowEMA"), QStringLiteral("MACD"),
                            QStringLiteral("signal")};
    int i = nextBar(output, names, 0);
    if (i > last)
        return;
    IndicatorSeries &fastLine = output[names[0]];
    IndicatorSeries &slowLine = output[names[1]];
    IndicatorSeries &macdLine = output[names[2]];
    IndicatorSeries &signalLine = output[names[3]];
    double fastValue = fastLine.values.isEmpty() ? 0.0 : fastLine.values.last();
    double slowValue = slowLine.values.isEmpty() ? 0.0 : slowLine.values.last();
    double signalValue = signalLine.values.isEmpty() ? 0.0 : signalLine.values.last();
    for (IndicatorSeries *s : {&fastLine, &slowLine, &macdLine, &signalLine})
        reserveFor(*s, last + 1);
    const double a = 2.0 / (signal + 1);
    for (; i <= last; ++i) {
        fastValue = emaOfAppliedPrice(open, high, low, close, fastValue, i, fast, priceType);
        slowValue = emaOfAppliedPrice(open, high, low, close, slowValue, i, slow, priceType);
        const double macd = fastValue - slowValue;
        signalValue = a * macd + (1.0 - a) * signalValue;
        appendPoint(fastLine, keys[i], fastValue);
        appendPoint(slowLine, keys[i], slowValue);
        appendPoint(macdLine, keys[i], macd);
        appendPoint(signalLine, keys[i], signalValue);
    }
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

void calcIchimoku(IndicatorLines &output, const QVector<double> &keys, const QVector<double> &high,
                  const QVector<double> &low, const QVector<double> &close, int tenkanPeriod, int kijunPeriod,
                  int senkouSpanBPeriod)
{
    const int bars = barCount({&keys, &high, &low, &close});
    if (std::min({tenkanPeriod, kijunPeriod, senkouSpanBPeriod}) < 1
        || std::max({tenkanPeriod, kijunPeriod, senkouSpanBPeriod}) > bars)
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
