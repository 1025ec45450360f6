#include "tablerowindex.h"

#include <QTableWidget>

TableRowIndex::TableRowIndex(int keyColumn, const QString &tag)
    : m_column(keyColumn)
    , m_tag(tag)
{
}

bool TableRowIndex::holds(const QTableWidget *table, int row, const QString &key) const
{
    if (row < 0 || row >= table->rowCount())
        return false;
    const QTableWidgetItem *item = table->item(row, m_column);
    if (!item || item->text() != key)
        return false;
    if (m_tag.isEmpty())
        return true;
    const QTableWidgetItem *first = table->item(row, 0);
    return first && first->data(Qt::UserRole).toString() == m_tag;
}

void TableRowIndex::rebuild(const QTableWidget *table)
{
    m_rows.clear();
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, m_column);
        if (item && !m_rows.contains(item->text()) && holds(table, row, item->text()))
            m_rows.insert(item->text(), row);
    }
}

int TableRowIndex::row(const QTableWidget *table, const QString &key)
{
    int row = m_rows.value(key, -1);
    if (holds(table, row, key))
        return row;
    // A key never seen is common (ticks of symbols outside the market watch) and
    // needs no rebuild unless the index is empty.
    if (row < 0 && !m_rows.isEmpty())
        return -1;
    rebuild(table);
    row = m_rows.value(key, -1);
    return holds(table, row, key) ? row : -1;
}
