// Finds a table row by the text of one column without walking the table on every
// tick. Each hit is checked and the index rebuilt when rows moved (a sort); whoever
// adds or removes rows calls clear().
#pragma once

#include <QHash>
#include <QString>

class QTableWidget;

class TableRowIndex
{
public:
    // With `tag`, only rows whose column-0 item carries it under the user role count.
    explicit TableRowIndex(int keyColumn, const QString &tag = QString());

    // The first row whose key column reads `key`, or -1.
    int row(const QTableWidget *table, const QString &key);
    void clear() { m_rows.clear(); }

private:
    bool holds(const QTableWidget *table, int row, const QString &key) const;
    void rebuild(const QTableWidget *table);

    int m_column;
    QString m_tag;
    QHash<QString, int> m_rows;
};
