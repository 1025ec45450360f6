#include "clientterminal.h"
#include "popuppicker.h"
#include "resend.h"
#include "showsymboldialog.h"
#include "terminalsession.h"
#include "testmain.h"

#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>

Q_DECLARE_METATYPE(QList<QJsonObject>)

namespace {

QJsonObject tick(const QString &symbol, double bid, double ask, qint64 serverTime = 1700007200)
{
    QJsonObject t = FakeTradeServer::tick(symbol, bid, ask);
    t["server_time"] = serverTime;
    return t;
}

} // namespace

// The market watch of a logged-in window, fed by the fake trade server.
class TestMarketWatch : public QObject
{
    Q_OBJECT

    TerminalSession *m_session = nullptr;
    QTableWidget *m_table = nullptr;

    // Sends a tick and waits until the window's stores took it.
    void deliver(const QJsonObject &tick)
    {
        QVERIFY(sendUntil(m_session->server, {tick}, [&] {
            const TickData now = m_session->window->symbolStorage().lastTick(tick["symbol"].toString());
            return now.ask == tick["ask"].toDouble() && now.bid == tick["bid"].toDouble();
        }));
    }
    QString cell(int row, int column) const { return m_table->item(row, column)->text(); }
    QColor colour(int row, int column) const { return m_table->item(row, column)->foreground().color(); }

private slots:
    void initTestCase()
    {
        m_session = new TerminalSession;
        QVERIFY(m_session->loginAndWait());
        m_table = m_session->window->findChild<QTableWidget *>("symbolTableWidget");
        QTRY_COMPARE_WITH_TIMEOUT(m_table->rowCount(), 5, patienceMs);
    }
    void cleanupTestCase() { delete m_session; }

    // Each row uses its own symbol, so every row starts from a fresh market-watch row.
    void rowColoursAndTexts_data()
    {
        QTest::addColumn<QList<QJsonObject>>("ticks");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");

        QTest::newRow("first price is a rise")
            << QList<QJsonObject>{tick("A1", 1.1, 1.1001)} << 1 << "1.10000" << QColor(Qt::blue);
        QTest::newRow("bid falls") << QList<QJsonObject>{tick("A2", 1.1, 1.1001), tick("A2", 1.09995, 1.1001)} << 1
                                   << "1.09995" << QColor(Qt::red);
        QTest::newRow("bid unchanged") << QList<QJsonObject>{tick("A3", 1.1, 1.1001), tick("A3", 1.1, 1.1003)} << 1
                                       << "1.10000" << QColor(Qt::black);
        QTest::newRow("spread of 12 points, nearest whole point")
            << QList<QJsonObject>{tick("A5", 1.1, 1.10012)} << 3 << "12" << QColor(Qt::blue);
        QTest::newRow("spread narrows") << QList<QJsonObject>{tick("A6", 1.1, 1.1003), tick("A6", 1.1, 1.1001)} << 3
                                        << "10" << QColor(Qt::red);
        QTest::newRow("ask high, blue") << QList<QJsonObject>{tick("A8", 1.1, 1.1001)} << 4 << "1.10210"
                                        << QColor(Qt::blue);
        QTest::newRow("bid low, red") << QList<QJsonObject>{tick("A9", 1.1, 1.1001)} << 5 << "1.09800"
                                      << QColor(Qt::red);
        QTest::newRow("server time in the server's zone")
            << QList<QJsonObject>{tick("B1", 1.1, 1.1001)} << 6 << "02:13:20" << QColor(Qt::black);
        QTest::newRow("server time 0") << QList<QJsonObject>{tick("B2", 1.1, 1.1001, 0)} << 6 << "00:00:00"
                                       << QColor(Qt::black);
        QTest::newRow("below the ask high")
            << QList<QJsonObject>{tick("B3", 0.996, 0.998)} << 7 << "-0.20%" << QColor(Qt::black);
        QTest::newRow("ask 0") << QList<QJsonObject>{tick("B4", 0.0, 0.0)} << 7 << "0.00%" << QColor(Qt::black);
        QTest::newRow("above the bid low")
            << QList<QJsonObject>{tick("B5", 1.0, 1.0001)} << 8 << "0.20%" << QColor(Qt::black);
    }
    void rowColoursAndTexts()
    {
        QFETCH(QList<QJsonObject>, ticks);
        QFETCH(int, column);
        const QString symbol = ticks.first()["symbol"].toString();
        m_session->window->symbolStorage().setSymbolList(QStringList{"EURUSD", symbol}, true);
        QTRY_COMPARE(m_table->rowCount(), 2);
        for (const QJsonObject &t : ticks)
            deliver(t);
        QCOMPARE(cell(1, 0), symbol);
        QTEST(cell(1, column), "text");
        QTEST(colour(1, column), "colour");
    }

    void symbolListedTwiceUpdatesItsFirstRow()
    {
        m_session->window->symbolStorage().setSymbolList(QStringList{"C1", "EURUSD", "C1"}, true);
        QTRY_COMPARE(m_table->rowCount(), 3);
        deliver(tick("C1", 1.5, 1.6));
        QCOMPARE(cell(0, 1), "1.50000");
        QCOMPARE(m_table->item(2, 1)->foreground().style(), Qt::NoBrush);
    }

    void columnsMenu_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("hiddenAfter");
        QTest::newRow("show Change %H") << "Change %H" << 7 << false;
        QTest::newRow("hide Spread") << "Spread" << 3 << true;
        QTest::newRow("show Change %L") << "Change %L" << 8 << false;
    }
    void columnsMenu()
    {
        QFETCH(QString, entry);
        QFETCH(int, column);
        QHeaderView *header = m_table->horizontalHeader();
        popuppicker::choose(entry);
        emit header->customContextMenuRequested(QPoint(5, 5));
        QTEST(m_table->isColumnHidden(column), "hiddenAfter");
    }

    // The symbol dialog from the context menu: its check boxes show and hide market-watch symbols.
    void symbolDialog()
    {
        m_session->window->symbolStorage().setSymbolList(QStringList{"EURUSD", "GBPUSD"}, true);
        popuppicker::choose("Symbols");
        emit m_table->customContextMenuRequested(QPoint(5, 5));
        auto *dialog = m_session->window->findChild<ShowSymbolDialog *>();
        QVERIFY(dialog);
        auto *specifications = dialog->findChild<QTableWidget *>("tableWidget");
        QCOMPARE(specifications->item(1, 0)->text(), "EURUSD");
        QCOMPARE(specifications->item(1, 5)->text(), "0.01");
        QCOMPARE(specifications->item(1, 6)->text(), "10.00");
        const auto items = dialog->findChild<QListWidget *>("listWidget")->findItems("GBPUSD", Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first()->checkState(), Qt::Checked);
        items.first()->setCheckState(Qt::Unchecked);
        QCOMPARE(m_table->rowCount(), 1);
        QCOMPARE(m_table->item(0, 0)->text(), "EURUSD");
        dialog->close();
    }
};

KESTRAL_TEST_MAIN(TestMarketWatch)
#include "tst_marketwatch.moc"
