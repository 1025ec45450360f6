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

QImage render(QCPFinancial *(*make)(QCustomPlot &), int bars, QCPFinancial::ChartStyle style)
{
    QCustomPlot plot;
    plot.resize(300, 200);
    QCPFinancial *candles = make(plot);
    candles->setChartStyle(style);
    candles->setTwoColored(true);
    candles->setWidth(0.75);
    candles->setBrushPositive(up);
    candles->setBrushNegative(down);
    candles->setPenPositive(QPen(up));
    candles->setPenNegative(QPen(down));
    QVector<double> keys, open, high, low, close;
    double price = 100.0;
    for (int i = 0; i < bars; ++i) {
        // Long rises and falls, each with one spike, so columns differ in span and colour.
        const double step = std::sin(i * 6.283 / bars * 3) > 0 ? 0.01 : -0.01;
        keys << i;
        open << price;
        price += step;
        close << price;
        high << std::max(open.last(), price) + (i % 997 == 0 ? 3.0 : 0.005);
        low << std::min(open.last(), price) - (i % 1499 == 0 ? 3.0 : 0.005);
    }
    candles->setData(keys, open, high, low, close, true);
    plot.xAxis->setRange(-1, bars);
    plot.yAxis->rescale();
    return plot.toPixmap(300, 200).toImage();
}

// Per column: the top and bottom painted rows, and whether rising or falling colour dominates.
struct Column
{
    int top = -1, bottom = -1, ups = 0, downs = 0;
};

QVector<Column> columns(const QImage &image)
{
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

// Where the two pictures differ, or an empty text: column spans, and the
// colour of columns where one plainly wins; a picture must show something.
QString difference(const QVector<Column> &expected, const QVector<Column> &actual)
{
    int painted = 0;
    for (int x = 0; x < expected.size(); ++x) {
        const Column &e = expected[x];
        const Column &a = actual[x];
        painted += e.top >= 0;
        if (!within(actual, expected, x) || !within(expected, actual, x))
            return QStringLiteral("column %1 spans %2..%3, every bar %4..%5")
                .arg(x)
                .arg(a.top)
                .arg(a.bottom)
                .arg(e.top)
                .arg(e.bottom);
        if (std::abs(e.ups - e.downs) > 4 && (a.ups > a.downs) != (e.ups > e.downs))
            return QStringLiteral("column %1 has the other colour").arg(x);
    }
    return painted > 200 ? QString() : QStringLiteral("only %1 columns painted").arg(painted);
}

} // namespace

class TestAggregatingPlottables : public QObject
{
    Q_OBJECT

private slots:
    void samePictureAsEveryBar_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("style");
        QTest::newRow("candles, a few bars a pixel") << 2000 << int(QCPFinancial::csCandlestick);
        QTest::newRow("candles, many bars a pixel") << 60000 << int(QCPFinancial::csCandlestick);
        QTest::newRow("bars, many bars a pixel") << 60000 << int(QCPFinancial::csOhlc);
        QTest::newRow("candles, under a bar a pixel: drawn bar by bar") << 300 << int(QCPFinancial::csCandlestick);
    }
    void samePictureAsEveryBar()
    {
        QFETCH(int, bars);
        QFETCH(int, style);
        const auto plain = [](QCustomPlot &p) { return new QCPFinancial(p.xAxis, p.yAxis); };
        const auto aggregating = [](QCustomPlot &p) -> QCPFinancial * {
            return new AggregatingFinancial(p.xAxis, p.yAxis);
        };
        const QVector<Column> expected = columns(render(plain, bars, QCPFinancial::ChartStyle(style)));
        const QVector<Column> actual = columns(render(aggregating, bars, QCPFinancial::ChartStyle(style)));
        const QString failure = difference(expected, actual);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void lineSamePictureAsEveryPoint_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("a few points a pixel") << 2000;
        QTest::newRow("many points a pixel") << 200000;
        QTest::newRow("under a point a pixel: drawn point by point") << 200;
    }
    void lineSamePictureAsEveryPoint()
    {
        QFETCH(int, points);
        const auto render = [points](bool aggregating) {
            QCustomPlot plot;
            plot.resize(300, 200);
            QCPGraph *line =
                aggregating ? new AggregatingGraph(plot.xAxis, plot.yAxis) : new QCPGraph(plot.xAxis, plot.yAxis);
            line->setPen(QPen(up));
            QVector<double> keys, values;
            for (int i = 0; i < points; ++i) {
                keys << i;
                // A wave with lone spikes either way and a stretch of gaps.
                const bool gap = i > points / 2 && i < points / 2 + points / 100;
                values << (gap ? std::nan("")
                               : std::sin(i * 6.283 / points * 3) + (i % 1231 == 7 ? 1.5 : 0.0) -
                                     (i % 1777 == 7 ? 1.5 : 0.0));
            }
            line->setData(keys, values, true);
            plot.xAxis->setRange(-1, points);
            plot.yAxis->setRange(-3, 3);
            return columns(plot.toPixmap(300, 200).toImage());
        };
        const QVector<Column> expected = render(false);
        const QVector<Column> actual = render(true);
        const QString failure = difference(expected, actual);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void histogramSamePictureAsEveryBar_data()
    {
        QTest::addColumn<int>("bars");
        QTest::newRow("a few bars a pixel") << 2000;
        QTest::newRow("many bars a pixel") << 60000;
    }
    void histogramSamePictureAsEveryBar()
    {
        QFETCH(int, bars);
        const auto render = [bars](bool aggregating) {
            QCustomPlot plot;
            plot.resize(300, 200);
            QCPBars *histogram =
                aggregating ? new AggregatingBars(plot.xAxis, plot.yAxis) : new QCPBars(plot.xAxis, plot.yAxis);
            histogram->setPen(QPen(up));
            histogram->setBrush(up);
            QVector<double> keys, values;
            for (int i = 0; i < bars; ++i) {
                keys << i;
                // Swings through zero, with lone spikes either way.
                values << std::sin(i * 6.283 / bars * 4) + (i % 1231 == 0 ? 2.5 : 0.0) - (i % 1777 == 0 ? 2.5 : 0.0);
            }
            histogram->setData(keys, values, true);
            plot.xAxis->setRange(-1, bars);
            plot.yAxis->setRange(-4, 4);
            return columns(plot.toPixmap(300, 200).toImage());
        };
        const QVector<Column> expected = render(false);
        const QVector<Column> actual = render(true);
        const QString failure = difference(expected, actual);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

KESTRAL_TEST_MAIN(TestAggregatingPlottables)
#include "tst_aggregatingplottables.moc"
