#include "axistag.h"
#include "testmain.h"

#include <qcustomplot.h>

class TestAxisTag : public QObject
{
    Q_OBJECT

private slots:
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
