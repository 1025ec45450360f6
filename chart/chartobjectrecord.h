// One saved drawn object of a chart: two points on the index axis and a name.
#pragma once

#include <QMetaType>
#include <QString>

struct ChartObjectRecord
{
    qint32 x1 = 0; // position on the chart's index axis, not a time
    double y1 = 0.0;
    qint32 x2 = 0;
    double y2 = 0.0;
    QString name;
};
Q_DECLARE_METATYPE(ChartObjectRecord)

// The name is left out on purpose: renaming an object is not a change worth saving.
inline bool operator==(const ChartObjectRecord &a, const ChartObjectRecord &b)
{
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}
inline bool operator!=(const ChartObjectRecord &a, const ChartObjectRecord &b) { return !(a == b); }
