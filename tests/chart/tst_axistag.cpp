#include "axistag.h"
#include "testmain.h"

#include <qcustomplot.h>

class TestAxisTag : public QObject
{
    Q_OBJECT

private slots:
    void sitsOnItsAxisAtItsValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("moved within the range") << 1.15 << "1.23456";
        QTest::newRow("above the range, drawn outside the plot area") << 1.2015 << "1.2015";
        QTest::newRow("at the lower end, on the plot area's bottom edge") << 1.10 << "1.1";
        QTest::newRow("below the range, drawn under the plot area") << 1.0985 << "1.0985";
        QTest::newRow("an empty text shows an empty label") << 1.11 << "";
    }
    void sitsOnItsAxisAtItsValue()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCustomPlot plot;
        plot.resize(600, 400);
        plot.yAxis2->setVisible(true);
        plot.yAxis2->setRange(1.10, 1.20);
        AxisTag tag(plot.yAxis2);
        tag.setText(text);
        tag.updatePosition(1.12); // moved again below: the tag must not keep its first place
        tag.updatePosition(value);
        plot.setViewport(plot.rect()); // as a shown plot's resize sets it
        plot.replot();
        plot.replot(); // margins settle once the tick labels are measured
        // The arrow points at the value on the axis, the label beside it, both drawn outside the plot area.
        auto *label = plot.findChild<QCPItemText *>();
        auto *arrow = plot.findChild<QCPItemLine *>();
        const QPointF head = arrow->end->pixelPosition();
        QCOMPARE(head, QPointF(plot.axisRect()->rect().right() + 1, plot.yAxis2->coordToPixel(value)));
        QCOMPARE(label->position->pixelPosition(), head + QPointF(5, 0));
        QCOMPARE(QList<bool>({label->clipToAxisRect(), arrow->clipToAxisRect()}), QList<bool>({false, false}));
        QCOMPARE(QStringList({label->layer()->name(), arrow->layer()->name()}), QStringList({"overlay", "overlay"}));
        QCOMPARE(QList<int>({arrow->head().style(), int(arrow->head().width()), int(arrow->head().length())}),
                 QList<int>({QCPLineEnding::esSpikeArrow, 8, 10}));
        QCOMPARE(label->text(), text);
        // A white box framed in blue, with the text left of centre beside the arrow.
        QCOMPARE(QList<QColor>({label->brush().color(), label->pen().color()}), QList<QColor>({Qt::white, Qt::blue}));
        QCOMPARE(label->positionAlignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(label->padding(), QMargins(3, 0, 3, 0));
        const QImage picture = plot.toPixmap(600, 400).toImage();
        int blue = 0, white = 0;
        for (int y = std::max(0, qRound(head.y()) - 12); y <= qRound(head.y()) + 12; ++y) {
            for (int x = int(head.x()) + 4; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                blue += c.blue() - std::max(c.red(), c.green()) > 100;
                white += c == QColor(Qt::white);
            }
        }
        QVERIFY2(text.isEmpty() || (blue >= 10 && white >= 10),
                 qPrintable(QStringLiteral("%1 blue, %2 white").arg(blue).arg(white)));
    }

    void itemsGoWithTheTag_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("the tag is deleted") << "delete tag";
        QTest::newRow("the plot cleared its items before the tag went") << "clear items";
        QTest::newRow("the pane holding the tag is taken out of the layout") << "remove pane";
        QTest::newRow("the plot goes with the tag alive") << "delete plot";
    }
    void itemsGoWithTheTag()
    {
        QFETCH(QString, ending);
        auto plot = std::make_unique<QCustomPlot>();
        auto *pane = new QCPAxisRect(plot.get());
        plot->plotLayout()->addElement(1, 0, pane);
        new QCPItemStraightLine(plot.get()); // somebody else's item must survive
        QPointer<AxisTag> tag = new AxisTag(pane->axis(QCPAxis::atRight));
        QCOMPARE(plot->itemCount(), 4);
        if (ending == "clear items") {
            plot->clearItems();
            new QCPItemStraightLine(plot.get());
        }
        if (ending == "remove pane")
            plot->plotLayout()->remove(pane);
        if (ending == "delete plot")
            plot.reset();
        if (ending != "remove pane")
            delete tag;
        QVERIFY(tag.isNull());
        if (!plot)
            return; // the sanitizers report a tag touching its destroyed plot
        QVERIFY(plot->itemCount() == 1 && qobject_cast<QCPItemStraightLine *>(plot->item(0)));
        plot->replot();
    }
};

KESTRAL_TEST_MAIN(TestAxisTag)
#include "tst_axistag.moc"
