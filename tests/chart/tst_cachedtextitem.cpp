// A label laid out once paints what the plain text item paints, in the same box,
// also after its text changed between replots. Glyphs may sit
// a fraction of a pixel apart, so the pictures are compared by their ink.
#include "cachedtextitem.h"
#include "testmain.h"

namespace {

// Where the label painted (any pixel off white), and how far its text reaches.
struct Ink
{
    QRect box, text;
    int pixels = 0;
};

Ink inkOf(const QImage &picture)
{
    Ink ink;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            if (colour == Qt::white)
                continue;
            ++ink.pixels;
            ink.box |= QRect(x, y, 1, 1);
            // The text's dark blue, not the box's yellow fill or red frame.
            if (colour.blue() > colour.red() + 60 && colour.blue() > colour.green() + 60)
                ink.text |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// Antialiased glyph edges may reach one pixel further either way.
bool near(const QRect &a, const QRect &b)
{
    return (a.topLeft() - b.topLeft()).manhattanLength() <= 2 &&
           (a.bottomRight() - b.bottomRight()).manhattanLength() <= 2;
}

} // namespace

class TestCachedTextItem : public QObject
{
    Q_OBJECT

private slots:
    void paintsAsThePlainItem_data()
    {
        QTest::addColumn<QString>("later"); // set after the first replot; empty: none
        QTest::newRow("boxed price tag") << "";
        QTest::newRow("text lengthened") << "61.8% of the swing";
    }
    void paintsAsThePlainItem()
    {
        QFETCH(QString, later);
        QImage pictures[2];
        for (int cached = 0; cached < 2; ++cached) {
            QCustomPlot plot;
            plot.resize(240, 160);
            for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
                axis->setVisible(false);
                axis->grid()->setVisible(false);
            }
            QCPItemText *label = cached ? new CachedTextItem(&plot) : new QCPItemText(&plot);
            label->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->position->setCoords(2, 3);
            label->setColor(Qt::darkBlue);
            label->setText(QStringLiteral("1.23456"));
            label->setPadding(QMargins(3, 1, 3, 1));
            label->setBrush(QBrush(Qt::yellow));
            label->setPen(QPen(Qt::red));
            plot.replot();
            if (!later.isEmpty())
                label->setText(later);
            pictures[cached] = plot.toPixmap(240, 160).toImage();
        }
        const Ink plain = inkOf(pictures[0]), cached = inkOf(pictures[1]);
        QVERIFY(plain.pixels > 20 && near(cached.box, plain.box) && near(cached.text, plain.text));
        QVERIFY(std::abs(cached.pixels - plain.pixels) * 10 <= plain.pixels);
    }
};

KESTRAL_TEST_MAIN(TestCachedTextItem)
#include "tst_cachedtextitem.moc"
