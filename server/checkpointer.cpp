#include "checkpointer.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <chrono>

namespace tradeserver {

Checkpointer::Checkpointer(const QString &path, int intervalMs)
{
    m_thread.reset(QThread::create([this, path, intervalMs] { run(path, intervalMs); }));
    m_thread->start(QThread::LowPriority);
}

Checkpointer::~Checkpointer()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread->wait();
}

void Checkpointer::run(const QString &path, int intervalMs)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("tradeserver-checkpoint-%1").arg(serial.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // Never waits for a lock: a copy that cannot be made now is made at the next beat.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (db.open()) {
            QSqlQuery query(db);
            std::unique_lock<std::mutex> lock(m_mutex);
            while (!m_stopping) {
                m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs));
                if (m_stopping || !m_dirty.exchange(false))
                    continue;
                lock.unlock();
                // Passive: the server's own connection is never held up by it.
                query.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
                query.finish();
                lock.lock();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace tradeserver
