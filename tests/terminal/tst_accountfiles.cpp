// The files that hold accounts and workspaces, read and written without a window.
#include "testmain.h"

#include "appglobals.h"
#include "brokerserver.h"
#include "savedaccounts.h"
#include "savedlogins.h"
#include "workspacefiles.h"
#include <QFileInfo>

using workspacefiles::ChartEntry;
Q_DECLARE_METATYPE(QVector<ChartEntry>)

class TestAccountFiles : public QObject
{
    Q_OBJECT

private slots:
    void loginLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("parsed"); // password and server
        QTest::newRow("three fields") << "1001;pw;ws://h:1" << QStringList{"pw", "ws://h:1"};
        QTest::newRow("empty password kept empty") << "1001;;ws://h:1" << QStringList{"", "ws://h:1"};
        QTest::newRow("one field") << "1001" << QStringList{"", ""};
        QTest::newRow("two fields") << "1001;pw" << QStringList{"", ""};
        QTest::newRow("password holding ;") << "1001;a;b;ws://h:1" << QStringList{"a;b", "ws://h:1"};
        QTest::newRow("password of ;; only") << "1001;;;;ws://h:1" << QStringList{";;", "ws://h:1"};
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
        const QString config = configPath() + QStringLiteral("-scan");
        const auto put = [&](const QString &folder, const QByteArray &line) {
            QVERIFY(workspacefiles::writePrivateFile(config + folder + QStringLiteral("/login"), line));
        };
        put("/b-server/9", "9;nine;ws://b:1\nsecond line ignored");
        put("/b-server/10", "10;ten;ws://b:1");
        put("/A-server/5", "5;five;ws://a:1");
        put("/A-server/0", "0;zero;ws://a:1");
        put("/A-server/abc", "1;x;ws://a:1");
        QVERIFY(workspacefiles::makePrivateFolder(config + QStringLiteral("/A-server/6")));
        const QVector<LoginRecord> records = savedlogins::scan(config);
        QStringList seen;
        for (const LoginRecord &r : records)
            seen << QStringLiteral("%1/%2/%3/%4").arg(r.serverName).arg(r.login).arg(r.password, r.server);
        QCOMPARE(seen,
                 QStringList({"A-server/5/five/ws://a:1", "b-server/10/ten/ws://b:1", "b-server/9/nine/ws://b:1"}));
    }

    void accountsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("two accounts") << QByteArray(
                                             R"([{"account":"1","server_name":"A"},{"account":"2","server_name":"B"}])")
                                      << QStringList({"1@A", "2@B"});
        QTest::newRow("not an array") << QByteArray(R"({"account":"1"})") << QStringList();
        QTest::newRow("truncated") << QByteArray("[{\"account\":\"1\",\"ser") << QStringList();
        QTest::newRow("non-objects skipped")
            << QByteArray(R"([3,"x",{"account":"4","server_name":"C"}])") << QStringList({"4@C"});
        QTest::newRow("wrong types read empty")
            << QByteArray(R"([{"account":5,"server_name":true}])") << QStringList({"@"});
    }
    void accountsFile()
    {
        QFETCH(QByteArray, content);
        const QString path = configPath() + QStringLiteral("/ACCOUNTS-read");
        QVERIFY(workspacefiles::writePrivateFile(path, content));
        QStringList keys;
        for (const SavedAccount &account : savedaccounts::read(path))
            keys << account.key();
        QTEST(keys, "keys");
    }

    void markOnlineLeavesOneOnlineEntry()
    {
        QVector<SavedAccount> accounts{{"1", "a", "ws://x", "A", "n", "online"},
                                       {"2", "b", "ws://y", "B", "m", "offline"}};
        savedaccounts::markOnline(accounts, {"2", "new", "ws://y", "B", "m", "online"});
        savedaccounts::markOnline(accounts, {"3", "", "ws://z", "C", "k", "online"});
        QCOMPARE(accounts.size(), 3);
        QCOMPARE(accounts[0].status + accounts[1].status + accounts[2].status, QStringLiteral("offlineofflineonline"));
        QCOMPARE(accounts[1].password, QStringLiteral("new"));
        QVERIFY(savedaccounts::remove(accounts, "2", "B"));
        QVERIFY(!savedaccounts::remove(accounts, "2", "A"));
        QCOMPARE(accounts.size(), 2);
    }

    void passwordFilesAreOwnerOnly()
    {
        const QString folder = configPath() + QStringLiteral("/Private/77");
        const QString path = folder + QStringLiteral("/login");
        QVERIFY(workspacefiles::writePrivateFile(path, "77;secret;ws://h:1\n"));
        QVERIFY(savedaccounts::write(configPath() + QStringLiteral("/ACCOUNTS"),
                                     {{"77", "secret", "ws://h", "P", "n", "online"}}));
        const auto owner = QFile::ReadOwner | QFile::WriteOwner;
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        for (const QString &file : {path, configPath() + QStringLiteral("/ACCOUNTS")}) {
            QCOMPARE(QFileInfo(file).permissions() & (owner | others), owner);
        }
        QCOMPARE(QFileInfo(folder).permissions() & (others | QFile::ExeOther), QFile::Permissions());
        QCOMPARE(savedaccounts::read(configPath() + QStringLiteral("/ACCOUNTS")).value(0).password,
                 QStringLiteral("secret"));
    }

    void safeServerNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "Kestral-Demo 2" << true;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("dot dot inside") << "x/../y" << false;
        QTest::newRow("NUL") << QString("a") + QChar(0) + "b" << false;
        QTest::newRow("newline") << "a\nb" << false;
        QTest::newRow("empty") << "" << false;
    }
    void safeServerNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(safeAccountPath(name, 5).isEmpty(), !safe);
    }

    void charts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QVector<ChartEntry>>("charts");
        QTest::newRow("two charts") << QByteArray("EURUSD;60;1\nGBPUSD;1440;0\n")
                                    << QVector<ChartEntry>{{"EURUSD", 60, true}, {"GBPUSD", 1440, false}};
        QTest::newRow("bad lines skipped") << QByteArray("EURUSD;x;1\n;60;1\nGBPUSD;-5;0\nUSDJPY\nXAUUSD;5;1\r\n")
                                           << QVector<ChartEntry>{{"XAUUSD", 5, true}};
    }
    void charts()
    {
        QFETCH(QByteArray, content);
        QFETCH(QVector<ChartEntry>, charts);
        const QVector<ChartEntry> parsed = workspacefiles::parseCharts(content);
        const auto text = [](const QVector<ChartEntry> &list) {
            QStringList out;
            for (const ChartEntry &c : list)
                out << QStringLiteral("%1 %2 %3").arg(c.symbol).arg(c.period).arg(c.oneClick);
            return out;
        };
        QCOMPARE(text(parsed), text(charts));
        QCOMPARE(text(workspacefiles::parseCharts(workspacefiles::formatCharts(charts))), text(charts));
    }

    void symbolsSplitOnWhiteSpace()
    {
        QCOMPARE(workspacefiles::parseSymbols("EURUSD\n\n GBPUSD\tUSDJPY\r\n"),
                 QStringList({"EURUSD", "GBPUSD", "USDJPY"}));
    }

    void brokerList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("servers");
        QTest::newRow("ours kept in order")
            << QByteArray(
                   R"([{"servers":[{"name":"B","ipaddr":"h:1","brokerId":34},{"name":"X","ipaddr":"x","brokerId":7}]},)"
                   R"({"servers":[{"name":"A","ipaddr":"h","brokerId":34}]}])")
            << true << QStringList({"B=h:1", "A=h"});
        QTest::newRow("not an array") << QByteArray(R"({"servers":[]})") << false << QStringList();
        QTest::newRow("malformed") << QByteArray("[{") << false << QStringList();
        QTest::newRow("id as text is not ours")
            << QByteArray(R"([{"servers":[{"name":"A","brokerId":"34"}]}])") << true << QStringList();
        // Qt's parser would leak the list that the repeated key drops.
        QTest::newRow("a repeated key after a list is refused")
            << QByteArray(R"([{"servers":[{"name":"A","ipaddr":"h","brokerId":34}],"servers":[]}])") << false
            << QStringList();
    }
    void brokerList()
    {
        QFETCH(QByteArray, body);
        const auto servers = parseBrokerList(body);
        QTEST(servers.has_value(), "valid");
        QStringList seen;
        for (const BrokerServer &server : servers.value_or(QVector<BrokerServer>()))
            seen << server.name + QLatin1Char('=') + server.address;
        QTEST(seen, "servers");
    }

    void tradeServerUrls_data()
    {
        QTest::addColumn<QString>("url"); // for the address in the row's name
        QTest::newRow("10.0.0.1") << "ws://10.0.0.1:9001";
        QTest::newRow("10.0.0.1:8000") << "ws://10.0.0.1:8000";
        QTest::newRow("ws://10.0.0.1:8000") << "ws://10.0.0.1:8000";
    }
    void tradeServerUrls() { QTEST(tradeServerUrl(QTest::currentDataTag()), "url"); }
};

KESTRAL_TEST_MAIN(TestAccountFiles)
#include "tst_accountfiles.moc"
