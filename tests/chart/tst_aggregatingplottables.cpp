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
        values << (gap ? std::nan("") : wave + spikes);
    }
    // A source reads the series in place, through their summaries.
    SummaryPyramid valueSummary, highSummary, lowSummary;
    valueSummary.update(values.constData(), bars, 0);
    highSummary.update(high.constData(), bars, 0);
    lowSummary.update(low.constData(), bars, 0);
    const SeriesSource lineSource = [&] { return SeriesView{0.0, values.constData(), bars, &valueSummary}; };
    const CandleSource candleSource = [&] {
        return CandleView{open.constData(), high.constData(), low.constData(), close.constData(), bars,
                          &highSummary, &lowSummary, false, {}};
    };
    plot.yAxis->setRange(-3, 3);
    if (kind == "line" || kind == "smooth line") {
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
};

KESTRAL_TEST_MAIN(TestAggregatingPlottables)
#include "tst_aggregatingplottables.moc"
