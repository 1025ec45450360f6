#include "tablestyle.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>

namespace {

// Rows looked at for a column's width besides those in view: plenty for times and figures
// of one format, and few enough that a reply of many thousand rows costs nothing noticeable.
constexpr int sampledRows = 256;

// An even share of the width for every shown column, as a plain stretch gives it, but never
// less than a column needs: those that need more keep their need and the rest share what is
// left. Hidden columns (need < 0) get nothing.
QVector<int> shareWidth(const QVector<int> &needs, int available)
{
    QVector<int> widths(needs.size(), 0);
    QVector<int> sharing;
    for (int column = 0; column < needs.size(); ++column) {
        if (needs.at(column) >= 0)
            sharing.append(column);
    }
    int left = available;
    for (bool fixed = true; fixed && !sharing.isEmpty();) {
        fixed = false;
        const int share = left / sharing.size();
        for (int i = sharing.size() - 1; i >= 0; --i) {
            const int column = sharing.at(i);
            if (needs.at(column) > share) {
                widths[column] = needs.at(column);
                left -= needs.at(column);
                sharing.remove(i);
                fixed = true;
            }
        }
    }
    if (!sharing.isEmpty()) {
        const int share = left / sharing.size();
        int extra = left % sharing.size();
        for (int column : std::as_const(sharing))
            widths[column] = share + (extra-- > 0 ? 1 : 0);
    }
    return widths;
}

class ColumnFitter : public QObject
{
public:
    explicit ColumnFitter(QTableWidget *table)
        : QObject(table)
        , m_table(table)
    {
        setObjectName(QStringLiteral("columnFitter"));
        m_later.setSingleShot(true);
        m_later.setInterval(0);
        connect(&m_later, &QTimer::timeout, this, &ColumnFitter::fit);
        table->viewport()->installEventFilter(this);
        // A column hidden or shown gives its width to the others or takes it back.
        connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
            if (!m_fitting)
                m_later.start();
        });
    }

    void fit()
    {
        QHeaderView *header = m_table->horizontalHeader();
        const QVector<int> rows = sampleRows();
        QVector<int> needs(m_table->columnCount(), -1);
        for (int column = 0; column < needs.size(); ++column) {
            if (!header->isSectionHidden(column))
                needs[column] = need(column, rows);
        }
        const QVector<int> widths = shareWidth(needs, m_table->viewport()->width());
        m_fitting = true;
        for (int column = 0; column < widths.size(); ++column) {
            if (needs.at(column) >= 0 && header->sectionSize(column) != widths.at(column))
                header->resizeSection(column, widths.at(column));
        }
        m_fitting = false;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // At once, so no frame shows the old widths; a resize caused by the fitting itself
        // (a scroll bar coming or going) is fitted once that is done.
        if (event->type() == QEvent::Resize) {
            if (m_fitting)
                m_later.start();
            else
                fit();
        }
        return false;
    }

private:
    QVector<int> sampleRows() const
    {
        QVector<int> rows;
        const int count = m_table->rowCount();
        for (int row = 0; row < qMin(count, sampledRows); ++row)
            rows.append(row);
        const int top = qMax(sampledRows, m_table->rowAt(0));
        int bottom = m_table->rowAt(m_table->viewport()->height() - 1);
        if (bottom < 0)
            bottom = count - 1;
        for (int row = top; row <= qMin(bottom, top + sampledRows - 1); ++row)
            rows.append(row);
        return rows;
    }

    int need(int column, const QVector<int> &rows) const
    {
        int width = m_table->horizontalHeader()->sectionSizeHint(column);
        const QAbstractItemModel *model = m_table->model();
        for (int row : rows) {
            // A footer spread over several columns is none of them alone to hold.
            if (!m_table->item(row, column) || m_table->columnSpan(row, column) > 1)
                continue;
            width = qMax(width, m_table->sizeHintForIndex(model->index(row, column)).width());
        }
        return width + (m_table->showGrid() ? 1 : 0);
    }

    QTableWidget *m_table;
    QTimer m_later;
    bool m_fitting = false;
};

} // namespace

void fitColumnsToWidth(QTableWidget *table)
{
    if (!table)
        return;
    auto *fitter = table->findChild<ColumnFitter *>(QStringLiteral("columnFitter"), Qt::FindDirectChildrenOnly);
    if (!fitter) {
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        fitter = new ColumnFitter(table);
    }
    fitter->fit();
}

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
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QTableWidgetItem *header = table->horizontalHeaderItem(column))
            header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    // The width is shared out as a stretch would, but times and figures are never cut.
    fitColumnsToWidth(table);
}

QFont summaryFooterFont()
{
    QFont font;
    font.setWeight(75);
    return font;
}
