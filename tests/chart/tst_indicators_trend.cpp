// Hand-computed values of the averaging helpers and the price-pane, ADX, MACD
// and Ichimoku calculations.
#include "indicatorharness.h"
#include "testmain.h"

#include <limits>

using namespace harness;

namespace {
const double gap = std::numeric_limits<double>::quiet_NaN();
const QVector<double> upTo5{1, 2, 3, 4, 5};
} // namespace

class TestIndicatorsTrend : public QObject
{
    Q_OBJECT

private slots:
    void helpers_data()
    {
        QTest::addColumn<double>("actual");
        QTest::addColumn<double>("expected");

        const QVector<double> o{1}, h{8}, l{2}, c{3};
        QTest::newRow("price code 0 reads the close") << appliedPrice(o, h, l, c, 0, 0) << 3.0;
        QTest::newRow("price code 1 reads the open") << appliedPrice(o, h, l, c, 0, 1) << 1.0;
        QTest::newRow("price code 2 reads the high") << appliedPrice(o, h, l, c, 0, 2) << 8.0;
        QTest::newRow("price code 3 reads the low") << appliedPrice(o, h, l, c, 0, 3) << 2.0;
        QTest::newRow("price code 4 is the median price") << appliedPrice(o, h, l, c, 0, 4) << 5.0;
        QTest::newRow("price code 5 is the typical price") << appliedPrice(o, h, l, c, 0, 5) << 13.0 / 3;
        QTest::newRow("price code 6 weighs the close twice") << appliedPrice(o, h, l, c, 0, 6) << 4.0;
        QTest::newRow("an unknown price code reads the close") << appliedPrice(o, h, l, c, 0, 7) << 3.0;
        QTest::newRow("a negative price code reads the close") << appliedPrice(o, h, l, c, 0, -1) << 3.0;

        QTest::newRow("the population deviation divides by the count")
            << windowStdDev({2, 4, 4, 4, 5, 5, 7, 9}, 7, 8, 5.0) << 2.0;
        QTest::newRow("a window mean near bar 0 divides by the bars it has") << windowMean(upTo5, 1, 4) << 1.5;
        QTest::newRow("a range average takes the n values ending at the bar") << rangeAverage(upTo5, 2, 4) << 4.5;
        QTest::newRow("an exponential step keeps its fraction") << emaStep(14, 0.0, 5.0) << 2.0 / 15 * 5;
        QTest::newRow("an exponential step with period 0 is 0") << emaStep(0, 7.0, 5.0) << 0.0;
        QTest::newRow("the backward average weighs the oldest value most") << emaAt({1, 2, 4}, 3, 2) << 2.0;
        QTest::newRow("the backward average of period 1 is the value itself") << emaAt({1, 2, 4}, 1, 2) << 4.0;
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
        QVERIFY2(close(actual, expected), qPrintable(QStringLiteral("%1 != %2").arg(actual).arg(expected)));
    }

