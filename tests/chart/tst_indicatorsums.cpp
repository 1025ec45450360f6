// The indicators that keep running window sums, against plain re-summing of
// every window on random bars, up to a million bars of drift; and the
// indicators rebuilt whole per bar, continued bar by bar while the last bar
// still moves, against a rebuild.
#include "indicators.h"
#include "testmain.h"

#include <cmath>
#include <functional>
#include <random>

namespace {

struct Bars
{
    QVector<double> keys, open, high, low, close;
    Bars first(int n) const { return {keys.mid(0, n), open.mid(0, n), high.mid(0, n), low.mid(0, n), close.mid(0, n)}; }
};

// A wandering market; every 50th stretch of bars lies flat, so windows empty of moves are met too.
Bars market(int n, unsigned seed)
{
    Bars b;
    std::mt19937 random(seed);
    std::normal_distribution<double> move(0.0, 0.002);
    std::uniform_real_distribution<double> wick(0.0, 0.001);
    double price = 100.0;
    for (int i = 0; i < n; ++i) {
        const bool flat = (i / 20) % 50 == 49;
        const double open = price;
        if (!flat)
            price *= std::exp(move(random));
        b.keys << i;
        b.open << open;
        b.close << price;
        b.high << (flat ? price : std::max(open, price) * (1.0 + wick(random)));
        b.low << (flat ? price : std::min(open, price) * (1.0 - wick(random)));
    }
    return b;
}

using Reference = std::function<double(const Bars &, int)>; // the value of bar i
using Calc = std::function<IndicatorSeries(const Bars &)>;
using Run = std::function<void(IndicatorLines &, const Bars &)>;

double sum(const QVector<double> &v, int from, int to, const std::function<double(int)> &term = {})
{
    double s = 0.0;
    for (int j = from; j <= to; ++j)
        s += term ? term(j) : v[j];
    return s;
}

double weighted(const Bars &b, int j)
{
    return (b.high[j] + b.low[j] + 2.0 * b.close[j]) / 4.0;
}
double typical(const Bars &b, int j)
{
    return (b.high[j] + b.low[j] + b.close[j]) / 3.0;
}

IndicatorSeries line(const IndicatorLines &lines, const char *name)
{
    return lines.value(QLatin1String(name));
}

} // namespace

Q_DECLARE_METATYPE(Reference)
Q_DECLARE_METATYPE(Calc)
Q_DECLARE_METATYPE(Run)

