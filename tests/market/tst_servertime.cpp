#include "servertime.h"
#include "testmain.h"

Q_DECLARE_METATYPE(QTimeZone)

class TestServerTime : public QObject
{
    Q_OBJECT

private slots:
    void parsesOffsets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");

        QTest::newRow("empty text is UTC") << QString() << 0;
        QTest::newRow("east with minutes") << "+05:30" << 19800;
        QTest::newRow("west with minutes") << "-05:30" << -19800;
        QTest::newRow("negative zero hours keeps the sign") << "-00:30" << -1800;
        QTest::newRow("garbage hours count as zero") << "+xy:15" << 900;
        QTest::newRow("out of range falls back to UTC") << "+99:00" << 0;
        QTest::newRow("far west out of range falls back to UTC") << "-20:00" << 0;
    }
    void parsesOffsets()
    {
        QFETCH(QString, text);
        const QTimeZone zone = parseServerTimeZone(text);
        QVERIFY(zone.isValid());
        QTEST(zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(0, Qt::UTC)), "offset");
    }

    void formatsInZone_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QTimeZone>("zone");
        QTest::addColumn<QString>("dateTime");

        QTest::newRow("west of UTC crosses the day") << qint64(0) << parseServerTimeZone("-05:30") << "1969-12-31 18:30:00";
        QTest::newRow("an invalid zone shows UTC") << qint64(3600) << QTimeZone() << "1970-01-01 01:00:00";
    }
    void formatsInZone()
    {
        QFETCH(qint64, seconds);
        QFETCH(QTimeZone, zone);
        QFETCH(QString, dateTime);
        QCOMPARE(formatDateTime(seconds, zone), dateTime);
        QCOMPARE(formatTime(seconds, zone), dateTime.mid(11));
    }

    void historyRangeRunsFromLocalMidnightsToTomorrow()
    {
        const QDate today(2026, 3, 29); // a DST change day in many zones
        const auto [from, to] = tradeHistoryRange(-7, today);
        QCOMPARE(QDateTime::fromSecsSinceEpoch(from), QDateTime(today.addDays(-7), QTime(0, 0)));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(to), QDateTime(today.addDays(1), QTime(0, 0)));
    }
};

KESTRAL_TEST_MAIN(TestServerTime)
#include "tst_servertime.moc"
