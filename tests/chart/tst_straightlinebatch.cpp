// Straight lines painted together look exactly as when each line paints itself.
#include "straightlinebatch.h"
#include "testmain.h"

#include <QtTest>

namespace {

struct Line
{
    QPointF a, b;
    QPen pen;
    bool antialiased = false;
    bool visible = true;
};

QImage picture(const QList<Line> &lines, bool batched)
{
    QCustomPlot plot;
    plot.resize(300, 200);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 10);
    StraightLineBatch *batch = nullptr;
    if (batched) {
        plot.addLayer("lines", plot.layer("main"), QCustomPlot::limAbove);
        batch = new StraightLineBatch(&plot, plot.layer("lines"), plot.layer("main"));
    }
    for (const Line &l : lines) {
        QCPItemStraightLine *item = batched ? batch->addLine() : new QCPItemStraightLine(&plot);
        item->point1->setCoords(l.a);
        item->point2->setCoords(l.b);
        item->setPen(l.pen);
        item->setAntialiased(l.antialiased);
        item->setVisible(l.visible);
    }
    return plot.toPixmap(300, 200).toImage();
}

int pixelsOf(const QImage &image, const QColor &color)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == color;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(QList<Line>)

class TestStraightLineBatch : public QObject
{
    Q_OBJECT

private slots:
    void samePicture_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        const QPen red(Qt::red), blue(Qt::blue);
        QTest::newRow("levels and times of one pen")
            << QList<Line>{{{0, 2}, {10, 2}, red}, {{40, 0}, {40, 1}, red}, {{0, 7.3}, {1, 7.3}, red}};
        QTest::newRow("two pens, crossing")
            << QList<Line>{{{0, 5}, {1, 5}, red}, {{70, 0}, {70, 9}, red}, {{30, 0}, {30, 1}, blue},
                           {{0, 8}, {5, 8}, blue}};
        QTest::newRow("slanted and smoothed")
            << QList<Line>{{{0, 0}, {100, 10}, red, true}, {{0, 10}, {50, 0}, blue, true}, {{0, 3}, {90, 4}, red}};
        QTest::newRow("a wide pen and a dashed one")
            << QList<Line>{{{0, 4}, {1, 4}, QPen(Qt::darkGreen, 3)}, {{20, 0}, {20, 1}, QPen(Qt::red, 1, Qt::DashLine)}};
        QTest::newRow("hidden and outside the axis rect")
            << QList<Line>{{{0, 4}, {1, 4}, red, false, false}, {{0, 40}, {1, 40}, blue}, {{-5, 0}, {-5, 1}, blue},
                           {{0, 6}, {1, 6}, blue}};
    }
    void samePicture()
    {
        QFETCH(QList<Line>, lines);
        const QImage plain = picture(lines, false);
        QVERIFY(pixelsOf(plain, lines.last().pen.color()) > 0);
        QCOMPARE(picture(lines, true), plain);
    }
};

KESTRAL_TEST_MAIN(TestStraightLineBatch)
#include "tst_straightlinebatch.moc"