    void values_data()
    {
        QTest::addColumn<Calc>("calc");
        QTest::addColumn<Bars>("bars");
        QTest::addColumn<QVector<double>>("params");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("count");
        QTest::addColumn<Points>("expected");

        QTest::newRow("the moving average shortens its window near bar 0 and skips the forming bar")
            << Calc::MovingAverage << closes(upTo5) << QVector<double>{3} << QString() << 4
            << Points{{0, 1}, {1, 1.5}, {2, 2}, {3, 3}};
        QTest::newRow("a moving average longer than the series averages from bar 0")
            << Calc::MovingAverage << closes(upTo5) << QVector<double>{10} << QString() << 4 << Points{{3, 2.5}};
        QTest::newRow("a moving average of period 1 is the close")
            << Calc::MovingAverage << closes({4, 7, 2}) << QVector<double>{1} << QString() << 2
            << Points{{0, 4}, {1, 7}};

        const Bars bollinger = closes({1, 3, 3, 7});
        QTest::newRow("the Bollinger top line adds k population deviations")
            << Calc::Bollinger << bollinger << QVector<double>{2, 2} << "tl" << 4
            << Points{{0, 1}, {1, 4}, {2, 3}, {3, 9}};
        QTest::newRow("the Bollinger bottom line subtracts them")
            << Calc::Bollinger << bollinger << QVector<double>{2, 2} << "bl" << 4 << Points{{1, 0}, {3, 1}};
        QTest::newRow("Bollinger bands on a flat close coincide")
            << Calc::Bollinger << closes({5, 5, 5}) << QVector<double>{20, 2} << "tl" << 3 << Points{{0, 5}, {2, 5}};

        QTest::newRow("the upper envelope is a percentage above full windows only")
            << Calc::Envelopes << closes(upTo5) << QVector<double>{3, 0.1} << "upper" << 5
            << Points{{0, 0}, {1, 0}, {2, 2.002}, {4, 4.004}};
        QTest::newRow("the lower envelope is the same percentage below")
            << Calc::Envelopes << closes(upTo5) << QVector<double>{3, 0.1} << "lower" << 5
            << Points{{1, 0}, {2, 1.998}, {4, 3.996}};
        QTest::newRow("envelopes as long as the series fill only the last bar")
            << Calc::Envelopes << closes({3, 3, 3}) << QVector<double>{3, 0.1} << "upper" << 3
            << Points{{0, 0}, {1, 0}, {2, 3.003}};

        const Bars rising = closes(indices(52));
        QTest::newRow("the Alligator jaws start at bar 20")
            << Calc::Alligator << rising << QVector<double>{} << "jaws" << 52
            << Points{{19, 0}, {20, 6}, {21, (12 * 6 + 13) / 13.0}};
        QTest::newRow("the Alligator teeth start at bar 12")
            << Calc::Alligator << rising << QVector<double>{} << "teeth" << 52
            << Points{{11, 0}, {12, 3.5}, {13, (7 * 3.5 + 8) / 8.0}};
        QTest::newRow("the Alligator lips start at bar 7")
            << Calc::Alligator << rising << QVector<double>{} << "lips" << 52 << Points{{6, 0}, {7, 2}, {8, 2.6}};

        QTest::newRow("the parabolic SAR trails a rise and reverses to the extremes")
            << Calc::ParabolicSar
            << highLowClose({10, 11, 12, 11, 10, 13}, {9, 10, 11, 9, 8, 10}, {9, 11, 12, 10, 9, 12})
            << QVector<double>{} << QString() << 6 << Points{{0, 0}, {1, 9.2}, {2, 9.56}, {3, 12}, {4, 11.4}, {5, 8}};

        const Bars adx = highLowClose({10, 12, 12, 10}, {8, 9, 9, 10}, {9, 11, 10, 10});
        QTest::newRow("the plus index keeps its fractions")
            << Calc::Adx << adx << QVector<double>{3} << "pdi" << 4
            << Points{{0, 0}, {1, 100.0 / 3}, {2, 50.0 / 3}, {3, 25.0 / 3}};
        QTest::newRow("the minus index stays 0 without down moves")
            << Calc::Adx << adx << QVector<double>{3} << "mdi" << 4 << Points{{0, 0}, {1, 0}, {3, 0}};
        QTest::newRow("the ADX smooths the directional spread")
            << Calc::Adx << adx << QVector<double>{3} << "adx" << 4 << Points{{0, 0}, {1, 50}, {2, 75}, {3, 87.5}};
        QTest::newRow("the ADX with period 1 follows the raw spread")
            << Calc::Adx << adx << QVector<double>{1} << "pdi" << 4 << Points{{1, 200.0 / 3}, {2, 0}};
        QTest::newRow("a smoothed index below 1 does not stick at 0")
            << Calc::Adx << highLowClose({10, 10.02, 10.02}, {0, 0.01, 0.01}, {10, 10, 10}) << QVector<double>{3}
            << "pdi" << 3 << Points{{1, 1 / 10.01}, {2, 0.5 / 10.01}};

        const Bars doubling = closes({1, 2, 4, 8, 16});
        QTest::newRow("the slow MACD average is seeded with a simple mean")
            << Calc::Macd << doubling << QVector<double>{1, 2, 3} << "slowEMA" << 4
            << Points{{0, 1}, {1, 1.5}, {2, 19.0 / 6}, {3, 115.0 / 18}};
        QTest::newRow("the MACD is fast minus slow") << Calc::Macd << doubling << QVector<double>{1, 2, 3} << "MACD"
                                                     << 4 << Points{{0, 0}, {1, 0.5}, {2, 5.0 / 6}, {3, 29.0 / 18}};
        QTest::newRow("the MACD signal smooths the MACD from 0")
            << Calc::Macd << doubling << QVector<double>{1, 2, 3} << "signal" << 4
            << Points{{0, 0}, {1, 0.25}, {2, 0.541667}, {3, 1.076389}};

        const Bars ichimoku = highLowClose({2, 4, 6, 8, 10, 12}, {0, 2, 4, 6, 8, 10}, {1, 3, 5, 7, 9, 11});
        const QVector<double> periods{2, 3, 4};
        QTest::newRow("the tenkan line is a two-bar midpoint")
            << Calc::Ichimoku << ichimoku << periods << "tenkan_sen" << 6 << Points{{0, gap}, {1, 2}, {5, 10}};
        QTest::newRow("the kijun line is a three-bar midpoint")
            << Calc::Ichimoku << ichimoku << periods << "kijun_sen" << 6 << Points{{1, gap}, {2, 3}, {5, 9}};
        QTest::newRow("span A stops a kijun period before the end")
            << Calc::Ichimoku << ichimoku << periods << "senkou_span_a" << 6
            << Points{{1, gap}, {2, 3.5}, {3, gap}, {5, gap}};
        QTest::newRow("span B is a four-bar midpoint")
            << Calc::Ichimoku << ichimoku << periods << "senkou_span_b" << 6 << Points{{2, gap}, {3, 4}, {5, 8}};
        QTest::newRow("the chikou line is the close a kijun period back")
            << Calc::Ichimoku << ichimoku << periods << "chikou_span" << 6 << Points{{2, gap}, {3, 1}, {5, 5}};
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
        QVERIFY(out.contains(line));
        verifyLine(out.value(line), count, expected);
    }
};

KESTRAL_TEST_MAIN(TestIndicatorsTrend)
#include "tst_indicators_trend.moc"
