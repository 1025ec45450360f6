// The files that hold accounts and workspaces, read and written without a window,
// and the login dialog that offers them.
#include "testmain.h"

#include "appglobals.h"
#include "brokerserver.h"
#include "logindialog.h"
#include "savedaccounts.h"
#include "savedlogins.h"
#include "workspacefiles.h"
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

namespace {

QStringList keysOf(const QVector<SavedAccount> &accounts)
{
    QStringList keys;
    for (const SavedAccount &account : accounts)
        keys << account.key() + QLatin1Char(' ') + account.status + QLatin1Char(' ') + account.password;
    return keys;
}

void writeLogin(const QString &server, qint64 login, const QString &password)
{
    QVERIFY(workspacefiles::writePrivateFile(accountPath(server, login) + QStringLiteral("/login"),
                                             savedlogins::formatLoginLine(login, password, "ws://h:1").toUtf8()));
}

} // namespace

class TestAccountFiles : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QDir(configPath()).removeRecursively(); }

    void loginLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("parsed"); // password and server
        QTest::newRow("three fields") << "1001;pw;ws://h:1" << QStringList{"pw", "ws://h:1"};
        QTest::newRow("two fields") << "1001;pw" << QStringList{"", ""};
        QTest::newRow("password holding ;") << "1001;a;b;ws://h:1" << QStringList{"a;b", "ws://h:1"};
    }
    void loginLine()
    {
        QFETCH(QString, line);
        const auto parsed = savedlogins::parseLoginLine(line);
        QTEST(QStringList({parsed.password, parsed.server}), "parsed");
        QCOMPARE(savedlogins::parseLoginLine(savedlogins::formatLoginLine(7, "p;w;", "ws://h:9")).password, "p;w;");
    }

    void scanOrderAndSkippedFolders()
    {
        const auto put = [](const QString &folder, const QByteArray &line) {
            QVERIFY(workspacefiles::writePrivateFile(configPath() + folder + QStringLiteral("/login"), line));
        };
        put("/b-server/9", "9;nine;ws://b:1\nsecond line ignored");
        put("/b-server/10", "10;ten;ws://b:1");
        put("/A-server/5", "5;five;ws://a:1");
        put("/A-server/0", "0;zero;ws://a:1");
        put("/A-server/abc", "1;x;ws://a:1");
        QVERIFY(workspacefiles::makePrivateFolder(configPath() + QStringLiteral("/A-server/6")));
        QStringList seen;
        for (const LoginRecord &r : savedlogins::scan(configPath()))
            seen << QStringLiteral("%1/%2/%3/%4").arg(r.serverName).arg(r.login).arg(r.password, r.server);
        QCOMPARE(seen,
                 QStringList({"A-server/5/five/ws://a:1", "b-server/10/ten/ws://b:1", "b-server/9/nine/ws://b:1"}));
    }

    void accountsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("not an array") << QByteArray(R"({"account":"1"})") << QStringList();
        QTest::newRow("non-objects skipped")
            << QByteArray(R"([3,"x",{"account":"4","server_name":"C"}])") << QStringList({"4@C  "});
        QTest::newRow("wrong types read empty")
            << QByteArray(R"([{"account":5,"server_name":true}])") << QStringList({"@  "});
    }
    void accountsFile()
    {
        QFETCH(QByteArray, content);
        QVERIFY(workspacefiles::writePrivateFile(savedaccounts::filePath(), content));
        QTEST(keysOf(savedaccounts::read(savedaccounts::filePath())), "keys");
    }

    // Written owner-only and read back; online moves to no account without its password.
    void accountsRoundTrip()
    {
        QVector<SavedAccount> accounts{{"1", "a", "ws://x", "A", "n", "online"},
                                       {"2", "b", "ws://y", "B", "m", "offline"}};
        savedaccounts::markOnline(accounts, {"2", "new", "ws://y", "B", "m", "online"});
        savedaccounts::markOnline(accounts, {"3", "", "ws://z", "C", "k", "online"});
        QVERIFY(savedaccounts::remove(accounts, "1", "A"));
        QVERIFY(!savedaccounts::remove(accounts, "2", "A"));
        QVERIFY(savedaccounts::write(savedaccounts::filePath(), accounts));
        QCOMPARE(keysOf(savedaccounts::read(savedaccounts::filePath())),
                 QStringList({"2@B offline new", "3@C offline "}));

        const QString folder = configPath() + QStringLiteral("/Private/77");
        QVERIFY(workspacefiles::writePrivateFile(folder + QStringLiteral("/login"), "77;secret;ws://h:1\n"));
        const auto owner = QFile::ReadOwner | QFile::WriteOwner;
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        for (const QString &file : {folder + QStringLiteral("/login"), savedaccounts::filePath()})
            QCOMPARE(QFileInfo(file).permissions() & (owner | others), owner);
        QCOMPARE(QFileInfo(folder).permissions() & (others | QFile::ExeOther), QFile::Permissions());
    }

    // The rules themselves are tested with the path helpers; here only what this adds.
    void safeServerNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("login");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "Kestral-Demo 2" << qint64(5) << true;
        QTest::newRow("no login") << "Kestral-Demo 2" << qint64(0) << false;
        QTest::newRow("blank") << "  " << qint64(5) << false;
    }
    void safeServerNames()
    {
        QFETCH(QString, name);
        QFETCH(qint64, login);
        QTEST(!safeAccountPath(name, login).isEmpty(), "safe");
    }

    void charts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("charts"); // as written back
        QTest::newRow("two charts") << QByteArray("EURUSD;60;1\nGBPUSD;1440;0\n")
                                    << QByteArray("EURUSD;60;1\nGBPUSD;1440;0\n");
        QTest::newRow("bad lines skipped")
            << QByteArray("EURUSD;x;1\n;60;1\nGBPUSD;-5;0\nUSDJPY\nXAUUSD;5;1\r\n") << QByteArray("XAUUSD;5;1\n");
    }
    void charts()
    {
        QFETCH(QByteArray, content);
        QTEST(workspacefiles::formatCharts(workspacefiles::parseCharts(content)), "charts");
        QCOMPARE(workspacefiles::parseSymbols("EURUSD\n\n GBPUSD\tUSDJPY\r\n"),
                 QStringList({"EURUSD", "GBPUSD", "USDJPY"}));
        // Places: a line that cannot be read, absurd figures among them, keeps the next line's chart.
        const QByteArray place = workspacefiles::formatChartPlaces({QRect(-5, 10, 300, 200)});
        QCOMPARE(workspacefiles::parseChartPlaces(place + "1;2;3;4;5\n0;0;9000;10\n0;0;0;10\n" + place),
                 QVector<QRect>({QRect(-5, 10, 300, 200), QRect(), QRect(), QRect(), QRect(-5, 10, 300, 200)}));
    }

    void brokerList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("servers"); // "invalid" when refused
        // Each address as the client connects to it: a port is added where none is given.
        QTest::newRow("ours kept in order")
            << QByteArray(
                   R"([{"servers":[{"name":"B","ipaddr":"h:1","brokerId":34},{"name":"X","ipaddr":"x","brokerId":7}]},)"
                   R"({"servers":[{"name":"A","ipaddr":"h","brokerId":34},)"
                   R"({"name":"C","ipaddr":"ws:\/\/c:8","brokerId":34}]}])")
            << QStringList({"B=ws://h:1", "A=ws://h:9001", "C=ws://c:8"});
        QTest::newRow("not an array") << QByteArray(R"({"servers":[]})") << QStringList("invalid");
        QTest::newRow("id as text is not ours")
            << QByteArray(R"([{"servers":[{"name":"A","brokerId":"34"}]}])") << QStringList();
        // Qt's parser would leak the list that the repeated key drops.
        QTest::newRow("a repeated key after a list is refused")
            << QByteArray(R"([{"servers":[{"name":"A","ipaddr":"h","brokerId":34}],"servers":[]}])")
            << QStringList("invalid");
    }
    void brokerList()
    {
        QFETCH(QByteArray, body);
        const auto servers = parseBrokerList(body);
        QStringList seen;
        for (const BrokerServer &server : servers.value_or(QVector<BrokerServer>()))
            seen << server.name + QLatin1Char('=') + tradeServerUrl(server.address);
        QTEST(servers ? seen : QStringList("invalid"), "servers");
    }

    void okNeedsAllThreeFields_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("withServer");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("all filled") << "1" << true << "pw" << true;
        QTest::newRow("no login") << "" << true << "pw" << false;
        QTest::newRow("a login that is not a number") << "1a" << true << "pw" << false;
        QTest::newRow("no password") << "1" << true << "" << false;
        QTest::newRow("no server") << "1" << false << "pw" << false;
    }
    void okNeedsAllThreeFields()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(bool, withServer);
        LoginDialog dialog;
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.findChild<QComboBox *>("loginBox")->setCurrentText(login);
        dialog.setPassword(password);
        if (withServer)
            dialog.addServer("S", "h:1");
        dialog.onOk();
        QTEST(accepted.count() == 1, "accepted");
    }

    // The dialog presets the last saved account and follows its server once the broker list offers
    // it; the folder scan lists the saved logins in another order than ACCOUNTS.
    void presetsTheLastSavedAccount()
    {
        writeLogin("T1", 5, "five");
        writeLogin("S2", 6, "six");
        QVERIFY(savedaccounts::write(savedaccounts::filePath(), {{"5", "five", "ws://h:1", "T1", "", "offline"},
                                                                 {"6", "six", "h:2", "S2", "", "online"}}));
        LoginDialog dialog;
        QCOMPARE(QString("%1 %2 %3").arg(dialog.login()).arg(dialog.password(), dialog.serverName()), "6 six ");
        auto *loginBox = dialog.findChild<QComboBox *>("loginBox");
        QCOMPARE(loginBox->count(), 2);
        dialog.addServer("T1", "h:1");
        QCOMPARE(dialog.serverName(), QString()); // neither the saved server nor the fallback yet
        dialog.addServer("Morwell demo server 2", "h:3");
        QCOMPARE(dialog.serverName(), QStringLiteral("Morwell demo server 2"));
        dialog.addServer("S2", "h:2");
        QCOMPARE(dialog.serverName() + ' ' + dialog.serverAddress(), QStringLiteral("S2 h:2"));
        loginBox->setCurrentIndex(1);
        loginBox->setCurrentIndex(0);
        QCOMPARE(dialog.password() + ' ' + dialog.serverName(), QStringLiteral("five T1"));
        dialog.clearServers();
        dialog.selectServerByRole1("h:9");
        QCOMPARE(dialog.serverAddress(), QStringLiteral("h:9"));
    }

    // The box shows the chosen account's own saved password, or none, and whether one is saved;
    // the first entry, current while the box fills, does not decide it for the preset last one.
    void loginBoxOffersEachAccountItsOwn_data()
    {
        QTest::addColumn<int>("chosen"); // the login box's item; -1: as built
        QTest::addColumn<QString>("shown"); // login, password, "Save Password"
        QTest::newRow("the last account, preset") << -1 << "6 six 1";
        QTest::newRow("an account saved without its password") << 0 << "5  0";
        QTest::newRow("an account with no saved login") << 1 << "7  1";
    }
    void loginBoxOffersEachAccountItsOwn()
    {
        QFETCH(int, chosen);
        writeLogin("T1", 5, "");
        writeLogin("T1", 6, "six");
        QVERIFY(savedaccounts::write(savedaccounts::filePath(), {{"5", "", "ws://h:1", "T1", "", "offline"},
                                                                 {"7", "", "ws://h:1", "T1", "", "offline"},
                                                                 {"6", "six", "ws://h:1", "T1", "", "online"}}));
        LoginDialog dialog;
        if (chosen >= 0)
            dialog.findChild<QComboBox *>("loginBox")->setCurrentIndex(chosen);
        QTEST(QStringLiteral("%1 %2 %3").arg(dialog.login()).arg(dialog.password()).arg(dialog.savePassword()), "shown");
    }

    // What is left: the folders S1/5 (listed), S1/6 and S2/5 (not listed), a file outside the config
    // folder that a hostile listed name climbs to, and the number of saved logins listed.
    void removeSavedLogin_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("login");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QString>("left");
        QTest::newRow("listed") << "S1" << 5 << true << "0111 0";
        QTest::newRow("other login") << "S1" << 6 << false << "1111 2";
        QTest::newRow("other server") << "S2" << 5 << false << "1111 2";
        QTest::newRow("a name climbing out is never removed") << "../../victim" << 5 << true << "1111 1";
    }
    void removeSavedLogin()
    {
        QFETCH(QString, server);
        QFETCH(int, login);
        writeLogin("S1", 5, "five");
        QVERIFY(workspacefiles::makePrivateFolder(accountPath("S1", 6)));
        QVERIFY(workspacefiles::makePrivateFolder(accountPath("S2", 5)));
        const QString outside = appDataPath() + QStringLiteral("/victim/5/keep");
        QVERIFY(workspacefiles::writePrivateFile(outside, "data"));
        LoginDialog dialog;
        dialog.savedLogins().append({5, "pw", "../../victim", "ws://h:1"});
        QTEST(dialog.removeSavedLogin(server, login), "removed");
        QTEST(QStringLiteral("%1%2%3%4 %5")
                  .arg(QDir(accountPath("S1", 5)).exists())
                  .arg(QDir(accountPath("S1", 6)).exists())
                  .arg(QDir(accountPath("S2", 5)).exists())
                  .arg(QFile::exists(outside))
                  .arg(dialog.savedLogins().size()),
              "left");
    }
};

KESTRAL_TEST_MAIN(TestAccountFiles)
#include "tst_accountfiles.moc"
