// The main window against a fake trade server and a loopback broker list.
#include "popuppicker.h"
#include "terminalsession.h"
#include "testmain.h"

#include "appglobals.h"
#include "journalwidget.h"
#include "logindialog.h"
#include "savedaccounts.h"
#include "scalewidgettree.h"
#include "soundeffects.h"
#include "symbolchartwidget.h"
#include "tradeclient.h"
#include "workspacefiles.h"
#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTreeWidget>

Q_DECLARE_METATYPE(SoundEffects::Sound)

namespace {

QAction *action(Client_Terminal *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

SavedAccount savedAccount(qint64 login)
{
    for (const SavedAccount &account : savedaccounts::read(savedaccounts::filePath())) {
        if (account.account == QString::number(login))
            return account;
    }
    return {};
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QDir(configPath()).removeRecursively(); }

    void login_data()
    {
        QTest::addColumn<bool>("savePassword");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("password saved") << true << false;
        QTest::newRow("password not saved") << false << false;
        QTest::newRow("read-only password") << true << true;
    }
    void login()
    {
        QFETCH(bool, savePassword);
        QFETCH(bool, readOnly);
        TerminalSession session;
        if (readOnly)
            session.server.setLoginReply(FakeTradeServer::LoginMode::ReadOnly);
        session.window->loginDialog()->show();
        QVERIFY(session.loginAndWait(QStringLiteral("p;w"), savePassword));
        Client_Terminal *window = session.window.get();

        const SavedAccount saved = savedAccount(TerminalSession::account);
        QCOMPARE(QStringList({saved.status, saved.password, saved.serverName, saved.server}),
                 QStringList({"online", savePassword ? "p;w" : "", TerminalSession::serverName,
                              session.server.url().toString()}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Test Client (1001, Kestral-Demo)") +
                                            (readOnly ? QStringLiteral(" [READ-ONLY MODE]") : QString()));
        QVERIFY(!action(window, "actionConnect")->isEnabled() && action(window, "actionDisconnect")->isEnabled());
        QCOMPARE(action(window, "actionChangePassword")->isEnabled(), !readOnly);
        QVERIFY(!window->loginDialog()->isVisible());
        // Open positions and the trade history are asked for.
        QTRY_VERIFY_WITH_TIMEOUT(!session.server.requests(4).isEmpty() && !session.server.requests(5).isEmpty(),
                                 patienceMs);
        const QJsonObject positions = session.server.requests(4).first();
        QCOMPARE(positions.value("type").toInt(), 5);
        QCOMPARE(positions.value("is_last").toInt(), 1);
        // The symbol list opens the default charts.
        QTRY_COMPARE_WITH_TIMEOUT(window->chartWindows().size(), 4, patienceMs);

        // Closing saves the workspace, with the password only when it was saved.
        window->close();
        QCOMPARE(QFile::exists(session.accountFolder() + "/login"), savePassword);
        QVERIFY(QFile::exists(session.accountFolder() + "/charts"));
    }

    void failedLoginAsksAgain()
    {
        TerminalSession session;
        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        QVERIFY(session.waitForServers());
        const int brokerRequests = session.http.requests().size();
        QString title;
        popuppicker::closeBox(&title);
        QSignalSpy played(session.window->findChild<SoundEffects *>(), &SoundEffects::played);
        session.window->loginDialog()->setPassword("pw");
        session.window->loginDialog()->setLogin(TerminalSession::account);
        session.window->loginDialog()->onOk();
        QTRY_VERIFY_WITH_TIMEOUT(title.startsWith("Login fail: "), patienceMs);
        QCOMPARE(played.value(0).value(0).value<SoundEffects::Sound>(), SoundEffects::Disconnected);
        QTRY_VERIFY(session.window->loginDialog()->isVisible());
        QTRY_COMPARE(session.http.requests().size(), brokerRequests + 1);
    }

    void lostConnectionAndReconnection()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        Client_Terminal *window = session.window.get();
        QSignalSpy played(window->findChild<SoundEffects *>(), &SoundEffects::played);
        session.server.dropClients();
        QTRY_VERIFY_WITH_TIMEOUT(window->isDisconnectedSoundRunning(), patienceMs);
        QCOMPARE(played.count(), 1);
        QVERIFY(action(window, "actionConnect")->isEnabled() && !action(window, "actionDisconnect")->isEnabled());
        QVERIFY(QFile::exists(session.accountFolder() + "/symbols"));
        // The client reconnects by itself; the login stops the repeating sound.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isDisconnectedSoundRunning(), patienceMs);
        QVERIFY(action(window, "actionDisconnect")->isEnabled());
        QCOMPARE(played.last().value(0).value<SoundEffects::Sound>(), SoundEffects::Connected);
    }

    void workspaceSurvivesARestart()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(session.window->chartWindows().size(), 4, patienceMs);
        QList<SymbolChartWidget *> charts = session.window->chartWindows();
        session.window->findChild<QMdiArea *>("graphArea")
            ->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(charts[1]->parentWidget()));
        action(session.window.get(), "actionD1")->trigger();
        QCOMPARE(charts[1]->period(), 1440);
        charts[2]->setOneClickTradingVisible(true);
        session.window->symbolStorage().setSymbolVisible("USDJPY", false);
        session.window->resize(1000, 700);

