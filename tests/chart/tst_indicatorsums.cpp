// The indicators that keep running window sums, against plain re-summing of
// every window over a million random bars: the sums must not drift.
#include "indicators.h"
#include "testmain.h"

#include <cmath>
#include <functional>
#include <random>

namespace {

struct Bars
{
    QVector<double> keys, open, high, low, close;
};

// A wandering market; every 50th stretch of bars lies flat, so windows empty of moves are met too.
Bars market(int n)
{
    Bars b;
    std::mt19937 random(7);
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

using Run = std::function<void(IndicatorLines &, const Bars &)>;
using Reference = std::function<double(const Bars &, int)>; // the value of bar i

double sum(int from, int to, const std::function<double(int)> &term)
{
    double s = 0.0;
    for (int j = from; j <= to; ++j)
        s += term(j);
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

} // namespace

Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(Reference)

class TestIndicatorSums : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithResumming_data()
    {
        QTest::addColumn<Run>("run");
        QTest::addColumn<QString>("line");
        QTest::addColumn<Reference>("reference");
        QTest::addColumn<int>("firstBar");

        const int n = 14;
        QTest::newRow("moving average") << Run([](IndicatorLines &o, const Bars &b) {
            calcMovingAverage(o[""], b.keys, b.open, b.high, b.low, b.close, 10, "Simple", 0);
        }) << "" << Reference([](const Bars &b, int i) {
            const int from = std::max(0, i - 9);
            return sum(from, i, [&](int j) { return b.close[j]; }) / (i - from + 1);
        }) << 0;
        QTest::newRow("commodity channel index") << Run([](IndicatorLines &o, const Bars &b) {
            calcCommodityChannelIndex(o[""], b.keys, b.open, b.high, b.low, b.close, n, 6);
        }) << "" << Reference([](const Bars &b, int i) {
            const int from = std::max(0, i - n + 1);
            const double mean = sum(from, i, [&](int j) { return weighted(b, j); }) / (i - from + 1);
            const double dev = sum(from, i, [&](int j) { return std::abs(weighted(b, j) - mean); }) * 0.015 / n;
            bool flat = true;
            for (int j = from; j <= i; ++j)
                flat = flat && weighted(b, j) == weighted(b, i);
            return flat ? 0.0 : (weighted(b, i) - mean) / dev;
        }) << 0;
        QTest::newRow("standard deviation") << Run([](IndicatorLines &o, const Bars &b) {
            calcStandardDeviation(o[""], b.keys, b.close, n);
        }) << "" << Reference([](const Bars &b, int i) {
            const double mean = sum(i - n + 1, i, [&](int j) { return b.close[j]; }) / n;
            return std::sqrt(sum(i - n + 1, i, [&](int j) { return std::pow(b.close[j] - mean, 2); }) / (n - 1));
        }) << n;
        QTest::newRow("RSI") << Run([](IndicatorLines &o, const Bars &b) { calcRsi(o[""], b.keys, b.close, n); }) << ""
                             << Reference([](const Bars &b, int i) {
                                    double gains = 0, losses = 0;
                                    for (int k = 1; k < n; ++k) {
                                        const double d = b.close[i - k] - b.close[i - k - 1];
                                        (d > 0 ? gains : losses) += std::abs(d);
                                    }
                                    return losses != 0 ? 100 - 100 / (gains / losses + 1) : gains > 0 ? 100 : 0;
                                })
                             << n;
        QTest::newRow("DeMarker") << Run([](IndicatorLines &o, const Bars &b) {
            calcDeMarker(o[""], b.keys, b.high, b.low, n);
        }) << "" << Reference([](const Bars &b, int i) {
            double up = 0, down = 0;
            for (int j = i - n + 1; j <= i; ++j) {
                const double u = b.high[j] - b.high[j - 1], d = b.low[j - 1] - b.low[j];
                (u > d ? up : down) += std::max(0.0, u > d ? u : d);
            }
            return up + down == 0 ? 0.0 : up / (up + down);
        }) << n;
        QTest::newRow("momentum") << Run([](IndicatorLines &o, const Bars &b) {
            calcMomentum(o[""], b.keys, b.open, b.high, b.low, b.close, n, 0);
        }) << "" << Reference([](const Bars &b, int i) { return b.close[i] * 100.0 / b.close[i - n]; }) << n;
        QTest::newRow("money flow index") << Run([](IndicatorLines &o, const Bars &b) {
            calcMoneyFlowIndex(o[""], b.keys, b.high, b.low, b.close, n);
        }) << "" << Reference([](const Bars &b, int i) {
            double positive = 0, negative = 0;
            for (int j = i - n + 1; j <= i; ++j) {
                if (typical(b, j) != typical(b, j - 1))
                    (typical(b, j) > typical(b, j - 1) ? positive : negative) += typical(b, j) * b.close[j];
            }
            return negative != 0 ? 100 - 100 / (positive / negative + 1) : 100;
        }) << n;
    }
    void agreesWithResumming()
    {
        QFETCH(Run, run);
        QFETCH(QString, line);
        QFETCH(Reference, reference);
        QFETCH(int, firstBar);

        // Built once for every row: a million bars take a while under the sanitizers.
        static const Bars b = market(1000000);
        IndicatorLines out;
        run(out, b);
        const QVector<double> values = out.value(line).values;
        QVERIFY(values.size() >= b.keys.size() - firstBar - 1);
        // Every bar of the warm-up and of the end, where drift leads; a sample is enough between.
        for (int m = 0; m<values.size(); m += m> 1000 && m + 1000 < values.size() ? 97 : 1) {
            const double expected = reference(b, firstBar + m);
            QVERIFY2((std::isnan(expected) && std::isnan(values[m])) ||
                         std::abs(values[m] - expected) <= 1e-9 * std::max(1.0, std::abs(expected)),
                     qPrintable(QStringLiteral("bar %1: %2, expected %3")
                                    .arg(firstBar + m)
                                    .arg(values[m], 0, 'g', 17)
                                    .arg(expected, 0, 'g', 17)));
        }
    }
};

KESTRAL_TEST_MAIN(TestIndicatorSums)
#include "tst_indicatorsums.moc"
