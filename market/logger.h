// The process-wide journal: emits each message at once and appends it to a daily
// file under "Logs" from its own thread, one line per 10 ms.
#pragma once

#include <QDateTime>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <functional>

class Logger : public QThread
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    static Logger *instance();

    // Public so that tests can run loggers of their own in other folders; the
    // program uses instance() only. The "Logs" folder is taken relative to the
    // working directory at construction.
    explicit Logger(QObject *parent = nullptr);
    ~Logger() override;

    void log(const QString &title, const QString &message);

    // Writes every queued line now, in order, and stops the writer thread. Runs
    // when the application object goes away so that the last lines of a run
    // (such as "Closed") are not lost.
    void flush();

    // Time source for stamps and for the day of the file; tests move it.
    void setClock(Clock clock);

    QString logDirectory() const { return m_logDir; }

signals:
    void logMessage(QDateTime logTime, QString title, QString message);

protected:
    void run() override;

private:
    void writeNextLine();
    void writeLine(const QString &line);
    QDateTime now() const;

    QStringList queue;
    mutable QMutex mutex;
    // Serialises taking a line with writing it, so flush() and the writer thread
    // never reorder lines.
    QMutex m_writeMutex;
    QString m_logDir;
    Clock m_clock;
    bool m_accepting = true;
};
