#include "journalwidget.h"

#include <QHeaderView>
#include <QScrollBar>

JournalWidget::JournalWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(3);
    setHeaderLabels({tr("Time"), tr("Source"), tr("Message")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    header()->setStretchLastSection(true);
    header()->resizeSection(0, 160);
    header()->resizeSection(1, 120);
}

JournalWidget::~JournalWidget() = default;

void JournalWidget::setRowLimit(int limit)
{
    m_rowLimit = qMax(1, limit);
    trim();
}

void JournalWidget::addItem(QDateTime time, QString title, QString message)
{
    // Follow the newest row only when the user is not reading older ones.
    const bool atBottom = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    auto *item = new QTreeWidgetItem({time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), title, message});
    addTopLevelItem(item);
    trim();
    if (atBottom)
        scrollToItem(item);
}

void JournalWidget::trim()
{
    const int excess = topLevelItemCount() - m_rowLimit;
    for (int i = 0; i < excess; ++i)
        delete takeTopLevelItem(0);
}
