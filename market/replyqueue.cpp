#include "replyqueue.h"

#include <algorithm>

namespace {

// Only the newest reply of each of these kinds matters: each replaces what the
// window shows. A positions page that is not the last carries account figures
// only, so it replaces no full reply, while a full one replaces both.
enum Kind { Kept, PositionsPage, Positions, History, Orders, Symbols };

Kind kindOf(const ReplyQueue::Entry &entry)
{
    switch (entry.code) {
    case 4:
        return entry.reply.value(QLatin1String("is_last")).toInt() != 0 ? Positions : PositionsPage;
    case 5:
        return History;
    case 6:
        return Orders;
    case 8:
        return Symbols;
    default:
        return Kept;
    }
}

bool replaces(Kind newer, Kind older)
{
    return newer != Kept && (newer == older || (newer == Positions && older == PositionsPage));
}

} // namespace

bool ReplyQueue::put(Entry entry)
{
    const Kind kind = kindOf(entry);
    if (kind != Kept) {
        const auto stale = std::remove_if(m_entries.begin(), m_entries.end(), [&](const Entry &waiting) {
            if (!replaces(kind, kindOf(waiting)))
                return false;
            m_bytes -= waiting.bytes;
            return true;
        });
        m_entries.erase(stale, m_entries.end());
    } else if (entry.code > 1 && !m_entries.empty()
               && (int(m_entries.size()) >= maxEntries || m_bytes + entry.bytes > maxBytes)) {
        return false;
    }
    m_bytes += entry.bytes;
    m_entries.push_back(std::move(entry));
    return true;
}

bool ReplyQueue::take(Entry &entry)
{
    if (m_entries.empty())
        return false;
    entry = std::move(m_entries.front());
    m_entries.pop_front();
    m_bytes -= entry.bytes;
    return true;
}
