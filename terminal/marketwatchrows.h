// The market-watch rows: built from the last known tick, then rewritten in place
// by every tick with coloured rises and falls.
#pragma once

#include "tickdata.h"

#include <QTimeZone>

class QTableWidget;

// Whole points between bid and ask, rounded to the nearest: the double product of
// a 12-point spread is 11.99999..., which truncation would show as 11.
qint64 spreadPoints(double bid, double ask, int digits);

// Nine cells: symbol, bid, ask, spread, high, low, time, %H, %L.
void fillMarketWatchRow(QTableWidget *table, int row, const QString &symbol, const TickData &last, int digits);

// Rewrites the texts and colours of an existing row; cells that are missing are skipped.
void updateMarketWatchRow(QTableWidget *table, int row, const TickData &tick, const QTimeZone &zone);