class TestIndicatorSums : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithResumming_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<Reference>("reference");
        QTest::addColumn<int>("firstBar");

        const int n = 14;
        QTest::newRow("moving average") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcMovingAverage(s, b.keys, b.open, b.high, b.low, b.close, 10, "Simple", 0);
            return s;
        }) << Reference([](const Bars &b, int i) {
            const int from = std::max(0, i - 9);
            return sum(b.close, from, i) / (i - from + 1);
        }) << 0;
        QTest::newRow("Bollinger top line") << Calc([](const Bars &b) {
            IndicatorLines o;
            calcBollinger(o, b.keys, b.close, 20, 2);
            return line(o, "tl");
        }) << Reference([](const Bars &b, int i) {
            const int from = std::max(0, i - 19);
            const double mean = sum(b.close, from, i) / (i - from + 1);
            const double squares = sum({}, from, i, [&](int j) { return std::pow(b.close[j] - mean, 2); });
            return mean + 2 * std::sqrt(squares / (i - from + 1));
        }) << 0;
        QTest::newRow("lower envelope") << Calc([](const Bars &b) {
            IndicatorLines o;
            calcEnvelopes(b.keys, b.close, o, n, 0.1);
            return line(o, "lower");
        }) << Reference([](const Bars &b, int i) {
            return i < n - 1 ? 0.0 : sum(b.close, i - n + 1, i) / n * (1.0 - 0.1 / 100.0);
        }) << 0;
        QTest::newRow("commodity channel index") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcCommodityChannelIndex(s, b.keys, b.open, b.high, b.low, b.close, n, 6);
            return s;
        }) << Reference([](const Bars &b, int i) {
            const int from = std::max(0, i - n + 1);
            const double mean = sum({}, from, i, [&](int j) { return weighted(b, j); }) / (i - from + 1);
            const double dev = sum({}, from, i, [&](int j) { return std::abs(weighted(b, j) - mean); }) * 0.015 / n;
            bool flat = true;
            for (int j = from; j <= i; ++j)
                flat = flat && weighted(b, j) == weighted(b, i);
            return flat ? 0.0 : (weighted(b, i) - mean) / dev;
        }) << 0;
        QTest::newRow("RSI") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcRsi(s, b.keys, b.close, n);
            return s;
        }) << Reference([](const Bars &b, int i) {
            double gains = 0, losses = 0;
            for (int k = 1; k < n; ++k) {
                const double d = b.close[i - k] - b.close[i - k - 1];
                (d > 0 ? gains : losses) += std::abs(d);
            }
            return losses != 0 ? 100 - 100 / (gains / losses + 1) : gains > 0 ? 100 : 50;
        }) << n;
        QTest::newRow("standard deviation") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcStandardDeviation(s, b.keys, b.close, n);
            return s;
        }) << Reference([](const Bars &b, int i) {
            const double mean = sum(b.close, i - n + 1, i) / n;
            return std::sqrt(sum({}, i - n + 1, i, [&](int j) { return std::pow(b.close[j] - mean, 2); }) / (n - 1));
        }) << n;
        QTest::newRow("average true range") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcAverageTrueRange(s, b.keys, b.high, b.low, b.close, n);
            return s;
        }) << Reference([](const Bars &b, int i) {
            return sum({}, i - n + 1, i,
                       [&](int j) {
                           return std::max({b.high[j] - b.low[j], std::abs(b.high[j] - b.close[j - 1]),
                                            std::abs(b.low[j] - b.close[j - 1])});
                       }) /
                   n;
        }) << n;
        QTest::newRow("DeMarker") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcDeMarker(s, b.keys, b.high, b.low, n);
            return s;
        }) << Reference([](const Bars &b, int i) {
            double up = 0, down = 0;
            for (int j = i - n + 1; j <= i; ++j) {
                const double u = b.high[j] - b.high[j - 1], d = b.low[j - 1] - b.low[j];
                (u > d ? up : down) += std::max(0.0, u > d ? u : d);
            }
            return up + down == 0 ? 0.0 : up / (up + down);
        }) << n;
        QTest::newRow("money flow index") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcMoneyFlowIndex(s, b.keys, b.high, b.low, b.close, n);
            return s;
        }) << Reference([](const Bars &b, int i) {
            double positive = 0, negative = 0;
            for (int j = i - n + 1; j <= i; ++j) {
                if (typical(b, j) != typical(b, j - 1))
                    (typical(b, j) > typical(b, j - 1) ? positive : negative) += typical(b, j) * b.close[j];
            }
            return negative != 0 ? 100 - 100 / (positive / negative + 1) : positive > 0 ? 100 : 50;
        }) << n;
        QTest::newRow("bears power") << Calc([](const Bars &b) {
            IndicatorSeries s;
            calcPower(b.keys, b.low, b.close, s, n);
            return s;
        }) << Reference([](const Bars &b, int i) { return i < n - 1 ? 0.0 : b.low[i] - emaAt(b.close, n, i); })
                                     << 0;
        QTest::newRow("weighted vigor index") << Calc([](const Bars &b) {
            IndicatorLines o;
            calcRelativeVigorIndex(o, b.keys, b.open, b.high, b.low, b.close, 10);
            return line(o, "rvi2");
        }) << Reference([](const Bars &b, int i) {
            double body = 0, range = 0;
            for (int j = 0; j < 10 && i >= 9; ++j) {
                const int w = j == 0 || j == 5 ? 2 : 1;
                body += w * (b.close[i - j] - b.open[i - j]);
                range += w * (b.high[i - j] - b.low[i - j]);
            }
            return i < 9 ? 0.0 : body / range;
        }) << 0;
    }
    void agreesWithResumming()
    {
        QFETCH(Calc, calc);
        QFETCH(Reference, reference);
        QFETCH(int, firstBar);

        for (int bars : {500, 1000000}) {
            // Built once for every row: a million bars take a while under the sanitizers.
            static const Bars small = market(500, 7);
            static const Bars large = market(1000000, 7);
            const Bars &b = bars == 500 ? small : large;
            const IndicatorSeries s = calc(b);
            QVERIFY(s.values.size() >= bars - firstBar - 1);
            // Across a million bars a sample is enough to see drift, and the last bars show where it leads.
            const int stride = bars > 1000 ? 97 : 1;
            for (int m = 0; m < s.values.size(); m += m + 1000 < s.values.size() ? stride : 1) {
                const double expected = reference(b, firstBar + m);
                const double actual = s.values[m];
                if (std::isnan(expected) && std::isnan(actual))
                    continue;
                QVERIFY2(std::abs(actual - expected) <= 1e-9 * std::max(1.0, std::abs(expected)),
                         qPrintable(QStringLiteral("%1 bars, bar %2: %3, expected %4")
                                        .arg(bars)
                                        .arg(firstBar + m)
                                        .arg(actual, 0, 'g', 17)
                                        .arg(expected, 0, 'g', 17)));
            }
        }
    }

    void continuedEqualsRebuilt_data()
    {
        QTest::addColumn<Run>("run");
        QTest::addColumn<QString>("name");

        QTest::newRow("parabolic SAR") << Run([](IndicatorLines &o, const Bars &b) {
            calcParabolicSar(b.keys, b.high, b.low, o[QString()], 0.02, 0.2);
        }) << QString();
        QTest::newRow("envelopes") << Run([](IndicatorLines &o, const Bars &b) {
            calcEnvelopes(b.keys, b.close, o, 14, 0.1);
        }) << "upper";
        QTest::newRow("Alligator jaws") << Run([](IndicatorLines &o, const Bars &b) {
            calcAlligator(b.keys, b.close, o);
        }) << "jaws";
        QTest::newRow("Alligator lips") << Run([](IndicatorLines &o, const Bars &b) {
            calcAlligator(b.keys, b.close, o);
        }) << "lips";
        QTest::newRow("bulls power") << Run([](IndicatorLines &o, const Bars &b) {
            calcPower(b.keys, b.high, b.close, o[QString()], 14);
        }) << QString();
        QTest::newRow("vigor index") << Run([](IndicatorLines &o, const Bars &b) {
            calcRelativeVigorIndex(o, b.keys, b.open, b.high, b.low, b.close, 10);
        }) << "rvi2";
    }
    void continuedEqualsRebuilt()
    {
        QFETCH(Run, run);
        QFETCH(QString, name);

        const Bars all = market(300, 11);
        const Bars forming = market(300, 12);
        IndicatorLines held;
        for (int bars = 1; bars <= all.keys.size(); ++bars) {
            // Each new bar is seen first while it forms, then with its final prices.
            Bars b = all.first(bars);
            b.high.last() = forming.high[bars - 1];
            b.low.last() = forming.low[bars - 1];
            b.close.last() = forming.close[bars - 1];
            run(held, b);
            run(held, all.first(bars));
            const bool dropLast = bars % 7 == 0 && !held.value(name).keys.isEmpty();
            if (dropLast) { // as the chart does when a bar completes
                held[name].keys.removeLast();
                held[name].values.removeLast();
            }
            IndicatorLines fresh;
            run(fresh, all.first(bars));
            const IndicatorSeries rebuilt = fresh.value(name);
            if (dropLast)
                run(held, all.first(bars));
            const IndicatorSeries continued = held.value(name);
            QCOMPARE(continued.keys, rebuilt.keys);
            for (int i = 0; i < rebuilt.values.size(); ++i) {
                QVERIFY2(continued.values[i] == rebuilt.values[i] ||
                             (std::isnan(continued.values[i]) && std::isnan(rebuilt.values[i])),
                         qPrintable(QStringLiteral("%1 bars, bar %2").arg(bars).arg(i)));
            }
        }
    }

    // A chart loading other bars empties its outputs but keeps their storage.
    void recomputedIntoEmptiedEqualsFresh_data()
    {
        QTest::addColumn<Run>("run");

        QTest::newRow("ADX") << Run(
            [](IndicatorLines &o, const Bars &b) { calcAdx(o, b.keys, b.open, b.high, b.low, b.close, 14); });
        QTest::newRow("MACD") << Run([](IndicatorLines &o, const Bars &b) {
            calcMacd(o, b.keys, b.open, b.high, b.low, b.close, 12, 26, 9, 0);
        });
        QTest::newRow("RSI") << Run(
            [](IndicatorLines &o, const Bars &b) { calcRsi(o[QString()], b.keys, b.close, 14); });
        QTest::newRow("accumulation") << Run([](IndicatorLines &o, const Bars &b) {
            calcAccumulationDistribution(o[QString()], b.keys, b.open, b.high, b.low, b.close);
        });
        QTest::newRow("envelopes") << Run(
            [](IndicatorLines &o, const Bars &b) { calcEnvelopes(b.keys, b.close, o, 14, 0.1); });
    }
    void recomputedIntoEmptiedEqualsFresh()
    {
        QFETCH(Run, run);

        Bars before = market(400, 21);
        for (double &key : before.keys)
            key += 1000;
        const Bars after = market(300, 22);
        IndicatorLines reused;
        run(reused, before);
        for (IndicatorSeries &series : reused) {
            series.keys.resize(0);
            series.values.resize(0);
        }
        run(reused, after);
        IndicatorLines fresh;
        run(fresh, after);
        QCOMPARE(reused.keys(), fresh.keys());
        for (auto it = fresh.cbegin(); it != fresh.cend(); ++it) {
            QCOMPARE(reused.value(it.key()).keys, it->keys);
            QCOMPARE(reused.value(it.key()).values, it->values);
        }
    }
};

KESTRAL_TEST_MAIN(TestIndicatorSums)
#include "tst_indicatorsums.moc"
