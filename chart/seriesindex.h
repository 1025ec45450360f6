// Where a bar falls in an indicator line, whose keys are ascending bar indexes.
#pragma once

#include "indicatorcore.h"

#include <algorithm>

// Index of the first point at or after a bar.
inline int firstPointAtOrAfter(const IndicatorSeries &series, double key)
{
    return int(std::lower_bound(series.keys.cbegin(), series.keys.cend(), key) - series.keys.cbegin());
}
