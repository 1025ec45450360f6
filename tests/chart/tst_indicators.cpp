// Hand-computed values of every indicator, and how each treats the output it
// is given: extending outputs grow only by new bars, replacing ones are rebuilt
// with their warm-up, and too few bars leave them alone.
#include "indicators.h"
#include "testmain.h"

#include <QPointF>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

const double gap = std::numeric_limits<double>::quiet_NaN();

struct Bars
{
    QVector<double> keys, open, high, low, close;
    int size() const { return close.size(); }
    Bars first(int n) const { return {keys.mid(0, n), open.mid(0, n), high.mid(0, n), low.mid(0, n), close.mid(0, n)}; }
};

using Points = QVector<QPointF>; // (key, expected value)

QVector<double> indices(int n)
{
    QVector<double> keys(n);
    std::iota(keys.begin(), keys.end(), 0.0);
    return keys;
}

Bars ohlc(const QVector<double> &o, const QVector<double> &h, const QVector<double> &l, const QVector<double> &c)
{
    return {indices(c.size()), o, h, l, c};
}
Bars closes(const QVector<double> &c)
{
    return ohlc(c, c, c, c);
}
Bars hlc(const QVector<double> &h, const QVector<double> &l, const QVector<double> &c)
{
    return ohlc(c, h, l, c);
}

// A deterministic wandering market with every bar's low below its high.
Bars walk(int n)
{
    Bars b{indices(n), {}, {}, {}, {}};
    double price = 100.0;
    for (int i = 0; i < n; ++i) {
        const double open = price;
        price += std::sin(i * 0.7) * 2.0 + std::cos(i * 0.13) * 0.5;
        b.open << open;
        b.close << price;
        b.high << std::max(open, price) + 0.5 + (i % 3) * 0.25;
        b.low << std::min(open, price) - 0.5 - (i % 4) * 0.25;
    }
    return b;
}

// One call's inputs; parameters a row leaves out take the chart's values.
struct In : Bars
{
    IndicatorLines &out;
    IndicatorSeries &s; // single-line indicators keep their line under the empty name
    QVector<double> p;
    double at(int i, double chart) const { return i < p.size() ? p[i] : chart; }
    int n(int chart) const { return int(at(0, chart)); }
    QVector<double> volume() const
    {
        QVector<double> v(size());
        for (int i = 0; i < size(); ++i)
            v[i] = 100 + (i % 7) * 100;
        return v;
    }
};

