// A label laid out once paints what the plain text item paints, in the same box,
// also after its text or font changed between replots. Glyphs may sit
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
        QTest::addColumn<Qt::Alignment>("placement");
        QTest::addColumn<bool>("boxed");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("later"); // set after the first replot; empty: none
        QTest::addColumn<int>("laterPoints"); // a bold font of this size after the first replot; 0: none
        const Qt::Alignment beside = Qt::AlignLeft | Qt::AlignVCenter;
        QTest::newRow("bare label beside its point") << beside << false << "1.23456"
                                                     << "" << 0;
        QTest::newRow("boxed price tag") << beside << true << "1.23456"
                                         << "" << 0;
        QTest::newRow("centred under its point") << Qt::Alignment(Qt::AlignHCenter | Qt::AlignTop) << true << "1.23456"
                                                 << "" << 0;
        QTest::newRow("text lengthened") << beside << true << "1.23456"
                                         << "61.8% of the swing" << 0;
        QTest::newRow("text shortened") << beside << false << "100.0% and more"
                                        << "0%" << 0;
        QTest::newRow("font enlarged") << Qt::Alignment(Qt::AlignRight | Qt::AlignBottom) << false << "1.23456"
                                       << "" << 17;
    }
    void paintsAsThePlainItem()
    {
        QFETCH(Qt::Alignment, placement);
        QFETCH(bool, boxed);
        QFETCH(QString, first);
        QFETCH(QString, later);
        QFETCH(int, laterPoints);
        QImage pictures[2];
        for (int cached = 0; cached < 2; ++cached) {
            QCustomPlot plot;
            plot.resize(240, 160);
            for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
                axis->setVisible(false);
                axis->grid()->setVisible(false);
            }
            QCPItemText *label = cached ? new CachedTextItem(&plot) : new QCPItemText(&plot);
            label->setPositionAlignment(placement);
            label->position->setCoords(2, 3);
            label->setColor(Qt::darkBlue);
            label->setText(first);
            if (boxed) {
                label->setPadding(QMargins(3, 1, 3, 1));
                label->setBrush(QBrush(Qt::yellow));
                label->setPen(QPen(Qt::red));
            }
            plot.replot();
            if (!later.isEmpty())
                label->setText(later);
            if (laterPoints)
                label->setFont(QFont(label->font().family(), laterPoints, QFont::Bold));
            pictures[cached] = plot.toPixmap(240, 160).toImage();
        }
        const Ink plain = inkOf(pictures[0]), cached = inkOf(pictures[1]);
        QVERIFY(plain.pixels > 20 && near(cached.box, plain.box) && near(cached.text, plain.text));
        QVERIFY(std::abs(cached.pixels - plain.pixels) * 10 <= plain.pixels);
    }
};

KESTRAL_TEST_MAIN(TestCachedTextItem)
#include "tst_cachedtextitem.moc"
