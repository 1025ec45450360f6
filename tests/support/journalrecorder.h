// Collects the logger's journal lines in the thread that creates the recorder, so
// lines logged from the network thread arrive queued and can be awaited with QTRY_*.
#pragma once

#include <QObject>
#include <QStringList>

class JournalRecorder : public QObject
{
    Q_OBJECT

public:
    explicit JournalRecorder(QObject *parent = nullptr);

    // Each line as "title: message".
    QStringList lines() const { return m_lines; }
    int count(const QString &line) const { return m_lines.count(line); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};
