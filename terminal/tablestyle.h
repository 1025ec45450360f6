// The compact look shared by the market watch, the trade, net and history tables.
#pragma once

#include <QFont>

class QTableWidget;

void styleSummaryTable(QTableWidget *table);

// Shares the table's width out among its shown columns as an even stretch would, except that
// no column gets less than its cells and header need (the table scrolls rather than cut
// them); kept so while the table is resized and columns are hidden or shown.
void fitColumnsToWidth(QTableWidget *table);

// The bold font of the footer rows of totals.
QFont summaryFooterFont();
