#include "servertime.h"
#include "testmain.h"

#include <QDateTime>

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
        QTest::newRow("east whole hours") << "+03:00" << 10800;
        QTest::newRow("west with minutes") << "-05:30" << -19800;
        QTest::newRow("west half hour") << "-03:30" << -12600;
        QTest::newRow("negative zero hours keeps the sign") << "-00:30" << -1800;
        QTest::newRow("zero") << "+00:00" << 0;
        QTest::newRow("garbage hours count as zero") << "+xy:15" << 900;
        QTest::newRow("garbage everywhere") << "abcdef" << 0;
        QTest::newRow("out of range falls back to UTC") << "+99:00" << 0;
        QTest::newRow("far west out of range falls back to UTC") << "-20:00" << 0;
    }
    void parsesOffsets()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        const QTimeZone zone = parseServerTimeZone(text);
        QVERIFY(zone.isValid());
        QCOMPARE(zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(0, Qt::UTC)), offset);
    }

    void formatsInZone_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("dateTime");
        QTest::addColumn<QString>("time");

        QTest::newRow("epoch east") << qint64(0) << "+03:00" << "1970-01-01 03:00:00" << "03:00:00";
        QTest::newRow("epoch west crosses the day") << qint64(0) << "-05:30" << "1969-12-31 18:30:00" << "18:30:00";
        QTest::newRow("recent") << qint64(1700000000) << "" << "2023-11-14 22:13:20" << "22:13:20";
    }
    void formatsInZone()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, zone);
        QFETCH(QString, dateTime);
        QFETCH(QString, time);
        const QTimeZone tz = parseServerTimeZone(zone);
        QCOMPARE(formatDateTime(seconds, tz), dateTime);
        QCOMPARE(formatTime(seconds, tz), time);
    }

    void invalidZoneShowsUtc()
    {
        QCOMPARE(formatDateTime(0, QTimeZone()), QStringLiteral("1970-01-01 00:00:00"));
        QCOMPARE(formatTime(3600, QTimeZone()), QStringLiteral("01:00:00"));
    }

    void historyRange_data()
    {
        QTest::addColumn<int>("days");
        QTest::newRow("today") << 0;
        QTest::newRow("yesterday") << -1;
        QTest::newRow("this week") << -7;
        QTest::newRow("this month") << -30;
    }
    void historyRange()
    {
        QFETCH(int, days);
        const QDate today(2026, 3, 29); // a DST change day in many zones
        const auto [from, to] = tradeHistoryRange(days, today);
        QCOMPARE(QDateTime::fromSecsSinceEpoch(from).date(), today.addDays(days));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(from).time(), QTime(0, 0));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(to).date(), today.addDays(1));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(to).time(), QTime(0, 0));
        QVERIFY(from < to);
    }
};

KESTRAL_TEST_MAIN(TestServerTime)
#include "tst_servertime.moc"