using Calc = void (*)(const In &);
const Calc movingAverage = [](const In &r) {
    calcMovingAverage(r.s, r.keys, r.open, r.high, r.low, r.close, r.n(10), "Simple", 0);
};
const Calc bollinger = [](const In &r) { calcBollinger(r.out, r.keys, r.close, r.n(20), r.at(1, 2)); };
const Calc envelopes = [](const In &r) { calcEnvelopes(r.keys, r.close, r.out, r.n(14), r.at(1, 0.1)); };
const Calc alligator = [](const In &r) { calcAlligator(r.keys, r.close, r.out); };
const Calc parabolicSar = [](const In &r) { calcParabolicSar(r.keys, r.high, r.low, r.s, r.at(0, 0.2), r.at(1, 0.2)); };
const Calc adx = [](const In &r) { calcAdx(r.out, r.keys, r.open, r.high, r.low, r.close, r.n(14)); };
const Calc macd = [](const In &r) {
    calcMacd(r.out, r.keys, r.open, r.high, r.low, r.close, r.n(12), int(r.at(1, 26)), int(r.at(2, 9)), 0);
};
const Calc ichimoku = [](const In &r) {
    calcIchimoku(r.out, r.keys, r.high, r.low, r.close, r.n(9), int(r.at(1, 26)), int(r.at(2, 52)));
};
const Calc cci = [](const In &r) {
    calcCommodityChannelIndex(r.s, r.keys, r.open, r.high, r.low, r.close, r.n(14), int(r.at(1, 6)));
};
const Calc momentum = [](const In &r) { calcMomentum(r.s, r.keys, r.open, r.high, r.low, r.close, r.n(14), 0); };
const Calc rsi = [](const In &r) { calcRsi(r.s, r.keys, r.close, r.n(14)); };
const Calc stdDev = [](const In &r) { calcStandardDeviation(r.s, r.keys, r.close, r.n(14)); };
const Calc forceIndex = [](const In &r) { calcForceIndex(r.s, r.keys, r.close, r.volume(), r.n(14)); };
const Calc williams = [](const In &r) { calcWilliamsPercentRange(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc atr = [](const In &r) { calcAverageTrueRange(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc deMarker = [](const In &r) { calcDeMarker(r.s, r.keys, r.high, r.low, r.n(14)); };
const Calc accDist = [](const In &r) { calcAccumulationDistribution(r.s, r.keys, r.open, r.high, r.low, r.close); };
const Calc obv = [](const In &r) { calcOnBalanceVolume(r.s, r.keys, r.close, r.high); };
const Calc bullsPower = [](const In &r) { calcPower(r.keys, r.high, r.close, r.s, r.n(14)); };
const Calc moneyFlow = [](const In &r) { calcMoneyFlowIndex(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc rvi = [](const In &r) { calcRelativeVigorIndex(r.out, r.keys, r.open, r.high, r.low, r.close, r.n(10)); };
const Calc stochastic = [](const In &r) {
    calcStochastic(r.keys, r.high, r.low, r.close, r.out, r.n(5), int(r.at(1, 3)));
};
const Calc all[] = {movingAverage, bollinger, envelopes,  alligator, parabolicSar, adx,       macd, ichimoku,
                    cci,           momentum,  rsi,        stdDev,    forceIndex,   williams,  atr,  deMarker,
                    accDist,       obv,       bullsPower, moneyFlow, rvi,          stochastic};

void run(Calc calc, const Bars &b, IndicatorLines &out, const QVector<double> &p = {})
{
    calc({b, out, out[QString()], p});
    if (out.value(QString()).keys.isEmpty())
        out.remove(QString());
}

bool near(double actual, double expected)
{
    return std::isnan(expected) ? std::isnan(actual)
                                : std::abs(actual - expected) <= 1e-4 * std::max(1.0, std::abs(expected));
}

bool same(const IndicatorSeries &a, const IndicatorSeries &b)
{
    if (a.keys != b.keys || a.values.size() != b.values.size())
        return false;
    for (int i = 0; i < a.values.size(); ++i) {
        if (!(a.values[i] == b.values[i] || (std::isnan(a.values[i]) && std::isnan(b.values[i]))))
            return false;
    }
    return true;
}

bool same(const IndicatorLines &a, const IndicatorLines &b)
{
    return a.keys() == b.keys() && std::all_of(a.keyBegin(), a.keyEnd(), [&](auto &k) { return same(a[k], b[k]); });
}

const IndicatorSeries sentinel{{99, 100}, {-1, -2}};

void row(const char *name, Calc calc, const Bars &bars, const QVector<double> &params, const QString &line, int count,
         const Points &expected)
{
    QTest::newRow(name) << calc << bars << params << line << count << expected;
}

} // namespace

Q_DECLARE_METATYPE(Bars)
Q_DECLARE_METATYPE(Calc)

class TestIndicators : public QObject
{
    Q_OBJECT

private slots:
    void helpers_data()
    {
        QTest::addColumn<double>("actual");
        QTest::addColumn<double>("expected");

        const QVector<double> upTo5{1, 2, 3, 4, 5};
        QTest::newRow("the population deviation divides by the count")
            << windowStdDev({2, 4, 4, 4, 5, 5, 7, 9}, 7, 8, 5.0) << 2.0;
        QTest::newRow("a window mean near bar 0 divides by the bars it has") << windowMean(upTo5, 1, 4) << 1.5;
        QTest::newRow("a range average takes the n values ending at the bar") << rangeAverage(upTo5, 2, 4) << 4.5;
        QTest::newRow("an exponential step keeps its fraction") << emaStep(14, 0.0, 5.0) << 2.0 / 15 * 5;
        QTest::newRow("an exponential step with period 0 is 0") << emaStep(0, 7.0, 5.0) << 0.0;
        QTest::newRow("the backward average weighs the oldest value most") << emaAt({1, 2, 4}, 3, 2) << 2.0;
        QTest::newRow("the backward average near bar 0 stops at bar 0") << emaAt({1, 2, 4}, 5, 1) << 2.0 - 1.0 / 3;
        IndicatorSeries other;
        const Bars b = closes(upTo5);
        calcMovingAverage(other, b.keys, b.open, b.high, b.low, b.close, 3, QStringLiteral("Exponential"), 0);
        QTest::newRow("a method other than Simple still averages simply") << other.values.last() << 3.0;
    }
    void helpers()
    {
        QFETCH(double, actual);
        QFETCH(double, expected);
        QVERIFY2(near(actual, expected), qPrintable(QStringLiteral("%1 != %2").arg(actual).arg(expected)));
    }

    void appliedPriceCodes()
    {
        // Codes 0..6 read close, open, high, low, median, typical, weighted; others read the close.
        const QVector<double> expected{3, 3, 1, 8, 2, 5, 13.0 / 3, 4, 3};
        for (int code = -1; code <= 7; ++code)
            QVERIFY2(near(appliedPrice({1}, {8}, {2}, {3}, 0, code), expected[code + 1]),
                     qPrintable(QString::number(code)));
    }

    void values_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<Bars>("bars");
        QTest::addColumn<QVector<double>>("params");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("count");
        QTest::addColumn<Points>("expected");

        row("the moving average shortens its window near bar 0 and skips the forming bar", movingAverage,
            closes({1, 2, 3, 4, 5}), {3}, "", 4, {{0, 1}, {1, 1.5}, {2, 2}, {3, 3}});
        row("the Bollinger top line adds k population deviations", bollinger, closes({1, 3, 3, 7}), {2, 2}, "tl", 4,
            {{0, 1}, {1, 4}, {2, 3}, {3, 9}});
        row("the upper envelope is a percentage above full windows only", envelopes, closes({1, 2, 3, 4, 5}), {3, 0.1},
            "upper", 5, {{0, 0}, {1, 0}, {2, 2.002}, {4, 4.004}});
        row("the Alligator jaws start at bar 20", alligator, closes(indices(52)), {}, "jaws", 52,
            {{19, 0}, {20, 6}, {21, 85 / 13.0}});
        row("the Alligator teeth start at bar 12", alligator, closes(indices(52)), {}, "teeth", 52,
            {{11, 0}, {12, 3.5}, {13, 4.0625}});
        row("the Alligator lips start at bar 7", alligator, closes(indices(52)), {}, "lips", 52,
            {{6, 0}, {7, 2}, {8, 2.6}});
        row("the parabolic SAR trails a rise and reverses to the extremes", parabolicSar,
            hlc({10, 11, 12, 11, 10, 13}, {9, 10, 11, 9, 8, 10}, {9, 11, 12, 10, 9, 12}), {}, "", 6,
            {{0, 0}, {1, 9.2}, {2, 9.56}, {3, 12}, {4, 11.4}, {5, 8}});

        const Bars adxBars = hlc({10, 12, 12, 10}, {8, 9, 9, 10}, {9, 11, 10, 10});
        row("the plus index keeps its fractions", adx, adxBars, {3}, "pdi", 4,
            {{0, 0}, {1, 100.0 / 3}, {2, 50.0 / 3}, {3, 25.0 / 3}});
        row("the ADX smooths the directional spread", adx, adxBars, {3}, "adx", 4,
            {{0, 0}, {1, 50}, {2, 75}, {3, 87.5}});
        row("a smoothed index below 1 does not stick at 0", adx, hlc({10, 10.02, 10.02}, {0, 0.01, 0.01}, {10, 10, 10}),
            {3}, "pdi", 3, {{1, 1 / 10.01}, {2, 0.5 / 10.01}});

        row("the slow MACD average is seeded with a simple mean", macd, closes({1, 2, 4, 8, 16}), {1, 2, 3}, "slowEMA",
            4, {{0, 1}, {1, 1.5}, {2, 19.0 / 6}, {3, 115.0 / 18}});
        row("the MACD signal smooths the MACD from 0", macd, closes({1, 2, 4, 8, 16}), {1, 2, 3}, "signal", 4,
            {{0, 0}, {1, 0.25}, {2, 0.541667}, {3, 1.076389}});

        const Bars ichimokuBars = hlc({2, 4, 6, 8, 10, 12}, {0, 2, 4, 6, 8, 10}, {1, 3, 5, 7, 9, 11});
        row("the tenkan line is a two-bar midpoint", ichimoku, ichimokuBars, {2, 3, 4}, "tenkan_sen", 6,
            {{0, gap}, {1, 2}, {5, 10}});
        row("span A stops a kijun period before the end", ichimoku, ichimokuBars, {2, 3, 4}, "senkou_span_a", 6,
            {{1, gap}, {2, 3.5}, {3, gap}, {5, gap}});
        row("the chikou line is the close a kijun period back", ichimoku, ichimokuBars, {2, 3, 4}, "chikou_span", 6,
            {{2, gap}, {3, 1}, {5, 5}});

        row("the CCI divides the mean deviation by n even in a short window", cci, closes({1, 2, 4, 4, 9}), {3, 0}, "",
            4, {{0, 0}, {1, 100}, {2, 100}, {3, 50}});
        row("momentum compares with the price n bars back", momentum, closes({2, 4, 5, 6, 9}), {2}, "", 2,
            {{2, 250}, {3, 150}});
        row("the RSI ignores the change into its own bar", rsi, closes({10, 11, 10, 12, 15, 14}), {4}, "", 2,
            {{4, 75}, {5, 100 - 100 / 6.0}});
        row("an RSI with gains and no losses reads 100", rsi, closes({1, 2, 3, 4, 5, 6}), {4}, "", 2,
            {{4, 100}, {5, 100}});
        row("an RSI over a flat close reads 50", rsi, closes({3, 3, 3, 3, 3}), {4}, "", 1, {{4, 50}});
        row("the standard deviation is the sample form from bar n", stdDev, closes(indices(15)), {14}, "", 1,
            {{14, std::sqrt(227.5 / 13)}});
        row("the force index is the change times the volume", forceIndex, closes({1, 2, 4, 3}), {2}, "", 2,
            {{2, 2 * 300}, {3, -1 * 400}});
        row("Williams' range places the close below the highest high", williams,
            hlc({5, 6, 7, 8, 6}, {1, 2, 3, 4, 5}, {3, 4, 5, 7, 5}), {3}, "", 2, {{3, -100.0 / 6}, {4, -60}});
        row("the average true range reaches back to the previous close", atr,
            hlc({10, 12, 11, 15}, {8, 9, 10, 12}, {9, 11, 10, 14}), {2}, "", 2, {{2, 2}, {3, 3}});
        row("DeMarker weighs the up moves against all moves", deMarker, hlc({10, 12, 11}, {5, 6, 3}, {7, 8, 9}), {2},
            "", 1, {{2, 0.4}});
        row("a falling high with a rising low adds nothing to DeMarker's down side", deMarker,
            hlc({10, 11, 9}, {5, 8, 9}, {7, 9, 9}), {2}, "", 1, {{2, 1}});
        row("accumulation restarts from 0 at a bar without range", accDist,
            hlc({1, 10, 4, 5, 6}, {1, 0, 2, 5, 2}, {1, 8, 2, 5, 5}), {}, "", 4, {{1, 0.6}, {2, -1.4}, {3, 0}, {4, 2}});
        row("on-balance volume adds or takes the high on each change", obv,
            hlc({5, 6, 7, 8}, {0, 1, 1, 0}, {1, 2, 2, 1}), {}, "", 3, {{1, 6}, {2, 6}, {3, -2}});
        row("bulls power is the high over the backward average", bullsPower,
            hlc({2, 3, 5, 9}, {0, 1, 3, 7}, {1, 2, 4, 8}), {3}, "", 4, {{0, 0}, {1, 0}, {2, 3}, {3, 5}});
        row("the money flow index splits flows by the typical price", moneyFlow, closes({1, 2, 3, 2}), {2}, "", 2,
            {{2, 100}, {3, 100 - 100 / 3.25}});
        row("a money flow index without any flow reads 50", moneyFlow, closes({3, 3, 3}), {2}, "", 1, {{2, 50}});

        const Bars rviBars = ohlc({1, 2, 3, 4}, {3, 4, 6, 5}, {0, 1, 2, 2}, {2, 2, 5, 3});
        row("the vigor index divides the bodies by the ranges", rvi, rviBars, {3}, "rvi1", 4,
            {{1, 0}, {2, 0.3}, {3, 0.1}});
        row("the weighted vigor index doubles the newest and the middle bar", rvi, rviBars, {3}, "rvi2", 4,
            {{1, 0}, {2, 5.0 / 17}, {3, 2.0 / 17}});
        const Bars stochasticBars = hlc({5, 6, 7, 8}, {1, 2, 3, 4}, {3, 4, 5, 7});
        row("the stochastic K line places the close in its range", stochastic, stochasticBars, {3, 2}, "stock1", 4,
            {{1, 0}, {2, 400.0 / 6}, {3, 500.0 / 6}});
        row("the stochastic D line averages the K line", stochastic, stochasticBars, {3, 2}, "stock2", 4,
            {{2, 0}, {3, 75}});

        // A zero divisor must leave a gap, not an infinite value on the axis.
        row("a one-bar sample deviation is a gap", stdDev, closes({2, 3, 4}), {1}, "", 2, {{1, gap}});
        row("momentum from a zero price is a gap", momentum, closes({0, 1, 2}), {1}, "", 1, {{1, gap}});
        row("Williams' range with the close outside a flat window is a gap", williams,
            hlc({4, 4, 4}, {4, 4, 4}, {4, 4, 5}), {2}, "", 1, {{2, gap}});
        row("a vigor index with bodies but no range is a gap", rvi, ohlc({1, 1}, {2, 2}, {2, 2}, {2, 2}), {2}, "rvi2",
            2, {{0, 0}, {1, gap}});
    }
    void values()
    {
        QFETCH(Calc, calc);
        QFETCH(Bars, bars);
        QFETCH(QVector<double>, params);
        QFETCH(QString, line);
        QFETCH(int, count);
        QFETCH(Points, expected);

        IndicatorLines out;
        run(calc, bars, out, params);
        const IndicatorSeries s = out.value(line);
        QCOMPARE(s.values.size(), s.keys.size());
        QCOMPARE(s.keys.size(), count);
        for (const QPointF &point : expected) {
            const int at = s.keys.indexOf(point.x());
            QVERIFY2(at >= 0 && near(s.values[at], point.y()), qPrintable(QStringLiteral("at key %1: %2, expected %3")
                                                                              .arg(point.x())
                                                                              .arg(at >= 0 ? s.values[at] : 0)
                                                                              .arg(point.y())));
        }
    }

    void extendingAppendsOnlyNewBars_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("firstBar");
        QTest::addColumn<bool>("skipsFormingBar");

        const QStringList one{QString()};
        QTest::newRow("the moving average") << movingAverage << one << 0 << true;
        QTest::newRow("Bollinger bands") << bollinger << QStringList{"ml", "tl", "bl"} << 0 << false;
        QTest::newRow("the ADX and its indices") << adx << QStringList{"adx", "pdi", "mdi"} << 0 << false;
        QTest::newRow("the MACD and its averages")
            << macd << QStringList{"fastEMA", "slowEMA", "MACD", "signal"} << 0 << true;
        QTest::newRow("momentum") << momentum << one << 14 << true;
        QTest::newRow("the RSI") << rsi << one << 14 << false;
        QTest::newRow("the average true range") << atr << one << 14 << false;
        QTest::newRow("DeMarker") << deMarker << one << 14 << false;
        QTest::newRow("accumulation/distribution") << accDist << one << 1 << false;
        QTest::newRow("the money flow index") << moneyFlow << one << 14 << false;
    }
    void extendingAppendsOnlyNewBars()
    {
        QFETCH(Calc, calc);
        QFETCH(QStringList, lines);
        QFETCH(int, firstBar);
        QFETCH(bool, skipsFormingBar);

        const Bars all = walk(60);
        IndicatorLines out;
        run(calc, all.first(59), out);
        const double lastBar = 58 - (skipsFormingBar ? 1 : 0);
        for (const QString &name : lines) {
            QCOMPARE(out[name].keys.size(), int(lastBar) - firstBar + 1);
            QCOMPARE(out[name].keys.first(), double(firstBar));
        }
        const IndicatorLines first = out;
        run(calc, all.first(59), out);
        QVERIFY2(same(out, first), "the same bars added points");

        run(calc, all, out);
        for (const QString &name : lines) {
            const int old = first[name].keys.size();
            QCOMPARE(out[name].keys.size(), old + 1);
            QVERIFY(same(IndicatorSeries{out[name].keys.mid(0, old), out[name].values.mid(0, old)}, first[name]));
        }
        IndicatorLines fresh;
        run(calc, all, fresh);
        QVERIFY2(same(out, fresh), "continuing differs from computing afresh");
    }

    void replacingRebuildsWithWarmUp_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("firstBar");
        QTest::addColumn<double>("warmUp");

        QTest::newRow("envelopes start at the first full window") << envelopes << "upper" << 13 << 0.0;
        QTest::newRow("the Alligator jaws are shifted by 8") << alligator << "jaws" << 20 << 0.0;
        QTest::newRow("the parabolic SAR leaves bar 0 at 0") << parabolicSar << QString() << 1 << 0.0;
        QTest::newRow("bulls power starts at bar n - 1") << bullsPower << QString() << 13 << 0.0;
        QTest::newRow("the vigor index starts at bar n - 1") << rvi << "rvi1" << 9 << 0.0;
        QTest::newRow("the stochastic D line starts at bar K + D - 2") << stochastic << "stock2" << 6 << 0.0;
        QTest::newRow("the tenkan line warms up with gaps") << ichimoku << "tenkan_sen" << 8 << gap;
        QTest::newRow("span B warms up with gaps") << ichimoku << "senkou_span_b" << 51 << gap;
        QTest::newRow("the chikou line warms up with gaps") << ichimoku << "chikou_span" << 26 << gap;
    }
    void replacingRebuildsWithWarmUp()
    {
        QFETCH(Calc, calc);
        QFETCH(QString, line);
        QFETCH(int, firstBar);
        QFETCH(double, warmUp);

        const Bars bars = walk(60);
        IndicatorLines out;
        out[line] = sentinel;
        run(calc, bars, out);
        run(calc, bars, out);
        const IndicatorSeries s = out.value(line);
        QCOMPARE(s.keys, bars.keys);
        QCOMPARE(s.values.size(), bars.size());
        for (int i = 0; i < firstBar; ++i)
            QVERIFY2(near(s.values[i], warmUp), qPrintable(QStringLiteral("bar %1").arg(i)));
        QVERIFY(std::isfinite(s.values[firstBar]) && s.values[firstBar] != 0.0);
    }

    void tooFewBarsLeaveOutputUntouched_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<int>("bars");
        QTest::addColumn<QVector<double>>("params");
        QTest::addColumn<QStringList>("lines");

        const QStringList one{QString()};
        const QVector<double> chart;
        QTest::newRow("an empty series gives no Bollinger bands")
            << bollinger << 0 << chart << QStringList{"ml", "tl", "bl"};
        QTest::newRow("a moving average over the forming bar alone") << movingAverage << 1 << chart << one;
        QTest::newRow("a MACD over the forming bar alone")
            << macd << 1 << chart << QStringList{"fastEMA", "slowEMA", "MACD", "signal"};
        QTest::newRow("an Alligator with 51 bars") << alligator << 51 << chart << QStringList{"jaws", "lips"};
        QTest::newRow("an ADX one bar short of its period") << adx << 13 << chart << QStringList{"adx", "pdi"};
        QTest::newRow("an Ichimoku shorter than its longest period")
            << ichimoku << 51 << chart << QStringList{"tenkan_sen", "chikou_span"};
        QTest::newRow("an RSI one bar short of its period") << rsi << 13 << chart << one;
        QTest::newRow("a money flow index with exactly n bars") << moneyFlow << 14 << chart << one;
        QTest::newRow("a vigor index one bar short of its period") << rvi << 9 << chart << QStringList{"rvi1", "rvi2"};
        QTest::newRow("a stochastic shorter than its K period")
            << stochastic << 4 << chart << QStringList{"stock1", "stock2"};
        QTest::newRow("an RSI of period 0") << rsi << 30 << QVector<double>{0} << one;
        QTest::newRow("Bollinger bands of period 0") << bollinger << 30 << QVector<double>{0, 2} << QStringList{"ml"};
        QTest::newRow("an ADX of period 0") << adx << 30 << QVector<double>{0} << QStringList{"adx"};
        QTest::newRow("a MACD with a signal period of 0")
            << macd << 30 << QVector<double>{12, 26, 0} << QStringList{"MACD"};
        QTest::newRow("a moving average of negative period") << movingAverage << 30 << QVector<double>{-3} << one;
    }
    void tooFewBarsLeaveOutputUntouched()
    {
        QFETCH(Calc, calc);
        QFETCH(int, bars);
        QFETCH(QVector<double>, params);
        QFETCH(QStringList, lines);

        IndicatorLines empty;
        run(calc, walk(bars), empty, params);
        QVERIFY2(empty.isEmpty(), qPrintable(QStringList(empty.keys()).join(QLatin1Char(','))));
        IndicatorLines held;
        for (const QString &name : lines)
            held[name] = sentinel;
        const IndicatorLines before = held;
        run(calc, walk(bars), held, params);
        QVERIFY(same(held, before));
    }

    void shortInputsAreNotReadPastTheirEnd()
    {
        Bars b = walk(70);
        b.high.resize(68);
        b.close.resize(68);
        for (Calc calc : all) {
            IndicatorLines out;
            run(calc, b, out);
            QVERIFY(!out.isEmpty());
            for (const IndicatorSeries &line : qAsConst(out))
                QVERIFY(line.keys.size() <= 68 && line.values.size() == line.keys.size());
        }
    }

    void syntheticVolumeIsWholeNumbersInRange()
    {
        const QVector<double> volume = makeSyntheticVolume(indices(500));
        QCOMPARE(volume.size(), 500);
        for (double v : volume)
            QVERIFY(v >= 100 && v <= 1099 && v == std::floor(v));
    }
};

KESTRAL_TEST_MAIN(TestIndicators)
#include "tst_indicators.moc"
