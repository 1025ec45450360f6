#include "symboltickmodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>

namespace {

// Fills the map the way any feeding subclass would, with a reset around it.
class FedModel : public SymbolTickModel
{
public:
    FedModel()
    {
        beginResetModel();
        for (const auto &[symbol, bid] : {std::make_pair("EURUSD", 1.25), std::make_pair("AUDCAD", 0.9)}) {
            ticks[symbol].bid = bid;
            ticks[symbol].ask = bid + 0.25;
        }
        endResetModel();
    }
};

} // namespace

class TestSymbolTickModel : public QObject
{
    Q_OBJECT

private slots:
    // Row -1 is the column titles, -2 the row titles.
    void cells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("rows follow name order") << 0 << 0 << int(Qt::DisplayRole) << QVariant("AUDCAD");
        QTest::newRow("the bid is a number") << 1 << 1 << int(Qt::DisplayRole) << QVariant(1.25);
        QTest::newRow("the ask is a number") << 1 << 2 << int(Qt::DisplayRole) << QVariant(1.5);
        QTest::newRow("the spread is ask minus bid in price units") << 1 << 3 << int(Qt::DisplayRole) << QVariant(0.25);
        QTest::newRow("other roles give nothing") << 0 << 1 << int(Qt::EditRole) << QVariant();
        QTest::newRow("no fifth column") << 0 << 4 << int(Qt::DisplayRole) << QVariant();
        QTest::newRow("the first column is the symbol") << -1 << 0 << int(Qt::DisplayRole) << QVariant("Symbol");
        QTest::newRow("the last column is the spread") << -1 << 3 << int(Qt::DisplayRole) << QVariant("Spread");
        QTest::newRow("a section past the columns has no title") << -1 << 4 << int(Qt::DisplayRole) << QVariant();
        QTest::newRow("a negative section has no title") << -1 << -1 << int(Qt::DisplayRole) << QVariant();
        QTest::newRow("titles have no tool tips") << -1 << 0 << int(Qt::ToolTipRole) << QVariant();
        QTest::newRow("rows have no titles") << -2 << 0 << int(Qt::DisplayRole) << QVariant();
    }
    void cells()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, role);

        FedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (row < 0)
            QTEST(model.headerData(column, row == -1 ? Qt::Horizontal : Qt::Vertical, role), "expected");
        else
            QTEST(model.data(model.index(row, column), role), "expected");
        // Row edits report success and change nothing.
        QVERIFY(model.insertRows(0, 3) && model.removeRows(0, 1));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsDropEnabled));
    }
};

KESTRAL_TEST_MAIN(TestSymbolTickModel)
#include "tst_symboltickmodel.moc"
