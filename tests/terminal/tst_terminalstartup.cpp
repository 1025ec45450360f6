#include "terminalsession.h"
#include "testmain.h"

#include "clientterminal.h"
#include "logindialog.h"
#include <QAction>

class TestTerminalStartup : public QObject
{
    Q_OBJECT

private slots:
    void logsInThroughTheDialog()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QCOMPARE(session.window->serverName(), TerminalSession::serverName);
        QCOMPARE(session.window->servers().size(), 1);
    }
};

KESTRAL_TEST_MAIN(TestTerminalStartup)
#include "tst_terminalstartup.moc"
