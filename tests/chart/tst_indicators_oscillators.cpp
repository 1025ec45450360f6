// Hand-computed values of the oscillators and the volume-type indicators.
#include "indicatorharness.h"
#include "testmain.h"

#include <limits>

using namespace harness;

namespace {
const double gap = std::numeric_limits<double>::quiet_NaN();
} // namespace

class TestIndicatorsOscillators : public QObject
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

        QTest::newRow("the CCI divides the mean deviation by n even in a short window")
            << Calc::Cci << closes({1, 2, 4, 4, 9}) << QVector<double>{3, 0} << QString() << 4
            << Points{{0, 0}, {1, 100}, {2, 100}, {3, 50}};
        QTest::newRow("the CCI reads the weighted price")
            << Calc::Cci << ohlc({0, 0, 0, 0}, {4, 4, 8, 1}, {0, 0, 0, 0}, {0, 4, 4, 1}) << QVector<double>{3, 6}
            << QString() << 3 << Points{{2, 80}};

        QTest::newRow("momentum compares with the price n bars back")
            << Calc::Momentum << closes({2, 4, 5, 6, 9}) << QVector<double>{2} << QString() << 2
            << Points{{2, 250}, {3, 150}};

        QTest::newRow("the RSI ignores the change into its own bar")
            << Calc::Rsi << closes({10, 11, 10, 12, 15, 14}) << QVector<double>{4} << QString() << 2
            << Points{{4, 75}, {5, 100 - 100 / 6.0}};
        QTest::newRow("an RSI with gains and no losses reads 100")
            << Calc::Rsi << closes({1, 2, 3, 4, 5, 6}) << QVector<double>{4} << QString() << 2
            << Points{{4, 100}, {5, 100}};
        QTest::newRow("an RSI over a flat close reads 50")
            << Calc::Rsi << closes({3, 3, 3, 3, 3}) << QVector<double>{4} << QString() << 1 << Points{{4, 50}};
        QTest::newRow("an RSI with losses only reads 0")
            << Calc::Rsi << closes({6, 5, 4, 3, 2}) << QVector<double>{4} << QString() << 1 << Points{{4, 0}};
        QTest::newRow("an RSI of period 1 sees no change and reads 50")
            << Calc::Rsi << closes({1, 5, 2}) << QVector<double>{1} << QString() << 2 << Points{{1, 50}, {2, 50}};

        QTest::newRow("the standard deviation is the sample form from bar n")
            << Calc::StdDev << closes(indices(15)) << QVector<double>{14} << QString() << 1
            << Points{{14, std::sqrt(227.5 / 13)}};
        QTest::newRow("the standard deviation of a flat close is 0")
            << Calc::StdDev << closes({2, 2, 2, 2}) << QVector<double>{2} << QString() << 2 << Points{{2, 0}, {3, 0}};
        QTest::newRow("a one-bar sample deviation is a gap")
            << Calc::StdDev << closes({2, 3, 4}) << QVector<double>{1} << QString() << 2 << Points{{1, gap}};

        QTest::newRow("the force index is the change times the volume")
            << Calc::ForceIndex << closes({1, 2, 4, 3}) << QVector<double>{2} << QString() << 2
            << Points{{2, 2 * 300}, {3, -1 * 400}};

        const Bars williams = highLowClose({5, 6, 7, 8, 6}, {1, 2, 3, 4, 5}, {3, 4, 5, 7, 5});
        QTest::newRow("Williams' range places the close below the highest high")
            << Calc::Williams << williams << QVector<double>{3} << QString() << 2 << Points{{3, -100.0 / 6}, {4, -60}};
        QTest::newRow("Williams' range over a flat window is a gap")
            << Calc::Williams << closes({4, 4, 4}) << QVector<double>{2} << QString() << 1 << Points{{2, gap}};

        QTest::newRow("the average true range reaches back to the previous close")
            << Calc::Atr << highLowClose({10, 12, 11, 15}, {8, 9, 10, 12}, {9, 11, 10, 14}) << QVector<double>{2}
            << QString() << 2 << Points{{2, 2}, {3, 3}};

        QTest::newRow("DeMarker weighs the up moves against all moves")
            << Calc::DeMarker << highLowClose({10, 12, 11}, {5, 6, 3}, {7, 8, 9}) << QVector<double>{2} << QString()
            << 1 << Points{{2, 0.4}};
        QTest::newRow("a falling high with a rising low adds nothing to DeMarker's down side")
            << Calc::DeMarker << highLowClose({10, 11, 9}, {5, 8, 9}, {7, 9, 9}) << QVector<double>{2} << QString() << 1
            << Points{{2, 1}};
        QTest::newRow("DeMarker over a flat window is 0")
            << Calc::DeMarker << closes({4, 4, 4}) << QVector<double>{2} << QString() << 1 << Points{{2, 0}};

        QTest::newRow("accumulation restarts from 0 at a bar without range")
            << Calc::AccDist << highLowClose({1, 10, 4, 5, 6}, {1, 0, 2, 5, 2}, {1, 8, 2, 5, 5}) << QVector<double>{}
            << QString() << 4 << Points{{1, 0.6}, {2, -1.4}, {3, 0}, {4, 2}};

        QTest::newRow("on-balance volume adds or takes the high on each change")
            << Calc::Obv << highLowClose({5, 6, 7, 8}, {0, 1, 1, 0}, {1, 2, 2, 1}) << QVector<double>{} << QString()
            << 3 << Points{{1, 6}, {2, 6}, {3, -2}};

        const Bars power = highLowClose({2, 3, 5, 9}, {0, 1, 3, 7}, {1, 2, 4, 8});
        QTest::newRow("bulls power is the high over the backward average")
            << Calc::BullsPower << power << QVector<double>{3} << QString() << 4
            << Points{{0, 0}, {1, 0}, {2, 3}, {3, 5}};
        QTest::newRow("bears power is the low over the backward average")
            << Calc::BearsPower << power << QVector<double>{3} << QString() << 4 << Points{{1, 0}, {2, 1}, {3, 3}};

        QTest::newRow("the money flow index splits flows by the typical price")
            << Calc::Mfi << closes({1, 2, 3, 2}) << QVector<double>{2} << QString() << 2
            << Points{{2, 100}, {3, 100 - 100 / 3.25}};
        QTest::newRow("a money flow index without any flow reads 50")
            << Calc::Mfi << closes({3, 3, 3}) << QVector<double>{2} << QString() << 1 << Points{{2, 50}};

        const Bars rvi = ohlc({1, 2, 3, 4}, {3, 4, 6, 5}, {0, 1, 2, 2}, {2, 2, 5, 3});
        QTest::newRow("the vigor index divides the bodies by the ranges")
            << Calc::Rvi << rvi << QVector<double>{3} << "rvi1" << 4 << Points{{1, 0}, {2, 0.3}, {3, 0.1}};
        QTest::newRow("the weighted vigor index doubles the newest and the middle bar")
            << Calc::Rvi << rvi << QVector<double>{3} << "rvi2" << 4 << Points{{1, 0}, {2, 5.0 / 17}, {3, 2.0 / 17}};

        // A zero divisor must leave a gap, not an infinite value on the axis.
        QTest::newRow("momentum from a zero price is a gap")
            << Calc::Momentum << closes({0, 1, 2}) << QVector<double>{1} << QString() << 1 << Points{{1, gap}};
        QTest::newRow("Williams' range with the close outside a flat window is a gap")
            << Calc::Williams << highLowClose({4, 4, 4}, {4, 4, 4}, {4, 4, 5}) << QVector<double>{2} << QString() << 1
            << Points{{2, gap}};
        QTest::newRow("a vigor index with bodies but no range is a gap")
            << Calc::Rvi << ohlc({1, 1}, {2, 2}, {2, 2}, {2, 2}) << QVector<double>{2} << "rvi2" << 2
            << Points{{0, 0}, {1, gap}};
        QTest::newRow("a stochastic with the close outside a flat window is a gap")
            << Calc::Stochastic << highLowClose({4, 4}, {4, 4}, {4, 5}) << QVector<double>{2, 1} << "stock1" << 2
            << Points{{1, gap}};

        const Bars stochastic = highLowClose({5, 6, 7, 8}, {1, 2, 3, 4}, {3, 4, 5, 7});
        QTest::newRow("the stochastic K line places the close in its range")
            << Calc::Stochastic << stochastic << QVector<double>{3, 2} << "stock1" << 4
            << Points{{1, 0}, {2, 400.0 / 6}, {3, 500.0 / 6}};
        QTest::newRow("the stochastic D line averages the K line")
            << Calc::Stochastic << stochastic << QVector<double>{3, 2} << "stock2" << 4 << Points{{2, 0}, {3, 75}};
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

    void deMarkerStaysWithinItsRange()
    {
        // Mixed moves against their side used to push the sums apart.
        const Bars b = walk(200);
        IndicatorSeries out;
        calcDeMarker(out, b.keys, b.high, b.low, 5);
        QVERIFY(!out.values.isEmpty());
        for (double v : qAsConst(out.values))
            QVERIFY2(v >= 0.0 && v <= 1.0, qPrintable(QString::number(v)));
    }

    void syntheticVolumeIsWholeNumbersInRange()
    {
        const QVector<double> volume = makeSyntheticVolume(indices(500));
        QCOMPARE(volume.size(), 500);
        for (double v : volume) {
            QVERIFY(v >= 100 && v <= 1099);
            QCOMPARE(v, std::floor(v));
        }
    }
};

KESTRAL_TEST_MAIN(TestIndicatorsOscillators)
#include "tst_indicators_oscillators.moc"
