// Server time zones, the trade-history day arithmetic in a zone with daylight-saving
// changes, and the paths of stored files.
#include "appglobals.h"
#include "safename.h"
#include "servertime.h"
#include "testmain.h"

#include <ctime>

class TestTimeAndPaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // The epoch as shown in the server's zone.
    void parsesOffsets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty text is UTC") << QString() << "1970-01-01 00:00:00";
        QTest::newRow("east with minutes") << "+05:30" << "1970-01-01 05:30:00";
        QTest::newRow("negative zero hours keeps the sign") << "-00:30" << "1969-12-31 23:30:00";
        QTest::newRow("garbage hours count as zero") << "+xy:15" << "1970-01-01 00:15:00";
        QTest::newRow("out of range falls back to UTC") << "+99:00" << "1970-01-01 00:00:00";
    }
    void parsesOffsets()
    {
        QFETCH(QString, text);
        QTEST(formatDateTime(0, parseServerTimeZone(text)), "shown");
        // An invalid zone (before any login) shows UTC.
        QCOMPARE(formatTime(3600, QTimeZone()), QStringLiteral("01:00:00"));
    }

    void historyRangeRunsFromLocalMidnights_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::newRow("a week back over the spring change") << -7 << QDate(2026, 3, 29) << 1774134000ll << 1774821600ll;
        QTest::newRow("the 25-hour day") << 0 << QDate(2026, 10, 25) << 1792879200ll << 1792969200ll;
    }
    void historyRangeRunsFromLocalMidnights()
    {
        QFETCH(int, days);
        QFETCH(QDate, today);
        const auto range = tradeHistoryRange(days, today);
        QTEST(range.first, "from");
        QTEST(range.second, "to");
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("a plain server name") << "Demo-Server 2" << true;
        QTest::newRow("a placeholder stays literal") << "Demo%1" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("parent folder") << ".." << false;
        QTest::newRow("a slash") << "a/b" << false;
        QTest::newRow("a backslash") << "a\\b" << false;
        QTest::newRow("a drive colon") << "C:x" << false;
        QTest::newRow("a control character") << "a\x1b" << false;
        QTest::newRow("a device name") << "CON" << false;
        QTest::newRow("a device name with an extension") << "com1.txt" << false;
        QTest::newRow("a longer name that starts like one") << "CONSOLE" << true;
    }
    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(isSafePathName(name), safe);
        QCOMPARE(accountPath(name, 7), safe ? appDataPath() + "/KESTRAL/config/" + name + "/7" : QString());
    }

    // Whatever names the application has when the folder is first asked for, none
    // is appended to it.
    void dataFolderIsTheUsersOwn()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Org"));
        QCoreApplication::setApplicationName(QStringLiteral("App"));
        QCOMPARE(appDataPath(), QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")));
    }
};

KESTRAL_TEST_MAIN(TestTimeAndPaths)
#include "tst_timeandpaths.moc"
