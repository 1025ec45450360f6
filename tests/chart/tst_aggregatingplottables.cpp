// Candles, a line and a histogram zoomed out to many bars a pixel: the picture drawn from
// per-column aggregates shows, column by column, the same span and colour as every bar.
#include "aggregatingbars.h"
#include "aggregatingfinancial.h"
#include "aggregatinggraph.h"
#include "testmain.h"

#include <climits>
#include <cmath>

namespace {

const QColor up(Qt::green);
const QColor down(Qt::red);

// Per column: the top and bottom painted rows, and how many pixels have the rising or falling colour.
struct Column
{
    int top = -1, bottom = -1, ups = 0, downs = 0;
};

enum Mode { Plain, Aggregating, FromSource };

QVector<Column> render(const QString &kind, int bars, Mode mode)
{
    const bool aggregating = mode != Plain;
    QCustomPlot plot;
    plot.resize(300, 200);
    QVector<double> keys, open, high, low, close, values;
    double price = 100.0;
    for (int i = 0; i < bars; ++i) {
        // Long rises and falls with lone spikes either way, so columns differ in span and colour.
        const double wave = std::sin(i * 6.283 / bars * 3);
        keys << i;
        open << price;
        price += wave > 0 ? 0.01 : -0.01;
        close << price;
        high << std::max(open.last(), price) + (i % 997 == 0 ? 3.0 : 0.005);
        low << std::min(open.last(), price) - (i % 1499 == 0 ? 3.0 : 0.005);
        const bool gap = kind == "line" && i > bars / 2 && i < bars / 2 + bars / 100;
        // A smooth line has a narrow span per column, so its joins from column to column show.
        const double spikes = kind == "smooth line" ? 0.0 : (i % 1231 == 7 ? 1.5 : 0.0) - (i % 1777 == 7 ? 1.5 : 0.0);
        // Noise overlaps neighbouring columns' spans; steps jump between them, mid-column or at an edge.
        const double noise = std::fmod(std::abs(std::sin(i * 12.9898) * 43758.5453), 1.0) - 0.5;
        const double step = (i / (bars / 53)) % 2 == 0 ? -1.5 : 1.5;
        values << (gap                       ? std::nan("")
                   : kind == "noisy line"    ? wave * 0.5 + noise * 2.0
                   : kind == "stepping line" ? step + wave * 0.2
                                             : wave + spikes);
    }
    // A source reads the series in place, through their summaries.
    SummaryPyramid valueSummary, highSummary, lowSummary;
    valueSummary.update(values.constData(), bars, 0);
    highSummary.update(high.constData(), bars, 0);
    lowSummary.update(low.constData(), bars, 0);
    const SeriesSource lineSource = [&] { return SeriesView{0.0, values.constData(), bars, &valueSummary}; };
    const CandleSource candleSource = [&] {
        return CandleView{open.constData(),
                          high.constData(),
                          low.constData(),
                          close.constData(),
                          bars,
                          &highSummary,
                          &lowSummary,
                          false,
                          {}};
    };
    plot.yAxis->setRange(-3, 3);
    if (kind.endsWith("line")) {
        QCPGraph *line =
            aggregating ? new AggregatingGraph(plot.xAxis, plot.yAxis) : new QCPGraph(plot.xAxis, plot.yAxis);
        line->setPen(QPen(up));
        line->setData(keys, values, true);
        if (mode == FromSource)
            static_cast<AggregatingGraph *>(line)->setSource(lineSource);
    } else if (kind == "histogram") {
        QCPBars *histogram =
            aggregating ? new AggregatingBars(plot.xAxis, plot.yAxis) : new QCPBars(plot.xAxis, plot.yAxis);
        histogram->setPen(QPen(up));
        histogram->setBrush(up);
        histogram->setData(keys, values, true);
        if (mode == FromSource)
            static_cast<AggregatingBars *>(histogram)->setSource(lineSource);
    } else {
        QCPFinancial *candles =
            aggregating ? new AggregatingFinancial(plot.xAxis, plot.yAxis) : new QCPFinancial(plot.xAxis, plot.yAxis);
        candles->setChartStyle(kind == "bars" ? QCPFinancial::csOhlc : QCPFinancial::csCandlestick);
        candles->setTwoColored(true);
        candles->setWidth(0.75);
        candles->setBrushPositive(up);
        candles->setBrushNegative(down);
        candles->setPenPositive(QPen(up));
        candles->setPenNegative(QPen(down));
        candles->setData(keys, open, high, low, close, true);
        plot.yAxis->rescale();
        if (mode == FromSource)
            static_cast<AggregatingFinancial *>(candles)->setSource(candleSource);
    }
    plot.xAxis->setRange(-1, bars);

    const QImage image = plot.toPixmap(300, 200).toImage();
    QVector<Column> result(image.width());
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            const bool isUp = c.green() - std::max(c.red(), c.blue()) > 60; // antialiased edges count too
            const bool isDown = c.red() - std::max(c.green(), c.blue()) > 60;
            if (!isUp && !isDown)
                continue;
            Column &column = result[x];
            if (column.top < 0)
                column.top = y;
            column.bottom = y;
            (isUp ? column.ups : column.downs)++;
        }
    }
    return result;
}

