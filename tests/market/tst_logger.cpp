#include "logger.h"
#include "testmain.h"

#include <memory>
#include <thread>

namespace {

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString todaysFile(const Logger &logger)
{
    return logger.logDirectory() + QDate::currentDate().toString(QStringLiteral("/yyyy-MM-dd.log"));
}

// A running logger of its own, whose "Logs" folder is in `folder`.
std::unique_ptr<Logger> loggerIn(const QString &folder)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    auto logger = std::make_unique<Logger>();
    QDir::setCurrent(previous);
    return logger;
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void emitsAndWritesRecords_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("lines"); // as written, after the time stamp

        QTest::newRow("a plain record") << "Terminal" << "Started" << QStringList{"\tTerminal\tStarted"};
        QTest::newRow("an empty title keeps its field") << QString() << "x" << QStringList{"\t\tx"};
        QTest::newRow("line breaks and tabs cannot forge records or fields")
            << "Net\nwork" << "a\r\n2026-01-01 00:00:00.000\tFake\tline"
            << QStringList{"\tNet\\nwork\ta\\r\\n2026-01-01 00:00:00.000\\tFake\\tline"};
        QTest::newRow("an empty message is ignored") << "Terminal" << QString() << QStringList();
    }
    void emitsAndWritesRecords()
    {
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, lines);

        QTemporaryDir dir;
        const auto logger = loggerIn(dir.path());
        QSignalSpy spy(logger.get(), &Logger::logMessage);
        logger->log(title, message);
        logger->flush();
        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"));
        QCOMPARE(fileLines(todaysFile(*logger)).replaceInStrings(stamp, QString()), lines);
        QCOMPARE(spy.count(), lines.size());
        if (!lines.isEmpty()) // the journal gets the text as given
            QCOMPARE(spy.first().mid(1), (QVariantList{title, message}));
    }

    // Where lines land: "earlier" puts a line in today's file first, "blocked" makes
    // "Logs" a plain file, "midnight" stamps a line at 23:59:59.995 and writes it at
    // 00:00:00.005, "burst" logs from four threads and shuts down with most still queued.
    // Each file as "name: lines" (lines after the time stamp for one line of each thread).
    void logFiles_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("journalLines");

        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QTest::newRow("appended to the day's file, never truncated")
            << "earlier" << QStringList{today + ".log: earlier line|\tTerminal\tStarted"} << 1;
        QTest::newRow("no folder, no file, yet the journal gets every line") << "blocked" << QStringList() << 1;
        QTest::newRow("named by the day of writing, stamped by the day of logging")
            << "midnight" << QStringList{"2031-01-01.log: 2030-12-31 23:59:59.995\tTerminal\tlate"} << 1;
        QTest::newRow("lines queued at shut-down are written, each thread's in order")
            << "burst" << QStringList{today + ".log: 400 in order"} << 400;
    }
    void logFiles()
    {
        QFETCH(QString, setup);

        QTemporaryDir dir;
        const QString logs = dir.filePath(QStringLiteral("Logs"));
        const QString todays = QDate::currentDate().toString(QStringLiteral("/yyyy-MM-dd.log"));
        if (setup == "earlier" || setup == "blocked") {
            QVERIFY(QDir().mkpath(setup == "earlier" ? logs : dir.path()));
            QFile file(setup == "earlier" ? logs + todays : logs);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier line\n") > 0);
        }
        std::atomic<int> readings{0}; // of the clock; outlives the logger
        auto logger = loggerIn(dir.path());
        if (setup == "blocked") // the writer gives up at once
            QTRY_VERIFY(logger->isFinished());
        std::atomic<int> journalLines{0}; // counted in the logging threads
        connect(logger.get(), &Logger::logMessage, this, [&journalLines] { ++journalLines; }, Qt::DirectConnection);
        if (setup == "midnight") {
            // The first reading stamps the record, every later one is the writer's.
            logger->setClock([&readings] {
                return readings++ == 0 ? QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59, 995))
                                       : QDateTime(QDate(2031, 1, 1), QTime(0, 0, 0, 5));
            });
            logger->log(QStringLiteral("Terminal"), QStringLiteral("late"));
            logger->flush();
        } else if (setup == "burst") {
            std::vector<std::thread> workers;
            for (int t = 0; t < 4; ++t) {
                workers.emplace_back([&logger, t] {
                    for (int i = 0; i < 100; ++i)
                        logger->log(QStringLiteral("T%1").arg(t), QString::number(i));
                });
            }
            for (std::thread &worker : workers)
                worker.join();
            QTRY_VERIFY_WITH_TIMEOUT(fileLines(logs + todays).size() >= 10, 20000); // one line per 10 ms
            logger.reset(); // far faster than the writer's pace: most lines are still queued
        } else {
            logger->log(QStringLiteral("Terminal"), QStringLiteral("Started"));
            logger->flush();
        }
        QTEST(journalLines.load(), "journalLines");

        QStringList files;
        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"));
        for (const QString &name : QDir(logs).entryList(QDir::Files)) {
            QStringList lines = fileLines(logs + '/' + name);
            if (setup == "burst") {
                QVector<int> next(4, 0);
                for (const QString &line : std::as_const(lines)) {
                    const QStringList fields = line.split(QLatin1Char('\t'));
                    QCOMPARE(fields.value(2).toInt(), next[fields.value(1).mid(1).toInt() % 4]++);
                }
                lines = QStringList{QStringLiteral("%1 in order").arg(lines.size())};
            } else if (setup != "midnight") {
                lines.replaceInStrings(stamp, QString());
            }
            files << name + ": " + lines.join('|');
        }
        QTEST(files, "files");
        if (setup == "blocked") // left as it was
            QCOMPARE(fileLines(logs), QStringList{"earlier line"});
    }
};

KESTRAL_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
