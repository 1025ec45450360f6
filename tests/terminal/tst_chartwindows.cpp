// Chart windows as the main window opens and drives them, on a market that sends
// no tick: the symbols' settings are all the charts know of their prices.
#include "symbolchartwidget.h"
#include "terminalsession.h"
#include "testmain.h"

#include <QActionGroup>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>

class TestChartWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TerminalSession> m_session;

    QList<SymbolChartWidget *> charts() const { return m_session->window->chartWindows(); }
    void trigger(const char *action) { m_session->window->findChild<QAction *>(action)->trigger(); }
    bool loggedIn()
    {
        return m_session->loginAndWait() && QTest::qWaitFor([this] { return charts().size() == 4; }, patienceMs) &&
               (m_session->window->show(), QTest::qWaitForWindowExposed(m_session->window.get()));
    }

private slots:
    void initTestCase()
    {
        m_session = std::make_unique<TerminalSession>();
        QVERIFY(loggedIn());
    }
    void cleanupTestCase() { m_session.reset(); }

    void crosshairEndsEverywhereAndTheNextToolDraws()
    {
        const QList<SymbolChartWidget *> all = charts();
        trigger("actionCrosshair");
        QCOMPARE(all.last()->crosshairItems().size(), 2);
        QTest::mouseClick(all[0], Qt::LeftButton, {}, all[0]->rect().center()); // the crosshair draws nothing
        QVERIFY(all[0]->objectNamesForCurrentPeriod().isEmpty());
        for (const SymbolChartWidget *chart : all)
            QVERIFY(chart->crosshairItems().isEmpty());
        trigger("actionHorizontal_Line");
        QTest::mouseClick(all[1], Qt::LeftButton, {}, all[1]->rect().center());
        QCOMPARE(all[1]->objectNamesForCurrentPeriod().values(),
                 QStringList{QString("Horizontal Line %1").arg(all[1]->objectCounter())});
    }

    void timeframeShowsInTheLabelAndTitle()
    {
        SymbolChartWidget *chart = charts().constFirst();
        QAction m15("M15"); // its label is wider than the first one
        chart->onTimeframeChanged(&m15);
        QCOMPARE(qobject_cast<QMdiSubWindow *>(chart->parentWidget())->windowTitle(), chart->symbol() + ",M15");
        const QLabel *info = chart->findChildren<QLabel *>().constFirst();
        QVERIFY(info->text().endsWith("Time Frame: M15") && info->width() >= info->sizeHint().width());
    }

    // Activating a chart window checks its period in the timeframe toolbar.
    void timeframeToolbarFollowsTheActiveChart()
    {
        auto *area = m_session->window->findChild<QMdiArea *>("graphArea");
        const QList<SymbolChartWidget *> all = charts();
        const auto activate = [&](int index) {
            area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(all[index]->parentWidget()));
        };
        const QStringList periods{"M5", "H4", "H1", "D1"};
        for (int index = 0; index < all.size(); ++index) {
            activate(index);
            QAction period(periods[index]);
            all[index]->onTimeframeChanged(&period);
        }
        QCoreApplication::processEvents(); // the charts report their switch queued
        QStringList checked;
        for (const int index : {1, 2, 1, 3, 0}) {
            activate(index);
            QCoreApplication::processEvents();
            checked << m_session->window->findChild<QAction *>("actionH1")->actionGroup()->checkedAction()->text();
        }
        QCOMPARE(checked, QStringList({"H4", "H1", "H4", "D1", "M5"}));
        // A chart that is not the active one switching its period leaves the check alone.
        QAction weekly("W1");
        all[1]->onTimeframeChanged(&weekly);
        QCoreApplication::processEvents();
        QCOMPARE(m_session->window->findChild<QAction *>("actionH1")->actionGroup()->checkedAction()->text(), "M5");
    }

    void pricesShowTheSymbolsDigitsBeforeAnyTick_data()
    {
        QTest::addColumn<bool>("restored");
        QTest::newRow("charts opened once the symbols came") << false;
        QTest::newRow("charts restored before the symbols came") << true;
    }
    void pricesShowTheSymbolsDigitsBeforeAnyTick()
    {
        QFETCH(bool, restored);
        if (restored) {
            m_session->restart();
            QVERIFY(loggedIn());
        }
        trigger("actionCrosshair");
        for (SymbolChartWidget *chart : charts()) {
            QStringList texts; // the crosshair's price tag, and those of lines drawn before
            for (const QCPItemText *text : chart->findChildren<QCPItemText *>())
                texts << text->text();
            texts.removeAll(QString());
            QVERIFY2(!texts.isEmpty() && texts.filter(QRegularExpression("^-?\\d+\\.\\d{5}$")) == texts,
                     qPrintable(texts.join(' ')));
        }
        trigger("actionCursor");
    }
};

KESTRAL_TEST_MAIN(TestChartWindows)
#include "tst_chartwindows.moc"
