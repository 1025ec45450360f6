// Chart windows as the main window opens and drives them, on a market that sends
// no tick: the symbols' settings are all the charts know of their prices.
#include "symbolchartwidget.h"
#include "terminalsession.h"
#include "testmain.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QRegularExpression>

class TestChartWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TerminalSession> m_session;

    QList<SymbolChartWidget *> charts() const { return m_session->window->chartWindows(); }
    void trigger(const char *action) { m_session->window->findChild<QAction *>(action)->trigger(); }
    static QPoint centre(const SymbolChartWidget *chart) { return chart->rect().center(); }
    // Price texts on the chart: its tags' labels.
    static QStringList prices(const SymbolChartWidget *chart)
    {
        QStringList texts;
        for (const QCPItemText *text : chart->findChildren<QCPItemText *>()) {
            if (text->visible() && !text->text().isEmpty())
                texts << text->text();
        }
        return texts;
    }

private slots:
    void initTestCase()
    {
        m_session = std::make_unique<TerminalSession>();
        QVERIFY(m_session->loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(charts().size(), 4, patienceMs);
        m_session->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
    }
    void cleanupTestCase() { m_session.reset(); }

    void crosshairEndsEverywhereAndTheNextToolDraws()
    {
        const QList<SymbolChartWidget *> all = charts();
        trigger("actionCrosshair");
        for (const SymbolChartWidget *chart : all)
            QCOMPARE(chart->crosshairItems().size(), 2);
        QTest::mouseRelease(all[0], Qt::LeftButton, {}, centre(all[0]));
        for (const SymbolChartWidget *chart : all)
            QVERIFY(chart->crosshairItems().isEmpty());
        trigger("actionHorizontal_Line");
        QTest::mousePress(all[1], Qt::LeftButton, {}, centre(all[1]));
        QTest::mouseRelease(all[1], Qt::LeftButton, {}, centre(all[1]));
        QCOMPARE(all[1]->objectNamesForCurrentPeriod().values(),
                 QStringList{QString("Horizontal Line %1").arg(all[1]->objectCounter())});
    }

    void timeframeShowsInTheLabelAndTitle_data()
    {
        QTest::addColumn<QString>("label");
        QTest::newRow("M15, wider than the first label") << "M15";
        QTest::newRow("M30") << "M30";
    }
    void timeframeShowsInTheLabelAndTitle()
    {
        QFETCH(QString, label);
        SymbolChartWidget *chart = charts().constFirst();
        for (QAction *action : chart->timeframeActions()) {
            if (action->text() == label)
                chart->onTimeframeChanged(action);
        }
        const QString title = chart->symbol() + ", " + label;
        QCOMPARE(qobject_cast<QMdiSubWindow *>(chart->parentWidget())->windowTitle(), title);
        QLabel *info = nullptr;
        for (QLabel *text : chart->findChildren<QLabel *>()) {
            if (text->text().startsWith("Chart: "))
                info = text;
        }
        QVERIFY(info && info->text().endsWith("Time Frame: " + label));
        QVERIFY(info->width() >= info->sizeHint().width());
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
            QVERIFY(m_session->loginAndWait());
            QTRY_COMPARE_WITH_TIMEOUT(charts().size(), 4, patienceMs);
            m_session->window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
        }
        trigger("actionCrosshair");
        for (SymbolChartWidget *chart : charts()) {
            const QStringList texts = prices(chart);
            QVERIFY2(!texts.isEmpty() && texts.filter(QRegularExpression("^-?\\d+\\.\\d{5}$")) == texts,
                     qPrintable(texts.join(' ')));
        }
        trigger("actionCursor");
    }
};

KESTRAL_TEST_MAIN(TestChartWindows)
#include "tst_chartwindows.moc"