        session.restart(); // the account is "online" in ACCOUNTS: logs in by itself
        QVERIFY(session.waitForLogin());
        QTRY_COMPARE_WITH_TIMEOUT(session.window->symbolStorage().symbolNames().size(), 5, patienceMs);
        charts = session.window->chartWindows();
        QStringList seen;
        for (SymbolChartWidget *c : charts)
            seen << QStringLiteral("%1 %2 %3").arg(c->symbol()).arg(c->period()).arg(c->isOneClickTradingVisible());
        QCOMPARE(seen, QStringList({"EURUSD 60 0", "GBPUSD 1440 0", "AUDUSD 60 1", "USDJPY 60 0"}));
        QCOMPARE(session.window->size(), QSize(1000, 700));
        // The hidden symbol stays hidden although the server offers it again.
        QCOMPARE(session.window->symbolStorage().visibleSymbols(),
                 QStringList({"AUDUSD", "EURUSD", "GBPUSD", "XAUUSD"}));
    }

    void restoredSymbols_data()
    {
        QTest::addColumn<bool>("listArrives");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("symbols no longer offered drop out") << true << QByteArray("USDJPY\n");
        QTest::newRow("closed before the symbol list") << false << QByteArray("GONE\nUSDJPY\n");
    }
    void restoredSymbols()
    {
        QFETCH(bool, listArrives);
        QFETCH(QByteArray, saved);
        TerminalSession session(false);
        if (!listArrives)
            session.server.setReplies(1, {});
        QVERIFY(workspacefiles::writePrivateFile(session.accountFolder() + "/symbols", "GONE\nUSDJPY\n"));
        session.build();
        QVERIFY(session.loginAndWait());
        if (listArrives)
            QTRY_COMPARE_WITH_TIMEOUT(session.window->symbolStorage().visibleSymbols(), QStringList("USDJPY"),
                                      patienceMs);
        session.window->close();
        QCOMPARE(workspacefiles::readFile(session.accountFolder() + "/symbols"), saved);
    }

    void hostileServerNamesStayInMemory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << "../../outside";
        QTest::newRow("separator") << "a/b";
    }
    void hostileServerNamesStayInMemory()
    {
        QFETCH(QString, name);
        TerminalSession session;
        QVERIFY(session.waitForServers());
        JournalRecorder journal;
        LoginDialog *dialog = session.window->loginDialog();
        dialog->clearServers();
        dialog->addServer(name, session.server.address());
        dialog->selectServerByName(name);
        dialog->setLogin(TerminalSession::account);
        dialog->setPassword("pw");
        dialog->onOk();
        QVERIFY(session.waitForLogin());
        session.server.dropClients(); // saves the workspace on the way down
        QTRY_VERIFY_WITH_TIMEOUT(session.window->isDisconnectedSoundRunning(), patienceMs);
        session.window->close();
        QCOMPARE(QDir(appDataPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList(brandName));
        QCOMPARE(QDir(configPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QTRY_COMPARE(journal.lines.filter("kept in memory only").size(), 1);
    }

    void navigatorLogsInAgain()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        session.window->close(); // writes the saved login the navigator lists
        session.window->loadAccountTree();
        auto *tree = session.window->findChild<QTreeWidget *>("accountTreeWidget");
        QCOMPARE(tree->topLevelItem(0)->text(0), TerminalSession::serverName);
        QTreeWidgetItem *account = tree->topLevelItem(0)->child(0);
        QCOMPARE(account->text(0), QStringLiteral("1001"));
        const int connections = session.server.connectionCount();
        emit tree->itemDoubleClicked(account, 0);
        QTRY_VERIFY_WITH_TIMEOUT(session.server.connectionCount() > connections, patienceMs);
        QVERIFY(session.waitForLogin());
        QCOMPARE(session.server.requests(1).last().value("id").toVariant().toLongLong(), TerminalSession::account);
    }

    void autoLoginKeepsTheSavedPassword()
    {
        // The dialog presets the last entry; the online one logs in without it.
        TerminalSession session(false);
        QVERIFY(savedaccounts::write(
            savedaccounts::filePath(),
            {{"1001", "secret", session.server.url().toString(), TerminalSession::serverName, "", "online"},
             {"2002", "other", "ws://127.0.0.1:1", "Elsewhere", "", "offline"}}));
        session.build();
        QVERIFY(session.waitForLogin());
        QVERIFY(!session.window->loginDialog()->isVisible());
        QCOMPARE(savedAccount(TerminalSession::account).password, QStringLiteral("secret"));
        QCOMPARE(savedAccount(2002).status, QStringLiteral("offline"));
    }

    void deletingASavedAccount()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        session.window->close();
        session.window->loadAccountTree();
        QCOMPARE(session.window->findChild<QTreeWidget *>("accountTreeWidget")->topLevelItemCount(), 1);
        QString box;
        popuppicker::closeBox(&box, QMessageBox::Yes);
        session.window->deleteSavedAccount(TerminalSession::serverName, TerminalSession::account);
        QVERIFY(!QDir(session.accountFolder()).exists());
        QCOMPARE(savedaccounts::read(savedaccounts::filePath()).size(), 0);
        QCOMPARE(session.window->findChild<QTreeWidget *>("accountTreeWidget")->topLevelItemCount(), 0);
    }

    void oneClickVolumes_data()
    {
        QTest::addColumn<double>("lots");
        QTest::addColumn<int>("orderType");
        QTest::addColumn<qint64>("volume");
        QTest::newRow("0.57 buy is not 5699") << 0.57 << 0 << qint64(5700);
        QTest::newRow("0.29 sell is not 2899") << 0.29 << 1 << qint64(2900);
    }
    void oneClickVolumes()
    {
        QFETCH(double, lots);
        QFETCH(int, orderType);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        SymbolChartWidget *chart = session.window->createNewChart("EURUSD", 60);
        if (orderType == 1)
            emit chart->sell("EURUSD", lots);
        else
            emit chart->buy("EURUSD", lots);
        QTRY_VERIFY_WITH_TIMEOUT(session.server.requests(4).value(session.server.requests(4).size() - 1)["type"] == 0,
                                 patienceMs);
        const QJsonObject order = session.server.requests(4).last();
        QCOMPARE(order.value("order_type").toInt(), orderType);
        QCOMPARE(order.value("symbol").toString(), QStringLiteral("EURUSD"));
        QTEST(qint64(order.value("volume").toDouble()), "volume");
    }

    void tradeResultSounds_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<SoundEffects::Sound>("sound");
        QTest::newRow("done") << QJsonObject{{"status", 10009}} << SoundEffects::Trade;
        QTest::newRow("rejected") << QJsonObject{{"status", 10019}} << SoundEffects::Error;
        QTest::newRow("no status") << QJsonObject{} << SoundEffects::Error;
    }
    void tradeResultSounds()
    {
        QFETCH(QJsonObject, reply);
        TerminalSession session;
        QSignalSpy played(session.window->findChild<SoundEffects *>(), &SoundEffects::played);
        session.window->onTradeResponse(reply);
        QCOMPARE(played.count(), 1);
        QTEST(played.first().value(0).value<SoundEffects::Sound>(), "sound");
    }

    void scaleWidgetTree_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<QSize>("scaled");
        QTest::newRow("96 dpi") << 1.0 << QSize(300, 200);
        QTest::newRow("144 dpi") << 1.5 << QSize(200, 133);
    }
    void scaleWidgetTree()
    {
        QFETCH(double, factor);
        QWidget top;
        QWidget *level = &top;
        QList<QWidget *> tree{level};
        for (int depth = 0; depth < 3; ++depth)
            tree << (level = new QWidget(level));
        QFont big = level->font();
        big.setPointSize(22);
        level->setFont(big);
        for (QWidget *w : tree)
            w->resize(300, 200);
        ::scaleWidgetTree(&top, factor);
        for (QWidget *w : tree) {
            QTEST(w->size(), "scaled");
            QCOMPARE(w->font().pointSizeF(), 10.0);
        }
    }

    void screenshotOfTheLoggedInWindow()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(session.window->chartWindows().size(), 4, patienceMs);
        session.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(session.window.get()));
        const QImage shot = session.window->grab().toImage();
        shot.save("/tmp/mainwindow-screenshot.png");
        // The charts fill most of the window; the toolbar shows the candlestick icon's green and red bodies.
        int chartPixels = 0;
        QSet<QRgb> toolBar;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                chartPixels += shot.pixelColor(x, y) == Qt::black;
                if (y < 70)
                    toolBar << shot.pixel(x, y);
            }
        QVERIFY2(chartPixels > shot.width() * shot.height() / 4, qPrintable(QString::number(chartPixels)));
        QVERIFY(toolBar.contains(qRgb(30, 160, 70)) && toolBar.contains(qRgb(210, 40, 40)));
    }

    void resources_data()
    {
        QTest::addColumn<QString>("name");
        for (int sound = 0; sound < SoundEffects::SoundCount; ++sound) {
            const QString name = SoundEffects::resourceName(SoundEffects::Sound(sound));
            QTest::newRow(qPrintable(name)) << name;
        }
        for (const char *icon : {":/icon/user.ico", ":/icon/morwell.ico", ":/icon/buy.png", ":/icon/sell.png"})
            QTest::newRow(icon) << icon;
    }
    void resources()
    {
        QFETCH(QString, name);
        initTerminalResources();
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (name.endsWith(".wav")) {
            const QByteArray header = file.read(44);
            QVERIFY(header.startsWith("RIFF") && header.mid(8, 4) == "WAVE");
            QVERIFY(file.size() > 44 + 22050 / 10); // at least a tenth of a second
        } else {
            QCOMPARE(QPixmap(name).size(), QSize(32, 32));
        }
    }

    void journalKeepsTheNewestRows()
    {
        JournalWidget journal;
        journal.setRowLimit(3);
        for (int i = 0; i < 5; ++i)
            journal.addItem(QDateTime::currentDateTime(), "Terminal", QString::number(i));
        QCOMPARE(journal.topLevelItemCount(), 3);
        QCOMPARE(journal.topLevelItem(0)->text(2) + journal.topLevelItem(2)->text(2), QStringLiteral("24"));
    }
};

KESTRAL_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
