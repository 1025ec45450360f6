#include "logger.h"
#include "testmain.h"

#include <memory>

namespace {

constexpr int patience = 20000;

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
        QTest::addColumn<QString>("fileTail"); // empty: nothing is emitted or written

        QTest::newRow("a plain record") << "Terminal" << "Started" << "\tTerminal\tStarted";
        QTest::newRow("an empty title keeps its field") << QString() << "x" << "\t\tx";
        QTest::newRow("line breaks and tabs cannot forge records or fields")
            << "Net\nwork" << "a\r\n2026-01-01 00:00:00.000\tFake\tline"
            << "\tNet\\nwork\ta\\r\\n2026-01-01 00:00:00.000\\tFake\\tline";
        QTest::newRow("an empty message is ignored") << "Terminal" << QString() << QString();
    }
    void emitsAndWritesRecords()
    {
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, fileTail);

        QTemporaryDir dir;
        const auto logger = loggerIn(dir.path());
        QSignalSpy spy(logger.get(), &Logger::logMessage);
        QTRY_VERIFY(logger->isRunning());
        logger->log(title, message);
        logger->flush();
        const QStringList lines = fileLines(todaysFile(*logger));
        if (fileTail.isEmpty()) {
            QCOMPARE(spy.count(), 0);
            QVERIFY(lines.isEmpty());
            return;
        }
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), title);
        QCOMPARE(spy.at(0).at(2).toString(), message); // the journal gets the text as given
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(fileTail), qPrintable(lines.first()));
        QCOMPARE(lines.first().count(QLatin1Char('\t')), 2);
        QVERIFY(QDateTime::fromString(lines.first().left(23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).isValid());
    }

    // Lines from several threads keep each thread's order, whether the writer took
    // them at its pace or the shut-down wrote the rest.
    void burstFromManyThreadsKeepsOrderPerThread()
    {
        constexpr int threads = 4;
        constexpr int perThread = 100;
        QTemporaryDir dir;
        auto logger = loggerIn(dir.path());
        QTRY_VERIFY(logger->isRunning());
        const QString file = todaysFile(*logger);
        QList<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers.append(QThread::create([&logger, t] {
                for (int i = 0; i < perThread; ++i)
                    logger->log(QStringLiteral("T%1").arg(t), QString::number(i));
            }));
            workers.last()->start();
        }
        for (QThread *worker : std::as_const(workers)) {
            QVERIFY(worker->wait(20000));
            delete worker;
        }
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(file).size() >= 10, patience); // one line per 10 ms
        logger.reset(); // far faster than the writer's pace: most lines are still queued
        const QStringList lines = fileLines(file);
        QCOMPARE(lines.size(), threads * perThread);
        QVector<int> next(threads, 0);
        for (const QString &line : lines) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            QCOMPARE(fields.at(2).toInt(), next[fields.at(1).mid(1).toInt()]++);
        }
    }

    void lineWrittenAfterMidnightGoesToTheNewDay()
    {
        QTemporaryDir dir;
        const auto logger = loggerIn(dir.path());
        QTRY_VERIFY(logger->isRunning());
        // The first reading stamps the record, every later one is the writer's.
        std::atomic<int> readings{0};
        logger->setClock([&readings] {
            return readings++ == 0 ? QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 995))
                                   : QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 5));
        });
        logger->log(QStringLiteral("Terminal"), QStringLiteral("late"));
        logger->flush();
        QVERIFY(!QFile::exists(logger->logDirectory() + QStringLiteral("/2026-12-06.log")));
        QCOMPARE(fileLines(logger->logDirectory() + QStringLiteral("/2026-12-07.log")),
                 QStringList{QStringLiteral("2026-12-06 23:59:59.995\tTerminal\tlate")});
    }

    void logsFolderThatIsAFileWritesNothing()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("Logs")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a folder");
        blocker.close();

        const auto logger = loggerIn(dir.path());
        QTRY_VERIFY(logger->isFinished());
        QSignalSpy spy(logger.get(), &Logger::logMessage);
        logger->log(QStringLiteral("Terminal"), QStringLiteral("still reported"));
        logger->flush();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(blocker.size(), qint64(12));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Logs"});
    }
};

KESTRAL_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
