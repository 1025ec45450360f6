// How every calculation treats the output it is given: extending outputs grow
// only by new bars, replacing ones are rebuilt with their warm-up, and too few
// bars leave them alone.
#include "indicatorharness.h"
#include "testmain.h"

#include <limits>

using namespace harness;

namespace {

const double gap = std::numeric_limits<double>::quiet_NaN();

bool sameSeries(const IndicatorSeries &a, const IndicatorSeries &b)
{
    if (a.keys != b.keys || a.values.size() != b.values.size())
        return false;
    for (int i = 0; i < a.values.size(); ++i) {
        if (!(a.values[i] == b.values[i] || (std::isnan(a.values[i]) && std::isnan(b.values[i]))))
            return false;
    }
    return true;
}

bool sameLines(const IndicatorLines &a, const IndicatorLines &b)
{
    if (a.keys() != b.keys())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (!sameSeries(it.value(), b.value(it.key())))
            return false;
    }
    return true;
}

IndicatorSeries sentinel()
{
    return {{99, 100}, {-1, -2}};
}

} // namespace

class TestIndicatorOutputs : public QObject
{
    Q_OBJECT

private slots:
    void extendingAppendsOnlyNewBars_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("firstBar");
        QTest::addColumn<bool>("skipsFormingBar");

