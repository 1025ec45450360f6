// A normal session prints nothing but its faults, each once: the console is where a
// user looks when something goes wrong.
#include "terminalsession.h"
#include "testmain.h"

#include "symbolchartwidget.h"

namespace {

QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    g_lines << QStringLiteral("%1 %2").arg(type == QtDebugMsg || type == QtInfoMsg ? "debug" : "warning", text);
    g_previous(type, context, text);
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void normalSessionIsQuiet()
    {
        g_previous = qInstallMessageHandler(capture);
        {
            TerminalSession session;
            QVERIFY(session.loginAndWait());
            QTRY_COMPARE_WITH_TIMEOUT(session.window->chartWindows().size(), 4, patienceMs);
            SymbolChartWidget *chart = session.window->chartWindows().first();
            QTest::mouseClick(chart, Qt::LeftButton, {}, chart->rect().center());
            // Each lost connection plays a sound, and so does each login after it.
            for (int drop = 0; drop < 2; ++drop) {
                session.server.dropClients();
                QTRY_VERIFY_WITH_TIMEOUT(session.window->isDisconnectedSoundRunning(), patienceMs);
                QTRY_VERIFY_WITH_TIMEOUT(!session.window->isDisconnectedSoundRunning(), patienceMs);
            }
        }
        qInstallMessageHandler(g_previous);
        const QStringList debug = g_lines.filter(QRegularExpression("^debug "));
        QVERIFY2(debug.isEmpty(), qPrintable(debug.join('\n')));
        QStringList unique = g_lines;
        unique.removeDuplicates();
        QCOMPARE(g_lines, unique);
    }
};

KESTRAL_TEST_MAIN(TestConsole)
#include "tst_console.moc"
