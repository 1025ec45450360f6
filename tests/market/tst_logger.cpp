#include "logger.h"
#include "testmain.h"

#include <memory>

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

};

KESTRAL_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