        const QStringList one{QString()};
        QTest::newRow("the moving average") << Calc::MovingAverage << one << 0 << true;
        QTest::newRow("Bollinger bands") << Calc::Bollinger << QStringList{"ml", "tl", "bl"} << 0 << false;
        QTest::newRow("the ADX and its indices") << Calc::Adx << QStringList{"adx", "pdi", "mdi"} << 0 << false;
        QTest::newRow("the MACD and its averages")
            << Calc::Macd << QStringList{"fastEMA", "slowEMA", "MACD", "signal"} << 0 << true;
        QTest::newRow("the commodity channel index") << Calc::Cci << one << 0 << true;
        QTest::newRow("momentum") << Calc::Momentum << one << 14 << true;
        QTest::newRow("the RSI") << Calc::Rsi << one << 14 << false;
        QTest::newRow("the standard deviation") << Calc::StdDev << one << 14 << false;
        QTest::newRow("the force index") << Calc::ForceIndex << one << 14 << false;
        QTest::newRow("Williams' percent range") << Calc::Williams << one << 14 << false;
        QTest::newRow("the average true range") << Calc::Atr << one << 14 << false;
        QTest::newRow("DeMarker") << Calc::DeMarker << one << 14 << false;
        QTest::newRow("accumulation/distribution") << Calc::AccDist << one << 1 << false;
        QTest::newRow("on-balance volume") << Calc::Obv << one << 1 << false;
        QTest::newRow("the money flow index") << Calc::Mfi << one << 14 << false;
    }

    void extendingAppendsOnlyNewBars()
    {
        QFETCH(Calc, calc);
        QFETCH(QStringList, lines);
        QFETCH(int, firstBar);
        QFETCH(bool, skipsFormingBar);

        const Bars all = walk(60);
        const Bars before = all.first(59);
        IndicatorLines out;
        run(calc, before, out);
        const int lastBar = 58 - (skipsFormingBar ? 1 : 0);
        for (const QString &name : lines) {
            const IndicatorSeries line = out.value(name);
            QCOMPARE(line.keys.size(), lastBar - firstBar + 1);
            QCOMPARE(line.keys.first(), double(firstBar));
            QCOMPARE(line.keys.last(), double(lastBar));
        }

        const IndicatorLines first = out;
        run(calc, before, out);
        QVERIFY2(sameLines(out, first), "the same bars added points");

        run(calc, all, out);
        for (const QString &name : lines) {
            const IndicatorSeries grown = out.value(name);
            const IndicatorSeries old = first.value(name);
            QCOMPARE(grown.keys.size(), old.keys.size() + 1);
            QVERIFY(sameSeries({grown.keys.mid(0, old.keys.size()), grown.values.mid(0, old.keys.size())}, old));
        }
        IndicatorLines fresh;
        run(calc, all, fresh);
        QVERIFY2(sameLines(out, fresh), "continuing differs from computing afresh");
    }

    void replacingRebuildsWithWarmUp_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("firstBar");
        QTest::addColumn<double>("warmUp");

        QTest::newRow("envelopes start at the first full window") << Calc::Envelopes << "upper" << 13 << 0.0;
        QTest::newRow("the Alligator jaws are shifted by 8") << Calc::Alligator << "jaws" << 20 << 0.0;
        QTest::newRow("the Alligator teeth are shifted by 5") << Calc::Alligator << "teeth" << 12 << 0.0;
        QTest::newRow("the Alligator lips are shifted by 3") << Calc::Alligator << "lips" << 7 << 0.0;
        QTest::newRow("the parabolic SAR leaves bar 0 at 0") << Calc::ParabolicSar << QString() << 1 << 0.0;
        QTest::newRow("bulls power starts at bar n - 1") << Calc::BullsPower << QString() << 13 << 0.0;
        QTest::newRow("bears power starts at bar n - 1") << Calc::BearsPower << QString() << 13 << 0.0;
        QTest::newRow("the vigor index starts at bar n - 1") << Calc::Rvi << "rvi1" << 9 << 0.0;
        QTest::newRow("the weighted vigor index too") << Calc::Rvi << "rvi2" << 9 << 0.0;
        QTest::newRow("the stochastic K line starts at bar K - 1") << Calc::Stochastic << "stock1" << 4 << 0.0;
        QTest::newRow("the stochastic D line starts at bar K + D - 2") << Calc::Stochastic << "stock2" << 6 << 0.0;
        QTest::newRow("the tenkan line warms up with gaps") << Calc::Ichimoku << "tenkan_sen" << 8 << gap;
        QTest::newRow("the kijun line warms up with gaps") << Calc::Ichimoku << "kijun_sen" << 25 << gap;
        QTest::newRow("span A warms up with gaps") << Calc::Ichimoku << "senkou_span_a" << 25 << gap;
        QTest::newRow("span B warms up with gaps") << Calc::Ichimoku << "senkou_span_b" << 51 << gap;
        QTest::newRow("the chikou line warms up with gaps") << Calc::Ichimoku << "chikou_span" << 26 << gap;
    }

    void replacingRebuildsWithWarmUp()
    {
        QFETCH(Calc, calc);
        QFETCH(QString, line);
        QFETCH(int, firstBar);
        QFETCH(double, warmUp);

        const Bars bars = walk(60);
        IndicatorLines out;
        out[line] = sentinel();
        run(calc, bars, out);
        run(calc, bars, out);
        const IndicatorSeries s = out.value(line);
        QCOMPARE(s.keys, bars.keys);
        QCOMPARE(s.values.size(), bars.size());
        for (int i = 0; i < firstBar; ++i)
            QVERIFY2(close(s.values[i], warmUp), qPrintable(QStringLiteral("bar %1").arg(i)));
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
            << Calc::Bollinger << 0 << chart << QStringList{"ml", "tl", "bl"};
        QTest::newRow("a moving average over the forming bar alone") << Calc::MovingAverage << 1 << chart << one;
        QTest::newRow("a MACD over the forming bar alone")
            << Calc::Macd << 1 << chart << QStringList{"fastEMA", "slowEMA", "MACD", "signal"};
        QTest::newRow("envelopes one bar short of their period")
            << Calc::Envelopes << 13 << chart << QStringList{"upper", "lower"};
        QTest::newRow("an Alligator with 51 bars")
            << Calc::Alligator << 51 << chart << QStringList{"jaws", "teeth", "lips"};
        QTest::newRow("a parabolic SAR over one bar") << Calc::ParabolicSar << 1 << chart << one;
        QTest::newRow("an ADX one bar short of its period")
            << Calc::Adx << 13 << chart << QStringList{"adx", "pdi", "mdi"};
        QTest::newRow("an Ichimoku shorter than its longest period")
            << Calc::Ichimoku << 51 << chart << QStringList{"tenkan_sen", "chikou_span"};
        QTest::newRow("momentum one bar short of its period") << Calc::Momentum << 13 << chart << one;
        QTest::newRow("an RSI one bar short of its period") << Calc::Rsi << 13 << chart << one;
        QTest::newRow("an average true range with exactly n bars") << Calc::Atr << 14 << chart << one;
        QTest::newRow("DeMarker with exactly n bars") << Calc::DeMarker << 14 << chart << one;
        QTest::newRow("a money flow index with exactly n bars") << Calc::Mfi << 14 << chart << one;
        QTest::newRow("accumulation over one bar") << Calc::AccDist << 1 << chart << one;
        QTest::newRow("on-balance volume over one bar") << Calc::Obv << 1 << chart << one;
        QTest::newRow("bulls power one bar short of its period") << Calc::BullsPower << 13 << chart << one;
        QTest::newRow("a vigor index one bar short of its period")
            << Calc::Rvi << 9 << chart << QStringList{"rvi1", "rvi2"};
        QTest::newRow("a stochastic shorter than its K period")
            << Calc::Stochastic << 4 << chart << QStringList{"stock1", "stock2"};
        QTest::newRow("an RSI of period 0") << Calc::Rsi << 30 << QVector<double>{0} << one;
        QTest::newRow("Bollinger bands of period 0")
            << Calc::Bollinger << 30 << QVector<double>{0, 2} << QStringList{"ml"};
        QTest::newRow("an ADX of period 0") << Calc::Adx << 30 << QVector<double>{0} << QStringList{"adx"};
        QTest::newRow("a MACD with a signal period of 0")
            << Calc::Macd << 30 << QVector<double>{12, 26, 0} << QStringList{"MACD"};
        QTest::newRow("a moving average of negative period") << Calc::MovingAverage << 30 << QVector<double>{-3} << one;
    }

    void tooFewBarsLeaveOutputUntouched()
    {
        QFETCH(Calc, calc);
        QFETCH(int, bars);
        QFETCH(QVector<double>, params);
        QFETCH(QStringList, lines);

        const Bars b = walk(bars);
        IndicatorLines empty;
        run(calc, b, empty, params);
        QVERIFY2(empty.isEmpty(), qPrintable(QStringList(empty.keys()).join(QLatin1Char(','))));

        IndicatorLines held;
        for (const QString &name : lines)
            held[name] = sentinel();
        const IndicatorLines before = held;
        run(calc, b, held, params);
        QVERIFY(sameLines(held, before));
    }

    void shortInputsAreNotReadPastTheirEnd_data()
    {
        QTest::addColumn<Calc>("calc");
        for (int c = int(Calc::MovingAverage); c <= int(Calc::Stochastic); ++c)
            QTest::addRow("indicator %d with the high and close two bars short", c) << Calc(c);
    }

    void shortInputsAreNotReadPastTheirEnd()
    {
        QFETCH(Calc, calc);
        Bars b = walk(70);
        b.high.resize(68);
        b.close.resize(68);
        IndicatorLines out;
        run(calc, b, out);
        QVERIFY(!out.isEmpty());
        for (const IndicatorSeries &line : qAsConst(out)) {
            QVERIFY(line.keys.size() <= 68);
            QCOMPARE(line.values.size(), line.keys.size());
        }
    }
};

KESTRAL_TEST_MAIN(TestIndicatorOutputs)
#include "tst_indicators_outputs.moc"
