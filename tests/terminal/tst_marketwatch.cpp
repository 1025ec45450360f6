#include "clientterminal.h"
#include "popuppicker.h"
#include "resend.h"
#include "showsymboldialog.h"
#include "terminalsession.h"
#include "testmain.h"

#include <QHeaderView>
#include <QListWidget>
#include <QStyle>
#include <QTableWidget>

namespace {

QJsonObject tick(const QString &symbol, double bid, double ask, qint64 serverTime)
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
    // "symbol bid ask [server time]" ticks, in order.
    void rowColoursAndTexts_data()
    {
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<int>("column");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("text");

        QTest::newRow("first price is a rise") << QStringList{"A1 1.1 1.1001"} << 1 << QColor(Qt::blue) << "1.10000";
        QTest::newRow("bid falls") << QStringList{"A2 1.1 1.1001", "A2 1.09995 1.1001"} << 1 << QColor(Qt::red)
                                   << "1.09995";
        QTest::newRow("bid unchanged") << QStringList{"A3 1.1 1.1001", "A3 1.1 1.1003"} << 1 << QColor(Qt::black)
                                       << "1.10000";
        QTest::newRow("spread of 12 points, nearest whole point")
            << QStringList{"A5 1.1 1.10012"} << 3 << QColor(Qt::blue) << "12";
        QTest::newRow("spread narrows") << QStringList{"A6 1.1 1.1003", "A6 1.1 1.1001"} << 3 << QColor(Qt::red)
                                        << "10";
        QTest::newRow("ask high, blue") << QStringList{"A8 1.1 1.1001"} << 4 << QColor(Qt::blue) << "1.10210";
        QTest::newRow("bid low, red") << QStringList{"A9 1.1 1.1001"} << 5 << QColor(Qt::red) << "1.09800";
        QTest::newRow("server time in the server's zone")
            << QStringList{"B1 1.1 1.1001"} << 6 << QColor(Qt::black) << "02:13:20";
        QTest::newRow("server time 0") << QStringList{"B2 1.1 1.1001 0"} << 6 << QColor(Qt::black) << "00:00:00";
        QTest::newRow("below the ask high") << QStringList{"B3 0.996 0.998"} << 7 << QColor(Qt::black) << "-0.20%";
        QTest::newRow("ask 0") << QStringList{"B4 0 0"} << 7 << QColor(Qt::black) << "0.00%";
        QTest::newRow("above the bid low") << QStringList{"B5 1.0 1.0001"} << 8 << QColor(Qt::black) << "0.20%";
    }
    void rowColoursAndTexts()
    {
        QFETCH(QStringList, ticks);
        QFETCH(int, column);
        const QString symbol = ticks.first().section(' ', 0, 0);
        m_session->window->symbolStorage().setSymbolList(QStringList{"EURUSD", symbol}, true);
        QTRY_COMPARE(m_table->rowCount(), 2);
        for (const QString &t : ticks) {
            const QStringList f = t.split(' ');
            deliver(tick(symbol, f[1].toDouble(), f[2].toDouble(), f.value(3, "1700007200").toLongLong()));
        }
        QCOMPARE(cell(1, 0), symbol);
        QTEST(cell(1, column), "text");
        QTEST(colour(1, column), "colour");
    }

    void symbolListedTwiceUpdatesItsFirstRow()
    {
        m_session->window->symbolStorage().setSymbolList(QStringList{"C1", "EURUSD", "C1"}, true);
        QTRY_COMPARE(m_table->rowCount(), 3);
        deliver(tick("C1", 1.5, 1.6, 1700007200));
        QCOMPARE(cell(0, 1), "1.50000");
        QCOMPARE(m_table->item(2, 1)->foreground().style(), Qt::NoBrush);
    }

    // The window's first layout leaves every market-watch column wide enough for its text.
    void cellsShowWhole_data()
    {
        QTest::addColumn<int>("column");
        for (int column = 0; column < 7; ++column)
            QTest::newRow(qPrintable(QString::number(column))) << column;
    }
    void cellsShowWhole()
    {
        QFETCH(int, column);
        m_session->window->symbolStorage().setSymbolList(QStringList{"EURUSD", "XAUUSD"}, true);
        QTRY_COMPARE(m_table->rowCount(), 2);
        deliver(tick("XAUUSD", 1.10123, 1.10456, 1700007200));
        m_session->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
        const QString text = cell(1, column);
        const int margins = 2 * (m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 1);
        const int needed = QFontMetrics(m_table->font()).horizontalAdvance(text) + margins;
        QVERIFY2(m_table->columnWidth(column) >= needed,
                 qPrintable(
                     QStringLiteral("%1 needs %2 px, has %3").arg(text).arg(needed).arg(m_table->columnWidth(column))));
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
        QCOMPARE(specifications->item(1, 0)->text() + ' ' + specifications->item(1, 5)->text() + ' ' +
                     specifications->item(1, 6)->text(),
                 "EURUSD 0.01 10.00");
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
