// The replies waiting for the user-interface thread, in arrival order. A newer
// positions, orders, history or symbol-list reply replaces an older one still
// waiting, and the rest is bounded, so a server sending faster than the window
// can follow costs neither memory without end nor a backlog to work through.
#pragma once

#include <QJsonObject>
#include <deque>

class ReplyQueue
{
public:
    // Connection events travel with the replies, so that none overtakes another.
    enum Event { Connected = -1, Disconnected = -2 };

    struct Entry
    {
        int code = 0; // a reply code or an Event
        QJsonObject reply;
        qint64 bytes = 0; // what the parsed reply takes, about
    };

    static constexpr int maxEntries = 2000;
    static constexpr qint64 maxBytes = qint64(128) << 20;

    // False when the entry was dropped because too much is waiting before it;
    // connection events and login replies are never dropped.
    bool put(Entry entry);
    bool take(Entry &entry);
    bool isEmpty() const { return m_entries.empty(); }
    // What the waiting entries take, about.
    qint64 bytes() const { return m_bytes; }

private:
    std::deque<Entry> m_entries;
    qint64 m_bytes = 0;
};
