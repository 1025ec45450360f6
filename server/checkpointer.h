// Copies committed changes from the database's write-ahead journal back into the
// file from a thread and a connection of its own: that copy waits for the disk,
// and a reply should never wait behind it.
#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class QThread;

namespace tradeserver {

class Checkpointer
{
public:
    explicit Checkpointer(const QString &path, int intervalMs = 1000);
    ~Checkpointer(); // stops the thread
    Checkpointer(const Checkpointer &) = delete;
    Checkpointer &operator=(const Checkpointer &) = delete;

    // Something was committed: the next beat copies it.
    void wrote() { m_dirty = true; }

private:
    void run(const QString &path, int intervalMs);

    std::atomic<bool> m_dirty{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::unique_ptr<QThread> m_thread;
};

} // namespace tradeserver
