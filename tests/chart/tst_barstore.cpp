// The bar columns shared between the chart manager and its windows: a merge gives
// the plain union of the bars by time, a change made through one copy never shows
// in another, and the windows of one chart see a merged reply while holding one copy.
#include "barstore.h"
#include "chartfixture.h"
#include "symbolchartwidget.h"
#include "testmain.h"

#include <QMap>
#include <random>

using namespace chartfixture;

namespace {

// Bars at the given hours after kHour, priced from the hour and a variant.
QVector<CandleStick> barsAt(const QList<int> &hours, double variant = 0.0)
{
    QVector<CandleStick> bars;
    for (int h : hours) {
        const double p = 1.0 + h * 0.01 + variant;
        bars.append({kHour + h * 3600, p, p + 0.5 + variant, p - 0.5 - variant, p + 0.1});
    }
    return bars;
}

QList<int> range(int from, int to)
{
    QList<int> hours;
    for (int h = from; h < to; ++h)
        hours << h;
    return hours;
}

// The columns and the summaries agree with `bars`, read one by one.
void holds(const BarStore &store, const QVector<CandleStick> &bars)
{
    QCOMPARE(store.toVector(), bars);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> position(0, bars.size());
    for (int k = 0; k < 200; ++k) {
        int begin = position(random), end = position(random);
        if (begin > end)
            std::swap(begin, end);
        double low, high, ignored, wantLow = INFINITY, wantHigh = -INFINITY;
        store.highs().extremes(store.high().constData(), begin, end, ignored, high);
        store.lows().extremes(store.low().constData(), begin, end, low, ignored);
        for (int i = begin; i < end; ++i) {
            wantLow = std::min(wantLow, bars[i].low);
            wantHigh = std::max(wantHigh, bars[i].high);
        }
        QVERIFY2(low == wantLow && high == wantHigh, qPrintable(QStringLiteral("%1..%2").arg(begin).arg(end)));
    }
}

} // namespace

class TestBarStore : public QObject
{
    Q_OBJECT

private slots:
    void mergeIsTheUnionByTime_data()
    {
        QTest::addColumn<QVector<CandleStick>>("held");
        QTest::addColumn<QVector<CandleStick>>("reply");
        QTest::addColumn<int>("firstChanged"); // -1: nothing changed
        QTest::newRow("into nothing") << QVector<CandleStick>() << barsAt(range(0, 100)) << 0;
        QTest::newRow("newer bars") << barsAt(range(0, 300)) << barsAt(range(300, 302)) << 300;
        QTest::newRow("newest bar repriced") << barsAt(range(0, 300)) << barsAt({299}, 0.2) << 299;
        QTest::newRow("repeat of the newest bars") << barsAt(range(0, 300)) << barsAt(range(290, 300)) << -1;
        QTest::newRow("same bars, then a new one") << barsAt(range(0, 300)) << barsAt(range(295, 301)) << 300;
        QTest::newRow("older bar inserted") << barsAt({0, 1, 2, 4, 5, 6}) << barsAt({3}) << 3;
        QTest::newRow("reply around the held bars") << barsAt(range(10, 50)) << barsAt({5, 20, 60}, 0.3) << 0;
        QTest::newRow("gaps filled and one repriced")
            << barsAt({0, 2, 4, 6, 8}) << (barsAt({5}) + barsAt({6}, 0.1) + barsAt({7})) << 3;
    }
    void mergeIsTheUnionByTime()
    {
        QFETCH(QVector<CandleStick>, held);
        QFETCH(QVector<CandleStick>, reply);
        QFETCH(int, firstChanged);
        QMap<qint64, CandleStick> union_;
        for (const CandleStick &bar : held + reply)
            union_.insert(bar.timestamp, bar);
        const QVector<CandleStick> expected = union_.values().toVector();

        BarStore store = BarStore::fromBars(held);
        QCOMPARE(store.merge(reply), firstChanged < 0 ? store.size() : firstChanged);
        holds(store, expected);
    }

