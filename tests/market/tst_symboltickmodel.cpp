#include "symboltickmodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>

namespace {

// Fills the map the way any feeding subclass would, with a reset around it.
class FedModel : public SymbolTickModel
{
public:
    void setTicks(const QList<TickData> &list)
    {
        beginResetModel();
        ticks.clear();
        for (const auto &tick : list)
            ticks.insert(tick.symbol, tick);
        endResetModel();
    }
};

TickData tick(const QString &symbol, double bid, double ask)
{
    TickData t;
    t.symbol = symbol;
    t.bid = bid;
    t.ask = ask;
    return t;
}

} // namespace

class TestSymbolTickModel : public QObject
{
    Q_OBJECT

private slots:
    void headers_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("the first column is the symbol") << 0 << int(Qt::Horizontal) << QVariant("Symbol");
        QTest::newRow("the last column is the spread") << 3 << int(Qt::Horizontal) << QVariant("Spread");
        QTest::newRow("a section past the columns has no title") << 4 << int(Qt::Horizontal) << QVariant();
        QTest::newRow("a negative section has no title") << -1 << int(Qt::Horizontal) << QVariant();
        QTest::newRow("rows have no titles") << 0 << int(Qt::Vertical) << QVariant();
    }
    void headers()
    {
        QFETCH(int, section);
        QFETCH(int, orientation);
        SymbolTickModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTEST(model.headerData(section, Qt::Orientation(orientation)), "expected");
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole), QVariant());
    }

    void cells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("rows follow name order") << 0 << 0 << int(Qt::DisplayRole) << QVariant("AUDCAD");
        QTest::newRow("the bid is a number") << 1 << 1 << int(Qt::DisplayRole) << QVariant(1.25);
        QTest::newRow("the ask is a number") << 1 << 2 << int(Qt::DisplayRole) << QVariant(1.5);
        QTest::newRow("the spread is ask minus bid in price units")
            << 1 << 3 << int(Qt::DisplayRole) << QVariant(0.25);
        QTest::newRow("other roles give nothing") << 0 << 1 << int(Qt::EditRole) << QVariant();
    }
    void cells()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, role);

        FedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setTicks({tick("EURUSD", 1.25, 1.5), tick("AUDCAD", 0.9, 0.9002)});
        QTEST(model.data(model.index(row, column), role), "expected");
        QCOMPARE(model.data(QModelIndex()), QVariant());
    }

    void rowEditsChangeNothing()
    {
        FedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        model.setTicks({tick("EURUSD", 1.0, 1.1)});
        QVERIFY(model.insertRows(0, 3));
        QVERIFY(model.removeRows(0, 1));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsDropEnabled));
        QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    }
};

KESTRAL_TEST_MAIN(TestSymbolTickModel)
#include "tst_symboltickmodel.moc"
