// A chart history cache file of arbitrary bytes through the reader, checked against
// a record-by-record reading, then appended to and read again.
#include "fuzzsupport.h"

#include "chartmanager.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

namespace {

constexpr size_t recordSize = 40;

double doubleAt(const uint8_t *p)
{
    const quint64 bits = qFromBigEndian<quint64>(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Whole records of finite prices in file order; a later record of the same time replaces
// an earlier one.
std::map<qint64, CandleStick> recordsOf(const uint8_t *data, size_t size)
{
    std::map<qint64, CandleStick> bars;
    for (size_t offset = 0; offset + recordSize <= size; offset += recordSize) {
        const uint8_t *p = data + offset;
        const CandleStick bar{qFromBigEndian<qint64>(p), doubleAt(p + 8), doubleAt(p + 16), doubleAt(p + 24),
                              doubleAt(p + 32)};
        if (std::isfinite(bar.open) && std::isfinite(bar.high) && std::isfinite(bar.low) && std::isfinite(bar.close))
            bars[bar.timestamp] = bar;
    }
    return bars;
}

bool sameBits(const CandleStick &a, const CandleStick &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void checkEqual(const QVector<CandleStick> &read, const std::map<qint64, CandleStick> &expected)
{
    FUZZ_CHECK(size_t(read.size()) == expected.size());
    auto it = expected.cbegin();
    for (const CandleStick &bar : read)
        FUZZ_CHECK(sameBits(bar, (it++)->second));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzzsupport::root() + QStringLiteral("/EURUSD_60");
    fuzzsupport::writeFile(path, data, size);
    std::map<qint64, CandleStick> expected = recordsOf(data, size);
    checkEqual(ChartManager::loadHistoryFile(path), expected);

    // An append after a torn record must land on a record boundary.
    const qint64 next = expected.empty() ? 0 : expected.crbegin()->first;
    const CandleStick appended{next == std::numeric_limits<qint64>::max() ? next : next + 1, 1.5, 2.5, 0.5, 2.0};
    FUZZ_CHECK(ChartManager::appendHistoryRecord(path, appended));
    expected[appended.timestamp] = appended;
    const QVector<CandleStick> afterAppend = ChartManager::loadHistoryFile(path);
    checkEqual(afterAppend, expected);

    // A rewrite of what was read reads back the same.
    FUZZ_CHECK(ChartManager::writeHistoryFile(path, afterAppend));
    checkEqual(ChartManager::loadHistoryFile(path), expected);
    return 0;
}
