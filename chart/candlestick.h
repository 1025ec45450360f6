// One bar of a chart, as cached on disk and passed between threads.
#pragma once

#include <QList>
#include <QMetaType>
#include <QVector>

struct CandleStick
{
    qint64 timestamp = 0; // Unix seconds
    double open = 0.0;
    double high = 0.0;
    double low = 0.0;
    double close = 0.0;
};
Q_DECLARE_TYPEINFO(CandleStick, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(CandleStick)

inline bool operator==(const CandleStick &a, const CandleStick &b)
{
    return a.timestamp == b.timestamp && a.open == b.open && a.high == b.high && a.low == b.low
        && a.close == b.close;
}
inline bool operator!=(const CandleStick &a, const CandleStick &b) { return !(a == b); }

// Registers CandleStick and QList<CandleStick> for queued connections; safe to call repeatedly.
void registerCandleStickTypes();
