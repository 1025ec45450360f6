#include "testmain.h"

#include "appglobals.h"
#include "logindialog.h"
#include "savedaccounts.h"
#include "workspacefiles.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSignalSpy>

class TestLoginDialog : public QObject
{
    Q_OBJECT

    static void writeLogin(const QString &server, qint64 login, const QString &password)
    {
        QVERIFY(workspacefiles::writePrivateFile(accountPath(server, login) + QStringLiteral("/login"),
                                                 savedlogins::formatLoginLine(login, password, "ws://h:1").toUtf8()));
    }

private slots:
    void cleanup() { QDir(configPath()).removeRecursively(); }

    void loginNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("login");
        QTest::newRow("number") << "1001" << qint64(1001);
        QTest::newRow("not a number") << "10a1" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
    }
    void loginNumber()
    {
        QFETCH(QString, text);
        LoginDialog dialog;
        dialog.findChild<QComboBox *>("loginBox")->setCurrentText(text);
        QTEST(dialog.login(), "login");
    }

    void okNeedsAllThreeFields_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("withServer");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("all filled") << "1" << true << "pw" << true << true;
        QTest::newRow("save unchecked still accepts") << "1" << true << "pw" << false << true;
        QTest::newRow("no login") << "" << true << "pw" << true << false;
        QTest::newRow("no password") << "1" << true << "" << true << false;
        QTest::newRow("no server") << "1" << false << "pw" << true << false;
    }
    void okNeedsAllThreeFields()
    {
        QFETCH(bool, save);
        LoginDialog dialog;
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        QFETCH(QString, login);
        dialog.findChild<QComboBox *>("loginBox")->setCurrentText(login);
        QFETCH(QString, password);
        dialog.setPassword(password);
        dialog.findChild<QCheckBox *>("saveCheckBox")->setChecked(save);
        QFETCH(bool, withServer);
        if (withServer)
            dialog.addServer("S", "h:1");
        dialog.onOk();
        QTEST(accepted.count() == 1, "accepted");
        QCOMPARE(dialog.savePassword(), save);
    }

    void presetsTheLastSavedAccount()
    {
        writeLogin("S1", 5, "five");
        QVERIFY(savedaccounts::write(savedaccounts::filePath(), {{"5", "five", "ws://h:1", "S1", "", "offline"},
                                                                 {"6", "six", "h:2", "S2", "", "online"}}));
        LoginDialog dialog;
        QCOMPARE(QString("%1 %2 %3").arg(dialog.login()).arg(dialog.password(), dialog.serverName()),
                 "6 six "); // no servers yet
        QCOMPARE(dialog.findChild<QComboBox *>("loginBox")->count(), 2);
        QCOMPARE(dialog.size(), QSize(500, 300));
    }

    void addServerFollowsTheSavedLogin()
    {
        writeLogin("S2", 5, "five");
        QVERIFY(savedaccounts::write(savedaccounts::filePath(), {{"5", "", "ws://h:1", "S2", "", "offline"}}));
        LoginDialog dialog;
        dialog.addServer("S1", "h:1");
        QCOMPARE(dialog.serverName(), QString()); // neither the saved server nor the fallback yet
        dialog.addServer("Morwell demo server 2", "h:3");
        QCOMPARE(dialog.serverName(), QStringLiteral("Morwell demo server 2"));
        dialog.addServer("S2", "h:2");
        QCOMPARE(dialog.serverName(), QStringLiteral("S2"));
        QCOMPARE(dialog.serverAddress(), QStringLiteral("h:2"));
        dialog.clearServers();
        dialog.selectServerByRole1("h:9");
        QCOMPARE(dialog.serverAddress(), QStringLiteral("h:9"));
    }

    void removeSavedLogin_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("login");
        QTest::addColumn<bool>("removed");
        QTest::newRow("listed") << "S1" << 5 << true;
        QTest::newRow("other login") << "S1" << 6 << false;
        QTest::newRow("other server") << "S2" << 5 << false;
    }
    void removeSavedLogin()
    {
        QFETCH(QString, server);
        QFETCH(int, login);
        QFETCH(bool, removed);
        writeLogin("S1", 5, "five");
        QVERIFY(workspacefiles::makePrivateFolder(accountPath("S1", 6))); // no login file: not listed
        QVERIFY(workspacefiles::makePrivateFolder(accountPath("S2", 5)));
        LoginDialog dialog;
        QCOMPARE(dialog.removeSavedLogin(server, login), removed);
        QCOMPARE(QDir(accountPath(server, login)).exists(), !removed);
        QCOMPARE(dialog.savedLogins().isEmpty(), removed);
    }

    void removalNeverLeavesTheConfigFolder()
    {
        // A saved login under a server name that climbs out of the config folder.
        const QString outside = appDataPath() + QStringLiteral("/victim");
        QVERIFY(workspacefiles::writePrivateFile(outside + QStringLiteral("/5/keep"), "data"));
        QVERIFY(workspacefiles::makePrivateFolder(configPath()));
        LoginDialog dialog;
        dialog.savedLogins().append({5, "pw", "../../victim", "ws://h:1"});
        QVERIFY(dialog.removeSavedLogin("../../victim", 5));
        QVERIFY(QFile::exists(outside + QStringLiteral("/5/keep")));
    }
};

KESTRAL_TEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
