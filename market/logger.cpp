#include "logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTextStream>
#include <QTimer>
#include <atomic>

namespace {

std::atomic<Logger *> theLogger{nullptr};

void flushAtExit()
{
    if (Logger *logger = theLogger.load())
        logger->flush();
}

// A record is one line of three tab-separated fields: line breaks and tabs inside a
// title or message are escaped so that they cannot forge records or fields.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return text;
}

} // namespace

Logger *Logger::instance()
{
    static QBasicMutex creation;
    QMutexLocker locker(&creation);
    if (!theLogger.load()) {
        theLogger.store(new Logger);
        qAddPostRoutine(flushAtExit);
    }
    return theLogger.load();
}

Logger::Logger(QObject *parent)
    : QThread(parent)
    , m_logDir(QDir::current().absoluteFilePath(QStringLiteral("Logs")))
{
    start(QThread::InheritPriority);
}

Logger::~Logger()
{
    flush();
    if (theLogger.load() == this)
        theLogger.store(nullptr);
}

void Logger::setClock(Clock clock)
{
    QMutexLocker locker(&mutex);
    m_clock = std::move(clock);
}

QDateTime Logger::now() const
{
    QMutexLocker locker(&mutex);
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void Logger::log(const QString &title, const QString &message)
{
    if (message.isEmpty())
        return;
    const QDateTime stamp = now();
    const QString line = stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char('\t')
        + oneLine(title) + QLatin1Char('\t') + oneLine(message);
    emit logMessage(stamp, title, message);
    if (!isRunning())
        return;
    QMutexLocker locker(&mutex);
    if (m_accepting)
        queue.append(line);
}

void Logger::run()
{
    if (!QDir().mkpath(m_logDir)) {
        QMutexLocker locker(&mutex);
        m_accepting = false;
        queue.clear();
        return;
    }
    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, &Logger::writeNextLine, Qt::DirectConnection);
    timer.start();
    exec();
}

void Logger::writeNextLine()
{
    QMutexLocker writing(&m_writeMutex);
    QString line;
    {
        QMutexLocker locker(&mutex);
        if (queue.isEmpty())
            return;
        line = queue.takeFirst();
    }
    writeLine(line);
}

void Logger::writeLine(const QString &line)
{
    if (line.isEmpty())
        return;
    const QString name = now().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log");
    QFile file(m_logDir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << line << '\n';
}

void Logger::flush()
{
    if (isRunning()) {
        quit();
        wait();
    }
    QMutexLocker writing(&m_writeMutex);
    QStringList rest;
    {
        QMutexLocker locker(&mutex);
        m_accepting = false;
        rest.swap(queue);
    }
    for (const QString &line : std::as_const(rest))
        writeLine(line);
}
