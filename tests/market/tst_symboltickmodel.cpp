#include "symboltickmodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>

namespace {

// Fills the map the way any feeding subclass would, with a reset around it.
class FedModel : public SymbolTickModel
{
public:
    void setTicks(const QList<QPair<QString, double>> &bids)
    {
        beginResetModel();
        ticks.clear();
        for (const auto &[symbol, bid] : bids) {
            TickData &tick = ticks[symbol];
            tick.symbol = symbol;
            tick.bid = bid;
            tick.ask = bid + 0.25;
        }
        endResetModel();
    }
};

} // namespace

class TestSymbolTickModel : public QObject
{
    Q_OBJECT

private slots:
    void cells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("rows follow name order") << 0 << 0 << int(Qt::DisplayRole) << QVariant("AUDCAD");
        QTest::newRow("the ask is a number") << 1 << 2 << int(Qt::DisplayRole) << QVariant(1.5);
        QTest::newRow("the spread is ask minus bid in price units") << 1 << 3 << int(Qt::DisplayRole) << QVariant(0.25);
        QTest::newRow("other roles give nothing") << 0 << 1 << int(Qt::EditRole) << QVariant();
    }
    void cells()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, role);

        FedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setTicks({{"EURUSD", 1.25}, {"AUDCAD", 0.9}});
        QTEST(model.data(model.index(row, column), role), "expected");
        QCOMPARE(model.data(QModelIndex()), QVariant());
    }

    void rowEditsChangeNothing()
    {
        FedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setTicks({{"EURUSD", 1.0}});
        QVERIFY(model.insertRows(0, 3));
        QVERIFY(model.removeRows(0, 1));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsDropEnabled));
        QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    }
};

KESTRAL_TEST_MAIN(TestSymbolTickModel)
#include "tst_symboltickmodel.moc"
