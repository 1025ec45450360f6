// The compact look shared by the market watch, the trade, net and history tables.
#pragma once

#include <QFont>

class QTableWidget;

void styleSummaryTable(QTableWidget *table);

// The bold font of the footer rows of totals.
QFont summaryFooterFont();
