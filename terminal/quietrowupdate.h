// Rewrites several cells of one table row behind a single change notice: each
// QTableWidgetItem setter would otherwise tell the view about its cell on its own,
// and on the tick path those notices cost more than the new texts.
#pragma once

#include <QAbstractItemModel>
#include <QTableWidget>

class QuietRowUpdate
{
public:
    QuietRowUpdate(QTableWidget *table, int row)
        : m_model(table->model())
        , m_row(row)
        , m_wasBlocked(m_model->blockSignals(true))
    {
    }
    ~QuietRowUpdate()
    {
        m_model->blockSignals(m_wasBlocked);
        if (!m_wasBlocked)
            emit m_model->dataChanged(m_model->index(m_row, 0), m_model->index(m_row, m_model->columnCount() - 1));
    }
    QuietRowUpdate(const QuietRowUpdate &) = delete;
    QuietRowUpdate &operator=(const QuietRowUpdate &) = delete;

private:
    QAbstractItemModel *m_model;
    int m_row;
    bool m_wasBlocked;
};
