#include "journalrecorder.h"

#include "logger.h"

JournalRecorder::JournalRecorder(QObject *parent)
    : QObject(parent)
{
    connect(Logger::instance(), &Logger::logMessage, this,
            [this](const QDateTime &, const QString &title, const QString &message) {
                m_lines.append(title + QStringLiteral(": ") + message);
            },
            Qt::QueuedConnection);
}
