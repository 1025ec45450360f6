#include "loginthrottle.h"

#include <algorithm>

namespace tradeserver {

bool LoginThrottle::allows(qint64 login, qint64 nowSeconds) const
{
    const auto it = m_records.constFind(login);
    return it == m_records.constEnd() || nowSeconds >= it->until;
}

void LoginThrottle::failed(qint64 login, qint64 nowSeconds)
{
    Record &record = m_records[login];
    ++record.failures;
    const int over = record.failures - freeFailures;
    if (over > 0)
        record.until = nowSeconds + std::min<qint64>(qint64(1) << std::min(over - 1, 20), maxDelaySeconds);
}

} // namespace tradeserver