    void aChangeShowsOnlyInItsCopy_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change : {"append", "replace", "truncate", "merge new bar", "merge repriced"})
            QTest::newRow(change) << QString(change);
    }
    void aChangeShowsOnlyInItsCopy()
    {
        QFETCH(QString, change);
        const QVector<CandleStick> bars = barsAt(range(0, 200));
        const BarStore kept = BarStore::fromBars(bars);
        BarStore changed = kept;
        QVector<CandleStick> expected = bars;
        if (change == "append") {
            changed.append(barsAt({200}).constFirst());
            expected += barsAt({200});
        } else if (change == "replace") {
            changed.replace(150, barsAt({150}, 3.0).constFirst());
            expected[150] = barsAt({150}, 3.0).constFirst();
        } else if (change == "truncate") {
            changed.truncate(70);
            expected.resize(70);
        } else if (change == "merge new bar") {
            changed.merge(barsAt({200}));
            expected += barsAt({200});
        } else {
            changed.merge(barsAt({199}, -2.0));
            expected.last() = barsAt({199}, -2.0).constFirst();
        }
        holds(changed, expected);
        holds(kept, bars);
        // Bars added after the shared ones cost no copy of the history.
        if (change == "append" || change == "merge new bar")
            QCOMPARE(changed.close().constData(), kept.close().constData());
    }

    // Both copies go on from the same bars, as the manager and a window do with each completed bar.
    void copiesGoingOnFromTheSameBars_data()
    {
        QTest::addColumn<QString>("kept");    // what the first copy does
        QTest::addColumn<QString>("changed"); // then the second
        QTest::addColumn<bool>("oneStorage");
        QTest::newRow("the same bar added by both") << "add 200" << "add 200" << true;
        QTest::newRow("different bars added") << "add 200" << "add 200 repriced" << false;
        QTest::newRow("a bar added, the other cut back and grown") << "add 200" << "cut 120, add 300" << false;
        QTest::newRow("a bar added, the other reprices its newest") << "add 200" << "reprice 199" << false;
        QTest::newRow("a bar added, the other cut back") << "add 200" << "cut 50" << true;
    }
    void copiesGoingOnFromTheSameBars()
    {
        QFETCH(QString, kept);
        QFETCH(QString, changed);
        QFETCH(bool, oneStorage);
        const QVector<CandleStick> bars = barsAt(range(0, 200));
        BarStore stores[2] = {BarStore::fromBars(bars), {}};
        stores[1] = stores[0];
        QVector<CandleStick> expected[2] = {bars, bars};
        const QString steps[2] = {kept, changed};
        for (int c = 0; c < 2; ++c) {
            for (const QString &step : steps[c].split(", ")) {
                const QStringList words = step.split(' ');
                const int at = words.at(1).toInt();
                const CandleStick bar = barsAt({at}, words.size() > 2 ? 0.7 : 0.0).constFirst();
                if (words.first() == "add") {
                    stores[c].append(bar);
                    expected[c].append(bar);
                } else if (words.first() == "cut") {
                    stores[c].truncate(at);
                    expected[c].resize(at);
                } else {
                    stores[c].replace(at, barsAt({at}, 0.7).constFirst());
                    expected[c][at] = barsAt({at}, 0.7).constFirst();
                }
            }
        }
        holds(stores[0], expected[0]);
        holds(stores[1], expected[1]);
        QCOMPARE(stores[0].close().constData() == stores[1].close().constData(), oneStorage);
    }

    void windowsOfAChartShareItsBars_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("announced"); // the windows take the manager's bars again
        QTest::newRow("a reply with a new bar reaches both windows") << "reply" << true;
        QTest::newRow("a repriced newest bar reaches both windows") << "repriced" << true;
        QTest::newRow("a bar completed for another window is not shown here") << "append" << false;
        QTest::newRow("a reply for another period changes nothing") << "other period" << false;
    }
    void windowsOfAChartShareItsBars()
    {
        QFETCH(QString, change);
        QFETCH(bool, announced);
        switchIndicators("MovingAverage");
        auto chartManager = manager(nextLogin());
        chartManager->requestChartHistory("EURUSD", 60, 0, -1);
        chartManager->requestChartHistory("EURUSD", 240, 0, -1);
        chartManager->updateChartHistoryFromServer(historyReply(barsAt(range(0, 500))));
        SymbolChartWidget first(chartManager.get(), "EURUSD", 60), second(chartManager.get(), "EURUSD", 60);
        QCoreApplication::processEvents();
        // Held once: both windows read the manager's columns.
        QCOMPARE(first.bars().close().constData(), second.bars().close().constData());
        const QVector<CandleStick> before = first.bars().toVector();

        if (change == "reply")
            chartManager->updateChartHistoryFromServer(historyReply(barsAt({499, 500})));
        else if (change == "repriced")
            chartManager->updateChartHistoryFromServer(historyReply(barsAt({499}, 0.25)));
        else if (change == "append")
            chartManager->appendCandleStick("EURUSD", 60, kHour + 499 * 3600, 9, 9.5, 8.5, 9.2);
        else
            chartManager->updateChartHistoryFromServer(historyReply(barsAt({500}), 240));
        QCoreApplication::processEvents();

        const QVector<CandleStick> held = chartManager->getChartHistory("EURUSD", 60).toVector();
        for (const SymbolChartWidget *chart : {&first, &second}) {
            QCOMPARE(chart->bars().toVector(), announced ? held : before);
            QCOMPARE(chart->candlesticks()->interface1D()->dataCount(), chart->bars().size());
            QCOMPARE(chart->indicatorLines(SymbolChartWidget::MovingAverage).value(QString()).keys.size(),
                     chart->bars().size() - 1);
        }
        QCOMPARE(first.bars().close().constData(), second.bars().close().constData());
        if (change == "append")
            QVERIFY(held != before);
    }
};

KESTRAL_TEST_MAIN(TestBarStore)
#include "tst_barstore.moc"
