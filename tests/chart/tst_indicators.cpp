// Hand-worked values of every indicator; outputs a chart continues bar by bar
// equal a rebuild, and too few bars leave them alone.
#include "indicators.h"
#include "testmain.h"

#include <QPointF>
#include <algorithm>
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
// The open stands in for the volume.
const Calc forceIndex = [](const In &r) { calcForceIndex(r.s, r.keys, r.close, r.open, r.n(14)); };
const Calc williams = [](const In &r) { calcWilliamsPercentRange(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc atr = [](const In &r) { calcAverageTrueRange(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc deMarker = [](const In &r) { calcDeMarker(r.s, r.keys, r.high, r.low, r.n(14)); };
const Calc accDist = [](const In &r) { calcAccumulationDistribution(r.s, r.keys, r.open, r.high, r.low, r.close); };
const Calc obv = [](const In &r) { calcOnBalanceVolume(r.s, r.keys, r.close, r.high); };
const Calc bullsPower = [](const In &r) { calcPower(r.keys, r.high, r.close, r.s, r.n(14)); };
const Calc bearsPower = [](const In &r) { calcPower(r.keys, r.low, r.close, r.s, r.n(14)); };
const Calc moneyFlow = [](const In &r) { calcMoneyFlowIndex(r.s, r.keys, r.high, r.low, r.close, r.n(14)); };
const Calc rvi = [](const In &r) { calcRelativeVigorIndex(r.out, r.keys, r.open, r.high, r.low, r.close, r.n(10)); };
const Calc stochastic = [](const In &r) {
    calcStochastic(r.keys, r.high, r.low, r.close, r.out, r.n(5), int(r.at(1, 3)));
};
// Extending outputs grow by settled bars only; the others are rebuilt, continuing from the bar that was forming.
const Calc extending[] = {movingAverage, bollinger, adx, macd,     cci,     momentum, rsi,      stdDev,
                          forceIndex,    williams,  atr, deMarker, accDist, obv,      moneyFlow};
const Calc rebuilt[] = {envelopes, alligator, parabolicSar, ichimoku, bullsPower, bearsPower, rvi, stochastic};

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

// Bit for bit, gaps alike; an emptied line is as good as none.
bool same(const IndicatorLines &a, const IndicatorLines &b)
{
    const auto equal = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
    const QStringList names = a.keys() + b.keys();
    return std::all_of(names.begin(), names.end(), [&](const QString &k) {
        const IndicatorSeries x = a.value(k), y = b.value(k);
        return x.keys == y.keys &&
               std::equal(x.values.begin(), x.values.end(), y.values.begin(), y.values.end(), equal);
    });
}

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
        row("the Bollinger top line adds k population deviations", bollinger, closes({1, 3, 3, 7}), {3, 2}, "tl", 4,
            {{0, 1}, {1, 4}, {2, 4.218951}, {3, 8.104569}});
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
        row("the parabolic SAR quickens on each new high up to its maximum", parabolicSar,
            hlc({10, 11, 12, 13, 14}, {9, 10, 11, 12, 13}, {9, 11, 12, 13, 14}), {0.1, 0.3}, "", 5,
            {{1, 9.1}, {2, 9.48}, {3, 10.236}, {4, 11.0652}});
        row("a low at the parabolic SAR does not reverse it", parabolicSar, hlc({10, 11}, {9, 9.2}, {9, 11}), {}, "", 2,
            {{1, 9.2}});

        const Bars adxBars = hlc({10, 12, 12, 10}, {8, 9, 9, 10}, {9, 11, 10, 10});
        row("the plus index keeps its fractions", adx, adxBars, {3}, "pdi", 4,
            {{0, 0}, {1, 100.0 / 3}, {2, 50.0 / 3}, {3, 25.0 / 3}});
        row("the ADX smooths the directional spread", adx, adxBars, {3}, "adx", 4,
            {{0, 0}, {1, 50}, {2, 75}, {3, 87.5}});
        row("the MACD signal smooths the MACD from 0", macd, closes({1, 2, 4, 8, 16}), {1, 2, 3}, "signal", 4,
            {{0, 0}, {1, 0.25}, {2, 0.541667}, {3, 1.076389}});

        const Bars ichimokuBars = hlc({2, 4, 6, 8, 10, 12}, {0, 2, 4, 6, 8, 10}, {1, 3, 5, 7, 9, 11});
        row("the tenkan line is a two-bar midpoint", ichimoku, ichimokuBars, {2, 3, 4}, "tenkan_sen", 6,
            {{0, gap}, {1, 2}, {5, 10}});
        row("span A stops a kijun period before the end", ichimoku, ichimokuBars, {2, 3, 4}, "senkou_span_a", 6,
            {{1, gap}, {2, 3.5}, {3, gap}, {5, gap}});
        row("the chikou line is the close a kijun period back", ichimoku, ichimokuBars, {2, 3, 4}, "chikou_span", 6,
            {{2, gap}, {3, 1}, {5, 5}});

        row("momentum compares with the price n bars back", momentum, closes({2, 4, 5, 6, 9}), {2}, "", 2,
            {{2, 250}, {3, 150}});
        row("the RSI ignores the change into its own bar", rsi, closes({10, 11, 10, 12, 15, 14}), {4}, "", 2,
            {{4, 75}, {5, 100 - 100 / 6.0}});
        row("an RSI window without change is 0, one of gains alone 100", rsi, closes({5, 5, 5, 5, 6, 7, 8}), {3}, "", 4,
            {{3, 0}, {4, 0}, {5, 100}, {6, 100}});
        row("the standard deviation is the sample form from bar n", stdDev, closes(indices(15)), {14}, "", 1,
            {{14, std::sqrt(227.5 / 13)}});
        row("the force index is the change times the volume", forceIndex,
            ohlc({0, 0, 300, 400}, {1, 2, 4, 3}, {1, 2, 4, 3}, {1, 2, 4, 3}), {2}, "", 2,
            {{2, 2 * 300}, {3, -1 * 400}});
        row("Williams' range places the close below the highest high", williams,
            hlc({5, 6, 7, 8, 6}, {1, 2, 3, 4, 5}, {3, 4, 5, 7, 5}), {3}, "", 2, {{3, -100.0 / 6}, {4, -60}});
        row("the average true range reaches back to the previous close", atr,
            hlc({10, 12, 8, 15}, {8, 9, 7, 12}, {9, 11, 8, 14}), {2}, "", 2, {{2, 3.5}, {3, 5.5}});
        row("DeMarker weighs the up moves against all moves", deMarker, hlc({10, 12, 11}, {5, 6, 3}, {7, 8, 9}), {2},
            "", 1, {{2, 0.4}});
        row("accumulation restarts from 0 at a bar without range", accDist,
            hlc({1, 10, 4, 5, 6}, {1, 0, 2, 5, 2}, {1, 8, 2, 5, 5}), {}, "", 4, {{1, 0.6}, {2, -1.4}, {3, 0}, {4, 2}});
        row("on-balance volume adds or takes the high on each change", obv,
            hlc({5, 6, 7, 8}, {0, 1, 1, 0}, {1, 2, 2, 1}), {}, "", 3, {{1, 6}, {2, 6}, {3, -2}});
        row("bulls power is the high over the backward average", bullsPower,
            hlc({2, 3, 5, 9}, {0, 1, 3, 7}, {1, 2, 4, 8}), {3}, "", 4, {{0, 0}, {1, 0}, {2, 3}, {3, 5}});
        row("bears power is the low under the backward average", bearsPower,
            hlc({2, 3, 5, 9}, {0, 1, 3, 7}, {1, 2, 4, 8}), {3}, "", 4, {{0, 0}, {1, 0}, {2, 1}, {3, 3}});
        row("the money flow index splits flows by the typical price", moneyFlow, closes({1, 2, 3, 2}), {2}, "", 2,
            {{2, 100}, {3, 100 - 100 / 3.25}});
        row("a money flow index of falls alone is 0, of no change 100", moneyFlow, closes({3, 2, 2, 2}), {2}, "", 2,
            {{2, 0}, {3, 100}});
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
        row("momentum over an infinite price is zero", momentum, closes({INFINITY, 1, 2}), {1}, "", 1, {{1, 0}});
        row("Williams' range with the close outside a flat window is a gap", williams,
            hlc({4, 4, 4}, {4, 4, 4}, {4, 4, 5}), {2}, "", 1, {{2, gap}});
        row("a vigor index with bodies but no range is a gap", rvi, ohlc({1, 1}, {2, 2}, {2, 2}, {2, 2}), {2}, "rvi2",
            2, {{0, 0}, {1, gap}});

        // Too few bars, or a period below 1, leave the output alone.
        row("an empty series gives no Bollinger bands", bollinger, walk(0), {}, "ml", 0, {});
        row("a moving average over the forming bar alone", movingAverage, walk(1), {}, "", 0, {});
        row("a MACD over the forming bar alone", macd, walk(1), {}, "MACD", 0, {});
        row("an Alligator with 51 bars", alligator, walk(51), {}, "jaws", 0, {});
        row("an ADX one bar short of its period", adx, walk(13), {}, "adx", 0, {});
        row("an Ichimoku shorter than its longest period", ichimoku, walk(51), {}, "tenkan_sen", 0, {});
        row("an RSI one bar short of its period", rsi, walk(13), {}, "", 0, {});
        row("a money flow index with exactly n bars", moneyFlow, walk(14), {}, "", 0, {});
        row("a vigor index one bar short of its period", rvi, walk(9), {}, "rvi1", 0, {});
        row("a stochastic shorter than its K period", stochastic, walk(4), {}, "stock1", 0, {});
        row("envelopes one bar short of their period", envelopes, walk(13), {}, "upper", 0, {});
        row("a parabolic SAR of one bar", parabolicSar, walk(1), {}, "", 0, {});
        row("a commodity channel index over the forming bar alone", cci, walk(1), {}, "", 0, {});
        row("momentum one bar short of its period", momentum, walk(13), {}, "", 0, {});
        row("a standard deviation one bar short of its period", stdDev, walk(13), {}, "", 0, {});
        row("a force index one bar short of its period", forceIndex, walk(13), {}, "", 0, {});
        row("Williams' range one bar short of its period", williams, walk(13), {}, "", 0, {});
        row("an average true range with exactly n bars", atr, walk(14), {}, "", 0, {});
        row("a DeMarker with exactly n bars", deMarker, walk(14), {}, "", 0, {});
        row("accumulation over one bar", accDist, walk(1), {}, "", 0, {});
        row("on-balance volume over one bar", obv, walk(1), {}, "", 0, {});
        row("bulls power one bar short of its period", bullsPower, walk(13), {}, "", 0, {});
        row("bears power one bar short of its period", bearsPower, walk(13), {}, "", 0, {});
        row("an RSI of period 0", rsi, walk(30), {0}, "", 0, {});
        row("Bollinger bands of period 0", bollinger, walk(30), {0, 2}, "ml", 0, {});
        row("an ADX of period 0", adx, walk(30), {0}, "adx", 0, {});
        row("a MACD with a signal period of 0", macd, walk(30), {12, 26, 0}, "MACD", 0, {});
        row("a moving average of negative period", movingAverage, walk(30), {-3}, "", 0, {});
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
        if (count == 0) {
            QCOMPARE(out.keys(), QList<QString>());
            // What a chart already drew stays as it was, not cleared nor rebuilt.
            IndicatorLines held;
            run(calc, walk(80), held);
            const IndicatorLines before = held;
            run(calc, bars, held, params);
            QVERIFY(same(held, before));
        }
        const IndicatorSeries s = out.value(line);
        QCOMPARE(s.values.size(), s.keys.size());
        QCOMPARE(s.keys.size(), count);
        for (const QPointF &point : expected) {
            const int at = QVector<double>(s.keys).indexOf(point.x());
            QVERIFY2(
                at >= 0 && near(s.values[at], point.y()),
                qPrintable(QString::asprintf("at key %g: %g, expected %g", point.x(), s.values.value(at), point.y())));
        }
    }

    void continuedEqualsRebuilt_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<bool>("forming");
        for (int i = 0; i < int(std::size(extending)); ++i)
            QTest::addRow("extending %d", i) << extending[i] << false;
        for (int i = 0; i < int(std::size(rebuilt)); ++i)
            QTest::addRow("rebuilt %d", i) << rebuilt[i] << true;
    }
    void continuedEqualsRebuilt()
    {
        QFETCH(Calc, calc);
        QFETCH(bool, forming);
        // A chart loading other bars empties its outputs but keeps their storage.
        IndicatorLines held;
        Bars other = walk(80);
        std::for_each(other.keys.begin(), other.keys.end(), [](double &key) { key += 1000; });
        run(calc, other, held);
        for (IndicatorSeries &line : held) {
            line.keys.resize(0);
            line.values.resize(0);
        }
        const Bars bars = walk(300); // past the first re-summing of the running sums
        for (int n = 1; n <= bars.size(); ++n) {
            // A rebuilt output sees each new bar first while it forms, then with its final prices.
            Bars seen = bars.first(n);
            seen.high.last() += forming ? 0.7 : 0.0;
            seen.low.last() -= forming ? 0.4 : 0.0;
            seen.close.last() += forming ? 0.3 : 0.0;
            run(calc, seen, held);
            run(calc, bars.first(n), held);
            for (IndicatorSeries &line : held) {
                if (n % 7 == 0 && !line.keys.isEmpty()) { // as the chart does when a bar completes
                    line.keys.resize(line.keys.size() - 1);
                    line.values.removeLast();
                }
            }
            if (n % 7 == 0)
                run(calc, bars.first(n), held);
            IndicatorLines fresh;
            run(calc, bars.first(n), fresh);
            QVERIFY2(same(held, fresh), qPrintable(QStringLiteral("after %1 bars").arg(n)));
        }
    }

    // A point sits on its own bar's key, whether the keys step by one or not.
    void keysAreTheBars_data()
    {
        QTest::addColumn<QVector<double>>("keys");
        QVector<double> from1000 = indices(40), skipping = indices(40), lastSkips = indices(40);
        std::for_each(from1000.begin(), from1000.end(), [](double &key) { key += 1000; });
        std::for_each(skipping.begin() + 25, skipping.end(), [](double &key) { key += 5; });
        lastSkips.last() = 50;
        QTest::newRow("keys from 1000") << from1000;
        QTest::newRow("keys that skip after the bars first seen") << skipping;
        QTest::newRow("keys that skip at the last bar") << lastSkips;
    }
    void keysAreTheBars()
    {
        QFETCH(QVector<double>, keys);
        Bars bars = walk(keys.size());
        bars.keys = keys;
        const std::pair<Calc, int> calcs[] = {{movingAverage, 0}, {rsi, 14}, {envelopes, 0}}; // and the first bar
        for (const auto &[calc, firstBar] : calcs) {
            IndicatorLines fresh, continued;
            run(calc, bars, fresh);
            run(calc, bars.first(16), continued); // then grown by more points than it held
            run(calc, bars, continued);
            QVERIFY(same(continued, fresh));
            for (const IndicatorLines *out : {&fresh, &continued}) {
                const IndicatorKeys &k = out->first().keys;
                const QVector<double> expected = keys.mid(firstBar, k.size());
                QVERIFY(k.size() >= keys.size() - firstBar - 1);
                QCOMPARE(QVector<double>(k), expected);
                IndicatorKeys built;
                for (double key : expected)
                    built << key;
                QVERIFY(built == k);
                for (int m = 0; m < k.size(); ++m)
                    QCOMPARE(int(std::lower_bound(k.cbegin(), k.cend(), expected[m]) - k.cbegin()), m);
            }
        }
    }

    void shortInputsAreNotReadPastTheirEnd_data() { continuedEqualsRebuilt_data(); }
    void shortInputsAreNotReadPastTheirEnd()
    {
        QFETCH(Calc, calc);
        Bars b = walk(70);
        b.high.resize(68);
        b.close.resize(68);
        IndicatorLines out;
        run(calc, b, out);
        QVERIFY(!out.isEmpty());
        for (const IndicatorSeries &line : qAsConst(out))
            QVERIFY(line.keys.size() <= 68 && line.values.size() == line.keys.size());
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
