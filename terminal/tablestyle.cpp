#include "tablestyle.h"

#include <QHeaderView>
#include <QTableWidget>

void styleSummaryTable(QTableWidget *table)
{
    if (!table)
        return;
    QFont font = table->font();
    font.setPointSize(8);
    table->setFont(font);
    table->verticalHeader()->setDefaultSectionSize(4);
    table->horizontalHeader()->setMinimumHeight(16);
    table->setAlternatingRowColors(true);
    // New rows already have the default height; asking again costs each row a resize.
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->rowHeight(row) != 4)
            table->setRowHeight(row, 4);
    }
    for (int column = 0; column < table->columnCount(); ++column)
        table->setColumnWidth(column, 4);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QTableWidgetItem *header = table->horizontalHeaderItem(column))
            header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

QFont summaryFooterFont()
{
    QFont font;
    font.setWeight(75);
    return font;
}
