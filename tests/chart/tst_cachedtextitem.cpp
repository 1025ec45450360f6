// A label laid out once paints what the plain text item paints, in the same box,
// also after its text, font or alignment changed between replots. Glyphs may sit
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
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.right() - b.right()) <= 1 &&
           std::abs(a.top() - b.top()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1;
}

QString describe(const QRect &actual, const QRect &expected)
{
    return QStringLiteral("(%1,%2 %3x%4) against (%5,%6 %7x%8)")
        .arg(actual.x())
        .arg(actual.y())
        .arg(actual.width())
        .arg(actual.height())
        .arg(expected.x())
        .arg(expected.y())
        .arg(expected.width())
        .arg(expected.height());
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
        QTest::addColumn<QString>("change");
        QTest::newRow("bare label left of its point") << Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) << false << "";
        QTest::newRow("boxed price tag") << Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) << true << "";
        QTest::newRow("centred under its point") << Qt::Alignment(Qt::AlignHCenter | Qt::AlignTop) << true << "";
        QTest::newRow("text changed after a replot")
            << Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) << true << "text";
        QTest::newRow("font changed after a replot")
            << Qt::Alignment(Qt::AlignRight | Qt::AlignBottom) << false << "font";
        QTest::newRow("text shortened after a replot")
            << Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) << false << "shorter";
    }
    void paintsAsThePlainItem()
    {
        QFETCH(Qt::Alignment, placement);
        QFETCH(bool, boxed);
        QFETCH(QString, change);
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
            label->setText(QStringLiteral("1.23456"));
            if (boxed) {
                label->setPadding(QMargins(3, 1, 3, 1));
                label->setBrush(QBrush(Qt::yellow));
                label->setPen(QPen(Qt::red));
            }
            plot.replot();
            if (change == "text")
                label->setText(QStringLiteral("61.8% of the swing"));
            if (change == "font")
                label->setFont(QFont(label->font().family(), 17, QFont::Bold));
            if (change == "shorter") {
                label->setText(QStringLiteral("100.0% and more"));
                plot.replot();
                label->setText(QStringLiteral("0%"));
            }
            plot.replot();
            pictures[cached] = plot.toPixmap(240, 160).toImage();
        }
        const Ink plain = inkOf(pictures[0]), cached = inkOf(pictures[1]);
        QVERIFY(plain.pixels > 20);
        QVERIFY2(near(cached.box, plain.box), qPrintable(describe(cached.box, plain.box)));
        QVERIFY2(near(cached.text, plain.text), qPrintable(describe(cached.text, plain.text)));
        QVERIFY2(std::abs(cached.pixels - plain.pixels) * 10 <= plain.pixels,
                 qPrintable(QStringLiteral("%1 against %2 inked pixels").arg(cached.pixels).arg(plain.pixels)));
    }
};

KESTRAL_TEST_MAIN(TestCachedTextItem)
#include "tst_cachedtextitem.moc"