// Candles are antialiased, so a bar near a column's edge tints its neighbour and
// a line's faint end may not count as painted: each column must lie within what
// the other picture paints around it, give or take the faint ends.
bool within(const QVector<Column> &one, const QVector<Column> &other, int x)
{
    int top = INT_MAX, bottom = -1;
    for (int n = std::max(0, x - 1); n <= std::min(other.size() - 1, x + 1); ++n) {
        if (other[n].top >= 0) {
            top = std::min(top, other[n].top);
            bottom = std::max(bottom, other[n].bottom);
        }
    }
    return one[x].top < 0 || (one[x].top >= top - 4 && one[x].bottom <= bottom + 4);
}

// Bars that each move against their stretch. In the first two kinds of stretch every bar
// falls (rises) by 1 and the next opens 2 higher (lower): a column's candle, from the first
// bar's open to the last bar's close, rises (falls) while each bar shows the other colour.
// In the other two the next bar opens a hair beyond where the last one opened, so the
// column's candle keeps its bars' colour while its last open lies the other side of its first.
constexpr int stretch = 600;

QVector<double> againstTheStretch(int bars, QVector<double> &open, QVector<double> &high, QVector<double> &low,
                                  QVector<double> &close)
{
    QVector<double> keys;
    const double hair = 10.0 / bars; // a column holds bars / 250 or so
    double price = 1000.0;
    for (int i = 0; i < bars; ++i) {
        const int kind = (i / stretch) % 4;
        const double move = kind % 2 == 0 ? -1.0 : 1.0;
        keys << i;
        open << price;
        close << price + move;
        high << std::max(open.last(), close.last()) + 0.1;
        low << std::min(open.last(), close.last()) - 0.1;
        price = kind < 2 ? close.last() - 2.0 * move : open.last() - hair * move;
    }
    return keys;
}

// Per pixel column of the plot, whether rising pixels outnumber falling ones; -1 where nothing is painted.
// `edges` gets the key at each pixel column's left edge.
QVector<int> columnColours(int bars, Mode mode, QVector<double> &edges)
{
    QCustomPlot plot;
    plot.resize(300, 200);
    plot.setViewport(plot.rect()); // as a shown plot's resize sets it
    QVector<double> open, high, low, close;
    const QVector<double> keys = againstTheStretch(bars, open, high, low, close);
    SummaryPyramid highSummary, lowSummary;
    highSummary.update(high.constData(), bars, 0);
    lowSummary.update(low.constData(), bars, 0);
    auto *candles = new AggregatingFinancial(plot.xAxis, plot.yAxis);
    candles->setChartStyle(QCPFinancial::csCandlestick);
    candles->setTwoColored(true);
    candles->setWidth(0.75);
    candles->setBrushPositive(up);
    candles->setBrushNegative(down);
    candles->setPenPositive(QPen(up));
    candles->setPenNegative(QPen(down));
    candles->setData(keys, open, high, low, close, true);
    plot.yAxis->rescale();
    if (mode == FromSource) {
        candles->setSource([&] {
            return CandleView{open.constData(),
                              high.constData(),
                              low.constData(),
                              close.constData(),
                              bars,
                              &highSummary,
                              &lowSummary,
                              false,
                              {}};
        });
    }
    plot.xAxis->setRange(-1, bars);
    plot.replot();
    const QImage image = plot.toPixmap(300, 200).toImage();
    for (int x = 0; x <= image.width(); ++x)
        edges << plot.xAxis->pixelToCoord(x);
    QVector<int> result(image.width(), -1);
    for (int x = 0; x < image.width(); ++x) {
        int ups = 0, downs = 0;
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            ups += c.green() - std::max(c.red(), c.blue()) > 60;
            downs += c.red() - std::max(c.green(), c.blue()) > 60;
        }
        result[x] = ups + downs == 0 ? -1 : ups > downs;
    }
    return result;
}

} // namespace

