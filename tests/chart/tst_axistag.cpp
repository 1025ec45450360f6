#include "axistag.h"
#include "testmain.h"

#include <qcustomplot.h>

namespace {

void setUpPlot(QCustomPlot &plot)
{
    plot.resize(600, 400);
    plot.yAxis2->setVisible(true);
    plot.yAxis2->setRange(1.10, 1.20);
}

} // namespace

class TestAxisTag : public QObject
{
    Q_OBJECT

private slots:
    void followsItsValue()
    {
        const double value = 1.15;
        QCustomPlot plot;
        setUpPlot(plot);
        AxisTag tag(plot.yAxis2);
        tag.setText(QStringLiteral("1.23456"));
        tag.updatePosition(1.12); // moved again below: the tag must not keep its first place
        tag.updatePosition(value);
        plot.replot();

        QCOMPARE(plot.itemCount(), 3);
        auto *label = plot.findChild<QCPItemText *>();
        auto *arrow = plot.findChild<QCPItemLine *>();
        const QRect rect = plot.axisRect()->rect();
        const QPointF head = arrow->end->pixelPosition();
        QCOMPARE(head.x(), double(rect.right() + 1));
        QCOMPARE(head.y(), plot.yAxis2->coordToPixel(value));
        QCOMPARE(label->position->pixelPosition(), head + QPointF(5, 0));
        QCOMPARE(label->layer()->name(), QStringLiteral("overlay"));
        QVERIFY(!label->clipToAxisRect() && !arrow->clipToAxisRect());
        QCOMPARE(label->text(), QStringLiteral("1.23456"));
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
        auto owner = std::make_unique<QCustomPlot>();
        QCustomPlot &plot = *owner;
        setUpPlot(plot);
        auto *pane = new QCPAxisRect(&plot);
        plot.plotLayout()->addElement(1, 0, pane);
        new QCPItemStraightLine(&plot); // somebody else's item must survive

        QPointer<AxisTag> tag = new AxisTag(pane->axis(QCPAxis::atRight));
        QCOMPARE(plot.itemCount(), 4);
        if (ending == QLatin1String("delete tag")) {
            delete tag;
        } else if (ending == QLatin1String("clear items")) {
            plot.clearItems();
            new QCPItemStraightLine(&plot);
            delete tag;
        } else {
            ending == QLatin1String("remove pane") ? void(plot.plotLayout()->remove(pane)) : owner.reset();
            QVERIFY(tag.isNull());
            if (!owner)
                return;
        }
        QCOMPARE(plot.itemCount(), 1);
        QVERIFY(qobject_cast<QCPItemStraightLine *>(plot.item(0)));
        plot.replot();
    }
};

KESTRAL_TEST_MAIN(TestAxisTag)
#include "tst_axistag.moc"
