// The extremes of any stretch, read through the summaries, equal those of every value,
// however the series grew or was cut since it was first summarised.
#include "summarypyramid.h"
#include "testmain.h"

#include <cmath>
#include <random>

class TestSummaryPyramid : public QObject
{
    Q_OBJECT

private slots:
    void extremesOfEveryStretch_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("changedFrom"); // -1: summarised once, whole
        QTest::addColumn<int>("grownTo");
        QTest::newRow("grown far past the bars summarised") << 45 << 2000 << 3000;
        QTest::newRow("many levels, ragged end") << 5000 << -1 << 5000;
        QTest::newRow("grown by a bar") << 4097 << 4096 << 4097;
        QTest::newRow("last bars replaced, then grown") << 3000 << 2990 << 3100;
        QTest::newRow("cut back, then grown") << 3000 << 700 << 1500;
        QTest::newRow("nothing") << 0 << -1 << 0;
    }
    void extremesOfEveryStretch()
    {
        QFETCH(int, count);
        QFETCH(int, changedFrom);
        QFETCH(int, grownTo);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> value(-5.0, 5.0);
        QVector<double> values(std::max(count, grownTo));
        for (int i = 0; i < values.size(); ++i)
            values[i] = i % 97 == 5 ? std::nan("") : value(random); // gaps are left out
        SummaryPyramid pyramid;
        pyramid.update(values.constData(), count, 0);
        if (changedFrom >= 0) {
            for (int i = changedFrom; i < values.size(); ++i)
                values[i] = value(random) * 3;
            pyramid.update(values.constData(), grownTo, changedFrom);
        }
        QCOMPARE(pyramid.count(), grownTo);
        std::uniform_int_distribution<int> position(0, grownTo);
        for (int k = 0; k < 3000; ++k) {
            int begin = position(random), end = position(random);
            if (begin > end)
                std::swap(begin, end);
            double low, high, expectedLow = INFINITY, expectedHigh = -INFINITY;
            pyramid.extremes(values.constData(), begin, end, low, high);
            for (int i = begin; i < end; ++i) {
                expectedLow = std::isnan(values[i]) ? expectedLow : std::min(expectedLow, values[i]);
                expectedHigh = std::isnan(values[i]) ? expectedHigh : std::max(expectedHigh, values[i]);
            }
            QVERIFY2(low == expectedLow && high == expectedHigh,
                     qPrintable(QStringLiteral("%1..%2").arg(begin).arg(end)));
        }
    }
};

KESTRAL_TEST_MAIN(TestSummaryPyramid)
#include "tst_summarypyramid.moc"
