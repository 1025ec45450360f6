// The main window's logins, saved accounts and workspace against a fake trade server
// and a loopback broker list; each test starts as a fresh run of the program.
#include "messageboxcloser.h"
#include "popuppicker.h"
#include "terminalsession.h"
#include "testmain.h"

#include "appglobals.h"
#include "changepassworddlg.h"
#include "journalwidget.h"
#include "logindialog.h"
#include "savedaccounts.h"
#include "scalewidgettree.h"
#include "soundeffects.h"
#include "symbolchartwidget.h"
#include "workspacefiles.h"
#include <QAction>
#include <QRegularExpression>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

QAction *action(Client_Terminal *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

QStringList savedAccounts()
{
    QStringList accounts;
    for (const SavedAccount &a : savedaccounts::read(savedaccounts::filePath()))
        accounts << QStringList({a.account, a.status, a.password, a.serverName, a.server}).join(' ');
    return accounts;
}

// What the program prints on the console.
QStringList g_console;
QtMessageHandler g_previousHandler = nullptr;
void captureConsole(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    g_console << QStringLiteral("%1 %2").arg(type == QtDebugMsg || type == QtInfoMsg ? "debug" : "warning", text);
    g_previousHandler(type, context, text);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

public slots:
    void openedInBrowser(const QUrl &url) { m_opened << url; }

private slots:
    void cleanup() { QDir(configPath()).removeRecursively(); }

    void webPagesOpenOverPlainHttp_data()
    {
        QTest::addColumn<QString>("webBase");
        QTest::addColumn<QString>("copyTradingBase");
        QTest::addColumn<QList<QUrl>>("opened"); // copy trading, then the calendar
        QTest::newRow("the built-in sites")
            << QString() << QString()
            << QList<QUrl>{QUrl("http://copytrading.kestralmarkets.com/"), QUrl("http://www.kestralmarkets.com/calender")};
        QTest::newRow("sites configured under TLS and with paths of their own")
            << "https://www.broker.test/en/" << "https://copy.broker.test/join?ref=1"
            << QList<QUrl>{QUrl("http://copy.broker.test/"), QUrl("http://www.broker.test/calender")};
    }
    void webPagesOpenOverPlainHttp()
    {
        QFETCH(QString, webBase);
        QFETCH(QString, copyTradingBase);
        qputenv("KESTRAL_WEB_BASE", webBase.toUtf8());
        qputenv("KESTRAL_COPY_TRADING_BASE", copyTradingBase.toUtf8());
        TerminalSession session;
        m_opened.clear();
        for (const char *scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(scheme, this, "openedInBrowser");
        action(session.window.get(), "actionCopyTrading")->trigger();
        action(session.window.get(), "actionCalendar")->trigger();
        for (const char *scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
        qunsetenv("KESTRAL_WEB_BASE");
        qunsetenv("KESTRAL_COPY_TRADING_BASE");
        QTEST(m_opened, "opened");
    }

    void login_data()
    {
        QTest::addColumn<bool>("savePassword");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("replyLogin"); // the login number the reply names; 0 for ours
        QTest::newRow("password saved") << true << false << "Test Client" << "Test Client" << 0;
        QTest::newRow("password not saved: not online; a name of 200,000 characters shortened")
            << false << false << QString(200000, 'N') << QString(63, 'N') + QChar(0x2026) << 0;
        QTest::newRow("read-only password") << true << true << "Test Client" << "Test Client" << 0;
        QTest::newRow("a reply naming another account") << true << false << "Test Client" << "Test Client" << 5555;
    }
    void login()
    {
        QFETCH(bool, savePassword);
        QFETCH(bool, readOnly);
        QFETCH(QString, name);
        QFETCH(int, replyLogin);
        TerminalSession session;
        if (readOnly)
            session.server.setLoginReply(FakeTradeServer::LoginMode::ReadOnly);
        // Saved by an earlier run: it stays only while the user keeps saving a password.
        QVERIFY(workspacefiles::writePrivateFile(session.accountFolder() + "/login", "1001;old;ws://127.0.0.1:1\n"));
        QJsonObject replyKeys{{"name", name}};
        if (replyLogin)
            replyKeys.insert("login", replyLogin);
        session.server.setLoginReplyKeys(replyKeys);
        session.window->loginDialog()->show();
        QVERIFY(session.loginAndWait(QStringLiteral("p;w"), savePassword));
        Client_Terminal *window = session.window.get();
        QCOMPARE(window->loginDialog()->savedLogins().value(0).password, savePassword ? "p;w" : "");

        QCOMPARE(savedAccounts(), QStringList(QStringLiteral("1001 %1 Kestral-Demo %2")
                                                  .arg(savePassword ? "online p;w" : "offline ",
                                                       session.server.url().toString())));
        QFETCH(QString, shown);
        QCOMPARE(window->windowTitle(), shown + QStringLiteral(" (1001, Kestral-Demo)") +
                                            (readOnly ? QStringLiteral(" [READ-ONLY MODE]") : QString()));
        QVERIFY(!action(window, "actionConnect")->isEnabled() && action(window, "actionDisconnect")->isEnabled());
        QCOMPARE(action(window, "actionChangePassword")->isEnabled(), !readOnly);
        QVERIFY(!window->loginDialog()->isVisible());
        // Open positions and the trade history are asked for.
        QTRY_VERIFY_WITH_TIMEOUT(!session.server.requests(4).isEmpty() && !session.server.requests(5).isEmpty(),
                                 patienceMs);
        const QJsonObject positions = session.server.requests(4).first();
        QCOMPARE(positions.value("type").toInt() * 10 + positions.value("is_last").toInt(), 51);
        // The symbol list opens the default charts.
        QTRY_COMPARE_WITH_TIMEOUT(window->chartWindows().size(), 4, patienceMs);

        // Closing saves the workspace, with the password only when it was saved.
        window->close();
        QCOMPARE(savedlogins::scan(configPath()).value(0).password, savePassword ? "p;w" : "");
        QVERIFY(QFile::exists(session.accountFolder() + "/charts"));
    }

    void failedLoginAsksAgain()
    {
        TerminalSession session;
        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        QVERIFY(session.waitForServers());
        const int brokerRequests = session.http.requests().size();
        QStringList boxes;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box->property("seen").toBool())
                return box ? box->button(QMessageBox::Ok)->click() : void();
            box->setProperty("seen", true);
            // A second refusal while the first box is open: no box may open inside it.
            if ((boxes << box->windowTitle() + ": " + box->text()).size() == 1)
                QTimer::singleShot(0, session.client, [&] { emit session.client->loginFail(); });
        });
        answer.start(10);
        QSignalSpy played(session.window->findChild<SoundEffects *>(), &SoundEffects::played);
        session.window->loginDialog()->setPassword("pw");
        session.window->loginDialog()->setLogin(TerminalSession::account);
        session.window->loginDialog()->onOk();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.value(0), "Login fail: Connecting to trade server failed. Try again your login.",
                                  patienceMs);
        QCOMPARE(played.value(0).value(0).value<SoundEffects::Sound>(), SoundEffects::Disconnected);
        QTRY_VERIFY(session.window->loginDialog()->isVisible());
        QTRY_COMPARE(session.http.requests().size(), brokerRequests + 1);
        QCOMPARE(boxes.size(), 1);
    }

    // After a password change: kept wherever the old one was, and the client reconnects with it.
    // Then a switch to another account.
    // The console stays quiet throughout: no debug line, and each problem once.
    void lostConnectionAndReconnection()
    {
        g_previousHandler = qInstallMessageHandler(captureConsole);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        Client_Terminal *window = session.window.get();
        QTRY_COMPARE_WITH_TIMEOUT(window->chartWindows().size(), 4, patienceMs);
        SymbolChartWidget *chart = window->chartWindows().first();
        QTest::mouseClick(chart, Qt::LeftButton, {}, chart->rect().center());
        session.http.setReply("POST", "/account/update", 200, "{}");
        qputenv("KESTRAL_ACCOUNT_PORT", QByteArray::number(session.http.port()));
        auto *dialog = window->findChild<ChangePasswordDlg *>();
        const QStringList fields{"txtMain", "txtNew1", "txtNew2"}, texts{"secret", "fresh", "fresh"};
        for (int i = 0; i < fields.size(); ++i)
            dialog->findChild<QLineEdit *>(fields[i])->setText(texts[i]);
        MessageBoxCloser boxes;
        dialog->onOK();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, patienceMs);
        QCOMPARE(window->loginDialog()->savedLogins().value(0).password, "fresh");
        QCOMPARE(savedAccounts(), QStringList("1001 online fresh Kestral-Demo " + session.server.url().toString()));

        QSignalSpy played(window->findChild<SoundEffects *>(), &SoundEffects::played);
        session.server.dropClients();
        QTRY_VERIFY_WITH_TIMEOUT(window->isDisconnectedSoundRunning(), patienceMs);
        QCOMPARE(played.count(), 1);
        QVERIFY(action(window, "actionConnect")->isEnabled() && !action(window, "actionDisconnect")->isEnabled());
        QVERIFY(QFile::exists(session.accountFolder() + "/symbols"));
        // The login stops the repeating sound.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isDisconnectedSoundRunning(), patienceMs);
        QVERIFY(action(window, "actionDisconnect")->isEnabled());
        QCOMPARE(played.last().value(0).value<SoundEffects::Sound>(), SoundEffects::Connected);
        QCOMPARE(session.server.requests(1).last().value("password").toString(), "fresh");
        QCOMPARE(window->chartWindows().size(), 4); // the restore reuses the open charts

        // Another account: the one left keeps its charts, one opened since the last save too, and its own address.
        window->createNewChart("GBPUSD", 60);
        FakeTradeServer second;
        LoginDialog *login = window->loginDialog();
        login->addServer("Second", second.address());
        login->setLogin(2002);
        login->setPassword("other");
        login->selectServerByName("Second");
        login->onOk();
        QTRY_COMPARE_WITH_TIMEOUT(window->login(), qint64(2002), patienceMs);
        QCOMPARE(workspacefiles::parseCharts(workspacefiles::readFile(session.accountFolder() + "/charts")).size(), 5);
        QCOMPARE(savedlogins::scan(configPath()).value(0).server, session.server.url().toString());
        qInstallMessageHandler(g_previousHandler);
        QVERIFY2(g_console.filter(QRegularExpression("^debug ")).isEmpty(), qPrintable(g_console.join('\n')));
        QCOMPARE(g_console.size(), QSet<QString>(g_console.cbegin(), g_console.cend()).size());
    }

    void workspaceSurvivesARestart()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        QTRY_COMPARE_WITH_TIMEOUT(session.window->chartWindows().size(), 4, patienceMs);
        session.window->createNewChart("GBPUSD", 60);
        QList<SymbolChartWidget *> charts = session.window->chartWindows();
        session.window->findChild<QMdiArea *>("graphArea")
            ->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(charts[1]->parentWidget()));
        action(session.window.get(), "actionD1")->trigger();
        charts[2]->setOneClickTradingVisible(true);
        QVector<QRect> placed;
        for (int i = 0; i < charts.size(); ++i) {
            placed << QRect(10 * i, 20 * i, 500 + i, 400 + i);
            charts[i]->parentWidget()->setGeometry(placed.last());
        }
        session.window->symbolStorage().setSymbolVisible("USDJPY", false);
        // Shown again, at the end of the market watch.
        session.window->symbolStorage().setSymbolVisible("EURUSD", false);
        session.window->symbolStorage().setSymbolVisible("EURUSD", true);
        session.window->resize(1000, 700);

        session.restart(); // the account is "online" in ACCOUNTS: logs in by itself
        QVERIFY(session.waitForLogin());
        QTRY_COMPARE_WITH_TIMEOUT(session.window->symbolStorage().symbolNames().size(), 5, patienceMs);
        QStringList seen;
        QVector<QRect> places;
        for (SymbolChartWidget *c : session.window->chartWindows()) {
            seen << QStringLiteral("%1 %2 %3").arg(c->symbol()).arg(c->period()).arg(c->isOneClickTradingVisible());
            places << c->parentWidget()->geometry();
        }
        QCOMPARE(seen, QStringList({"EURUSD 60 0", "GBPUSD 1440 0", "AUDUSD 60 1", "USDJPY 60 0", "GBPUSD 60 0"}));
        QCOMPARE(places, placed);
        QCOMPARE(session.window->size(), QSize(1000, 700));
        // In the order the user left, the hidden symbol hidden although the server offers it again.
        auto *watch = session.window->findChild<QTableWidget *>("symbolTableWidget");
        QStringList rows;
        for (int row = 0; row < watch->rowCount(); ++row)
            rows << watch->item(row, 0)->text();
        QCOMPARE(rows, QStringList({"GBPUSD", "AUDUSD", "XAUUSD", "EURUSD"}));
    }

    void restoredSymbols_data()
    {
        QTest::addColumn<bool>("listArrives");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("symbols no longer offered drop out") << true << QByteArray("USDJPY\n");
        QTest::newRow("closed before the symbol list") << false << QByteArray("GONE\nUSDJPY\n");
    }
    // Logged in by itself, as ACCOUNTS's online entry, with its saved password kept although
    // the dialog presets the last entry.
    void restoredSymbols()
    {
        QFETCH(bool, listArrives);
        TerminalSession session(false);
        if (!listArrives)
            session.server.setReplies(1, {});
        const QString url = session.server.url().toString();
        QVERIFY(savedaccounts::write(savedaccounts::filePath(),
                                     {{"1001", "secret", url, TerminalSession::serverName, "", "online"},
                                      {"2002", "other", "ws://127.0.0.1:1", "Elsewhere", "", "offline"}}));
        QVERIFY(workspacefiles::writePrivateFile(session.accountFolder() + "/symbols", "GONE\nUSDJPY\n"));
        session.build();
        QVERIFY(session.waitForLogin());
        QVERIFY(!session.window->loginDialog()->isVisible());
        QCOMPARE(savedAccounts(), QStringList({"1001 online secret Kestral-Demo " + url,
                                               "2002 offline other Elsewhere ws://127.0.0.1:1"}));
        if (listArrives)
            QTRY_COMPARE_WITH_TIMEOUT(session.window->symbolStorage().visibleSymbols(), QStringList("USDJPY"),
                                      patienceMs);
        session.window->close();
        QTEST(workspacefiles::readFile(session.accountFolder() + "/symbols"), "saved");
    }

    void hostileServerNamesStayInMemory()
    {
        TerminalSession session;
        JournalRecorder journal;
        QVERIFY(session.loginAndWait("pw", true, "../../outside"));
        session.server.dropClients(); // saves the workspace on the way down
        QTRY_VERIFY_WITH_TIMEOUT(session.window->isDisconnectedSoundRunning(), patienceMs);
        session.window->close();
        QCOMPARE(QDir(appDataPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList(brandName));
        QCOMPARE(QDir(configPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QTRY_COMPARE(journal.lines.filter("kept in memory only").size(), 1);
    }

    // The navigator's menu stays open while a login rebuilds the tree, which then lists
    // another account first, or no longer lists the chosen one.
    void navigatorMenuOverARebuild_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("the chosen account logs in again") << false;
        QTest::newRow("an account deleted meanwhile does nothing") << true;
    }
    void navigatorMenuOverARebuild()
    {
        QFETCH(bool, deleted);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        session.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(session.window.get()));
        auto *tree = session.window->findChild<QTreeWidget *>("accountTreeWidget");
        QTreeWidgetItem *account = tree->topLevelItem(0)->child(0);
        QCOMPARE(tree->topLevelItem(0)->text(0) + ' ' + account->text(0), TerminalSession::serverName + " 1001");
        const int connections = session.server.connectionCount();
        popuppicker::choose("Login", [&] {
            if (deleted)
                QDir(session.accountFolder()).removeRecursively();
            workspacefiles::writePrivateFile(accountPath("A", 7) + "/login", "7;pw;ws://127.0.0.1:1\n");
            session.window->loadAccountTree();
        });
        emit tree->customContextMenuRequested(tree->visualItemRect(account).center());
        // Logging in again starts with a log-out.
        QCOMPARE(action(session.window.get(), "actionDisconnect")->isEnabled(), deleted);
        if (deleted)
            return;
        QTRY_VERIFY_WITH_TIMEOUT(session.server.connectionCount() > connections, patienceMs);
        QVERIFY(session.waitForLogin());
        QCOMPARE(session.server.requests(1).last().value("id").toVariant().toLongLong(), TerminalSession::account);

        MessageBoxCloser boxes(nullptr, QMessageBox::Yes);
        session.window->deleteSavedAccount(TerminalSession::serverName, TerminalSession::account);
        QVERIFY(!QDir(session.accountFolder()).exists());
        QCOMPARE(savedAccounts(), QStringList());
        QCOMPARE(tree->topLevelItemCount(), 1); // "A", added meanwhile
    }

    // File > Connect to Trade server for the logged-in account: what the box says about the
    // password holds at once, whether or not a new connection follows.
    void savePasswordChoiceWhileLoggedIn_data()
    {
        QTest::addColumn<bool>("savedAtLogin");
        QTest::addColumn<bool>("saveNow");
        QTest::addColumn<QString>("passwordNow");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("kept");
        QTest::newRow("unticked, same password: no new connection") << true << false << "secret" << false << "";
        QTest::newRow("unticked, another password the server refuses") << true << false << "wrong" << true << "";
        QTest::newRow("ticked, same password: no new connection") << false << true << "secret" << false << "secret";
    }
    void savePasswordChoiceWhileLoggedIn()
    {
        QFETCH(bool, savedAtLogin);
        QFETCH(bool, saveNow);
        QFETCH(QString, passwordNow);
        QFETCH(bool, refused);
        QFETCH(QString, kept);
        TerminalSession session;
        QVERIFY(session.loginAndWait("secret", savedAtLogin));
        Client_Terminal *window = session.window.get();
        if (refused)
            session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        MessageBoxCloser boxes;
        LoginDialog *dialog = window->loginDialog();
        dialog->setPassword(passwordNow);
        dialog->setSavePassword(saveNow);
        dialog->onOk();
        if (refused)
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, patienceMs);
        const QString saved = QStringLiteral("1001 %1 %2 Kestral-Demo %3")
                                  .arg(kept.isEmpty() ? "offline" : "online", kept, session.server.url().toString());
        for (int pass = 0; pass < 2; ++pass) { // as chosen, then after closing
            QCOMPARE(savedAccounts(), QStringList(saved));
            QCOMPARE(savedlogins::scan(configPath()).value(0).password, kept);
            QCOMPARE(window->loginDialog()->savedLogins().value(0).password, kept);
            window->close();
        }
    }

    // Logged in to a second account, the navigator's login of the first, whose password is not
    // saved, offers no password; after a refused switch the window shows no account.
    void navigatorLoginToAnotherAccount()
    {
        TerminalSession session;
        QVERIFY(workspacefiles::writePrivateFile(session.accountFolder() + "/login", "1001;;ws://127.0.0.1:1\n"));
        QVERIFY(session.loginAndWait("secret", false));
        Client_Terminal *window = session.window.get();
        FakeTradeServer second;
        LoginDialog *dialog = window->loginDialog();
        dialog->addServer("Second", second.address());
        dialog->setLogin(2002);
        dialog->setPassword("other");
        dialog->selectServerByName("Second");
        dialog->setSavePassword(true);
        dialog->onOk();
        QTRY_COMPARE_WITH_TIMEOUT(window->login(), qint64(2002), patienceMs);
        QVERIFY(window->createNewChart("EURUSD"));

        session.server.setLoginReply(FakeTradeServer::LoginMode::Reject);
        auto *tree = window->findChild<QTreeWidget *>("accountTreeWidget");
        emit tree->itemDoubleClicked(tree->findItems("1001", Qt::MatchExactly | Qt::MatchRecursive).value(0), 0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(QStringLiteral("%1 [%2] %3").arg(dialog->login()).arg(dialog->password()).arg(dialog->savePassword()),
                 "1001 [] 0");
        MessageBoxCloser boxes;
        dialog->setPassword("wrong");
        dialog->onOk();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, patienceMs);
        QCOMPARE(window->windowTitle(), "KESTRAL");
        QCOMPARE(window->chartWindows().size(), 0);
    }

    // With nothing connected, the navigator's login of a saved account logs nobody out first.
    void navigatorLoginWhileDisconnected()
    {
        TerminalSession session(false);
        QVERIFY(workspacefiles::writePrivateFile(session.accountFolder() + "/login",
                                                 "1001;secret;" + session.server.url().toString().toUtf8() + "\n"));
        session.build();
        QVERIFY(session.waitForServers());
        JournalRecorder journal;
        auto *tree = session.window->findChild<QTreeWidget *>("accountTreeWidget");
        emit tree->itemDoubleClicked(tree->findItems("1001", Qt::MatchExactly | Qt::MatchRecursive).value(0), 0);
        QVERIFY(session.waitForLogin());
        QTRY_VERIFY(!journal.lines.filter("login to Kestral-Demo").isEmpty());
        QCOMPARE(journal.lines.filter("Log out"), QStringList());
    }

    // The market watch and navigator come back at the heights they were left, after a restart
    // (also when the window manager resizes the window after the restore) and after the
    // navigator's login of the same account.
    void docksComeBackAsLeft_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("a restart") << 0;
        QTest::newRow("a restart, the window resized after the restore") << 1;
        QTest::newRow("the navigator's login") << 2;
    }
    void docksComeBackAsLeft()
    {
        QFETCH(int, how);
        TerminalSession session;
        session.window->showMaximized();
        QVERIFY(session.loginAndWait());
        const auto heights = [&] {
            QStringList seen;
            for (const char *name : {"marketWatchDockWidget", "navigatorDockWidget"})
                seen << QString::number(session.window->findChild<QDockWidget *>(name)->height());
            return seen.join(' ');
        };
        const QString before = heights();
        const QSize maximised = session.window->size();
        auto *watch = session.window->findChild<QDockWidget *>("marketWatchDockWidget");
        // The toolbox gives up height, which the market watch takes.
        session.window->resizeDocks({session.window->findChild<QDockWidget *>("toolboxDockWidget"), watch}, {100, 300},
                                    Qt::Vertical);
        QTRY_VERIFY(heights() != before);
        const QString left = heights();
        if (how == 2) {
            auto *tree = session.window->findChild<QTreeWidget *>("accountTreeWidget");
            const int connections = session.server.connectionCount();
            emit tree->itemDoubleClicked(tree->findItems("1001", Qt::MatchExactly | Qt::MatchRecursive).value(0), 0);
            QTRY_VERIFY_WITH_TIMEOUT(session.server.connectionCount() > connections, patienceMs);
        } else {
            session.restart();
            session.window->showMaximized();
        }
        QVERIFY(session.waitForLogin());
        if (how == 1) {
            // As a window manager that lands late: through another size, then the final one.
            session.window->resize(maximised - QSize(200, 200));
            session.window->resize(maximised);
        }
        QTRY_COMPARE_WITH_TIMEOUT(session.window->size(), maximised, patienceMs);
        QTRY_COMPARE(heights(), left);
    }

    // The time column holds a whole time stamp in the journal's font, also after the font changes.
    void journalTimesShowWhole_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::newRow("its own font") << 0;
        QTest::newRow("10 points, the window's") << 10;
        QTest::newRow("16 points") << 16;
    }
    void journalTimesShowWhole()
    {
        QFETCH(int, pointSize);
        JournalWidget journal;
        QFont font = journal.font();
        if (pointSize) {
            font.setPointSize(pointSize);
            journal.setFont(font);
        }
        journal.addItem(QDateTime(QDate(2026, 12, 7), QTime(6, 8, 18, 888)), "Terminal", "Started");
        const QString stamp = journal.topLevelItem(0)->text(0);
        const int margin = journal.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &journal) + 1;
        QVERIFY2(journal.visualRect(journal.model()->index(0, 0)).width() >=
                     QFontMetrics(font).horizontalAdvance(stamp) + 2 * margin,
                 qPrintable(stamp));
    }

    // The 10-point font and the size divided by the factor, at every level and once.
    void scaleWidgetTree()
    {
        QWidget top;
        auto *middle = new QWidget(&top);
        auto *leaf = new QWidget(middle);
        QFont big = leaf->font();
        big.setPointSize(22);
        leaf->setFont(big);
        for (QWidget *w : {&top, middle, leaf})
            w->resize(300, 200);
        ::scaleWidgetTree(&top, 1.5);
        for (QWidget *w : {&top, middle, leaf})
            QCOMPARE(QString("%1 %2").arg(w->width() * 1000 + w->height()).arg(w->font().pointSizeF()), "200133 10");
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