class TestAggregatingPlottables : public QObject
{
    Q_OBJECT

private slots:
    void samePictureAsEveryBar_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("mode");
        for (const int mode : {Aggregating, FromSource}) {
            const char *how = mode == FromSource ? ", read in place" : "";
            const auto row = [&](const char *name, const char *kind, int bars) {
                QTest::newRow(qPrintable(QString::fromLatin1(name) + how)) << kind << bars << mode;
            };
            row("candles, a few bars a pixel", "candles", 2000);
            row("candles, many bars a pixel", "candles", 60000);
            row("bars, many bars a pixel", "bars", 60000);
            row("candles, under a bar a pixel: drawn bar by bar", "candles", 300);
            row("a line, many points a pixel", "line", 200000);
            row("a line, under a point a pixel", "line", 200);
            row("a smooth line, many points a pixel", "smooth line", 200000);
            row("a noisy line, many points a pixel", "noisy line", 200000);
            row("a line stepping between flat stretches", "stepping line", 200000);
            row("a line stepping, a few points a pixel", "stepping line", 3000);
            row("a histogram, many bars a pixel", "histogram", 60000);
        }
    }
    void samePictureAsEveryBar()
    {
        QFETCH(QString, kind);
        QFETCH(int, bars);
        QFETCH(int, mode);
        const QVector<Column> expected = render(kind, bars, Plain);
        const QVector<Column> actual = render(kind, bars, Mode(mode));
        int painted = 0;
        for (int x = 0; x < expected.size(); ++x) {
            const Column &e = expected[x];
            const Column &a = actual[x];
            painted += e.top >= 0;
            QVERIFY2(within(actual, expected, x) && within(expected, actual, x),
                     qPrintable(QString::asprintf("column %d spans %d..%d, every bar %d..%d", x, a.top, a.bottom, e.top,
                                                  e.bottom)));
            // The colour, where one plainly wins.
            QVERIFY2(std::abs(e.ups - e.downs) <= 4 || (a.ups > a.downs) == (e.ups > e.downs),
                     qPrintable(QStringLiteral("column %1 has the other colour").arg(x)));
        }
        QVERIFY2(painted > 200, qPrintable(QString::number(painted)));
    }

    // A zoomed-out line is drawn with fewer points than it has columns' ends; each
    // column still paints from the same top to the same bottom as every point does.
    void lineColumnsAsEveryPoint_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("bars");
        QTest::newRow("smooth, many points a pixel") << "smooth line" << 200000;
        QTest::newRow("smooth, a few points a pixel") << "smooth line" << 3000;
        QTest::newRow("noisy, spans overlapping") << "noisy line" << 200000;
        QTest::newRow("noisy, a few points a pixel") << "noisy line" << 3000;
    }
    void lineColumnsAsEveryPoint()
    {
        QFETCH(QString, kind);
        QFETCH(int, bars);
        const QVector<Column> expected = render(kind, bars, Plain);
        const QVector<Column> actual = render(kind, bars, FromSource);
        int painted = 0;
        for (int x = 0; x < expected.size(); ++x) {
            const Column &e = expected[x];
            const Column &a = actual[x];
            painted += e.top >= 0;
            // Antialiased ends may tip a pixel either way.
            const bool same = (e.top < 0) == (a.top < 0) &&
                              (e.top < 0 || (std::abs(a.top - e.top) <= 1 && std::abs(a.bottom - e.bottom) <= 1));
            QVERIFY2(same, qPrintable(QString::asprintf("column %d spans %d..%d, every point %d..%d", x, a.top,
                                                        a.bottom, e.top, e.bottom)));
        }
        QVERIFY2(painted > 200, qPrintable(QString::number(painted)));
    }

    // Zoomed out, a column's candle opens where its first bar opens and closes where its last
    // bar closes; its colour shows which is higher.
    void zoomedOutCandleRunsFromFirstOpenToLastClose_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("bars");
        QTest::newRow("bars given as data, a score a pixel") << int(Aggregating) << 6000;
        QTest::newRow("bars read in place, a score a pixel") << int(FromSource) << 6000;
        QTest::newRow("bars read in place, many hundred a pixel") << int(FromSource) << 30 * stretch * 2;
    }
    void zoomedOutCandleRunsFromFirstOpenToLastClose()
    {
        QFETCH(int, mode);
        QFETCH(int, bars);
        QVector<double> edges;
        const QVector<int> colours = columnColours(bars, Mode(mode), edges);
        QVector<double> open, high, low, close;
        againstTheStretch(bars, open, high, low, close);
        int checked = 0;
        for (int x = 0; x < colours.size(); ++x) {
            // A plain reading: the bars whose keys fall in the pixel column.
            const int first = std::max(0, int(std::ceil(edges[x])));
            const int last = std::min(bars, int(std::ceil(edges[x + 1]))) - 1;
            // Columns where a stretch turns, or of few bars, take no side; the plot's edge may paint none.
            if (colours[x] < 0 || last - first < 4 || first / stretch != last / stretch ||
                (first - 2) / stretch != (last + 2) / stretch)
                continue;
            const bool rising = close[last] > open[first];
            QVERIFY2(
                colours[x] == int(rising),
                qPrintable(
                    QStringLiteral("column %1 (bars %2..%3) shows %4").arg(x).arg(first).arg(last).arg(colours[x])));
            ++checked;
        }
        QVERIFY2(checked > 150, qPrintable(QString::number(checked)));
    }
};

KESTRAL_TEST_MAIN(TestAggregatingPlottables)
#include "tst_aggregatingplottables.moc"
