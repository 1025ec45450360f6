#include "appglobals.h"
#include "logger.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

namespace {

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString todaysFile(const Logger &logger)
{
    return logger.logDirectory() + QLatin1Char('/') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".log");
}

// A logger of its own in a fresh working folder.
struct ScopedLogger
{
    explicit ScopedLogger(const QString &folder)
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder);
        logger = std::make_unique<Logger>();
        QDir::setCurrent(previous);
    }
    std::unique_ptr<Logger> logger;
};

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void emitsAndWritesRecords_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("fileTail");

        QTest::newRow("plain") << "Terminal" << "Started" << "\tTerminal\tStarted";
        QTest::newRow("empty title keeps its field") << QString() << "x" << "\t\tx";
        QTest::newRow("line breaks cannot forge records")
            << "Net\nwork" << "a\r\n2026-01-01 00:00:00.000\tFake\tline" << "\tNet\\nwork\ta\\r\\n2026-01-01 00:00:00.000\tFake\tline";
    }
    void emitsAndWritesRecords()
    {
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, fileTail);

        QTemporaryDir dir;
        ScopedLogger scoped(dir.path());
        QSignalSpy spy(scoped.logger.get(), &Logger::logMessage);
        QTRY_VERIFY(scoped.logger->isRunning());
        scoped.logger->log(title, message);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), title);
        QCOMPARE(spy.at(0).at(2).toString(), message); // the journal gets the text as given

        QTRY_COMPARE(fileLines(todaysFile(*scoped.logger)).size(), 1);
        const QString line = fileLines(todaysFile(*scoped.logger)).first();
        QVERIFY2(line.endsWith(fileTail), qPrintable(line));
        const QDateTime stamp = QDateTime::fromString(line.left(23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QVERIFY(stamp.isValid());
    }

    void emptyMessageIsIgnored()
    {
        QTemporaryDir dir;
        ScopedLogger scoped(dir.path());
        QSignalSpy spy(scoped.logger.get(), &Logger::logMessage);
        scoped.logger->log(QStringLiteral("Terminal"), QString());
        scoped.logger->flush();
        QCOMPARE(spy.count(), 0);
        QVERIFY(!QFile::exists(todaysFile(*scoped.logger)));
    }

    void burstFromManyThreadsKeepsOrderPerThread()
    {
        QTemporaryDir dir;
        ScopedLogger scoped(dir.path());
        QTRY_VERIFY(scoped.logger->isRunning());
        // A spy is not thread-safe; count in this thread through queued delivery.
        int journalled = 0;
        QObject receiver;
        connect(scoped.logger.get(), &Logger::logMessage, &receiver, [&journalled] { ++journalled; });

        constexpr int threads = 4;
        constexpr int perThread = 50;
        QList<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers.append(QThread::create([&scoped, t] {
                for (int i = 0; i < perThread; ++i)
                    scoped.logger->log(QStringLiteral("T%1").arg(t), QString::number(i));
            }));
        }
        for (QThread *w : std::as_const(workers))
            w->start();
        for (QThread *w : std::as_const(workers)) {
            QVERIFY(w->wait(10000));
            delete w;
        }
        QTRY_COMPARE(journalled, threads * perThread);

        // The writer drains one line per 10 ms; 200 lines take about two seconds.
        QTRY_COMPARE_WITH_TIMEOUT(fileLines(todaysFile(*scoped.logger)).size(), threads * perThread, 15000);
        QVector<int> next(threads, 0);
        for (const QString &line : fileLines(todaysFile(*scoped.logger))) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            QCOMPARE(fields.size(), 3);
            const int t = fields.at(1).mid(1).toInt();
            QCOMPARE(fields.at(2).toInt(), next[t]);
            ++next[t];
        }
    }

    void queuedLinesSurviveShutdown()
    {
        QTemporaryDir dir;
        ScopedLogger scoped(dir.path());
        QTRY_VERIFY(scoped.logger->isRunning());
        for (int i = 0; i < 300; ++i)
            scoped.logger->log(QStringLiteral("Terminal"), QString::number(i));
        scoped.logger->log(QStringLiteral("Terminal"), QStringLiteral("Closed"));
        const QString file = todaysFile(*scoped.logger);
        scoped.logger.reset(); // far faster than the writer's pace: lines are still queued
        const QStringList lines = fileLines(file);
        QCOMPARE(lines.size(), 301);
        QVERIFY(lines.first().endsWith(QStringLiteral("\tTerminal\t0")));
        QVERIFY(lines.last().endsWith(QStringLiteral("\tTerminal\tClosed")));
    }

    void lineWrittenAfterMidnightGoesToTheNewDay()
    {
        QTemporaryDir dir;
        ScopedLogger scoped(dir.path());
        QTRY_VERIFY(scoped.logger->isRunning());
        // The first reading stamps the record, every later one is the writer's.
        std::atomic<int> readings{0};
        scoped.logger->setClock([&readings] {
            return readings++ == 0 ? QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 995))
                                   : QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 5));
        });
        scoped.logger->log(QStringLiteral("Terminal"), QStringLiteral("late"));
        scoped.logger->flush();
        const QString folder = scoped.logger->logDirectory();
        QVERIFY(!QFile::exists(folder + QStringLiteral("/2026-12-06.log")));
        const QStringList lines = fileLines(folder + QStringLiteral("/2026-12-07.log"));
        QCOMPARE(lines, QStringList{QStringLiteral("2026-12-06 23:59:59.995\tTerminal\tlate")});
    }

    void logsFolderThatIsAFileWritesNothing()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("Logs")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a folder");
        blocker.close();

        ScopedLogger scoped(dir.path());
        QTRY_VERIFY(scoped.logger->isFinished());
        QSignalSpy spy(scoped.logger.get(), &Logger::logMessage);
        scoped.logger->log(QStringLiteral("Terminal"), QStringLiteral("still reported"));
        scoped.logger->flush();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(blocker.size(), qint64(12));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Logs"});
    }

    void instanceIsOneAcrossThreads()
    {
        Logger *seen[4] = {};
        QList<QThread *> workers;
        for (int i = 0; i < 4; ++i)
            workers.append(QThread::create([&seen, i] { seen[i] = Logger::instance(); }));
        for (QThread *w : std::as_const(workers))
            w->start();
        for (QThread *w : std::as_const(workers)) {
            QVERIFY(w->wait(10000));
            delete w;
        }
        for (Logger *l : seen)
            QCOMPARE(l, Logger::instance());
    }

    void pathsAreBuiltFromDataFolderAndBrand()
    {
        QVERIFY(appDataPath().startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));
        QCOMPARE(configPath(), appDataPath() + QStringLiteral("/KESTRAL/config"));
        QCOMPARE(accountPath(QStringLiteral("Demo"), 12345), appDataPath() + QStringLiteral("/KESTRAL/config/Demo/12345"));
        QCOMPARE(accountPath(QStringLiteral("Demo%1"), 7), appDataPath() + QStringLiteral("/KESTRAL/config/Demo%1/7"));
    }
};

KESTRAL_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
