// Everything a chart needs to compute its indicators.
#pragma once

#include "indicatorcore.h"
#include "oscillatorindicators.h"
#include "trendindicators.h"
