#include "journalwidget.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QRegularExpression>
#include <QStyle>

namespace {
constexpr auto timeFormat = "yyyy-MM-dd HH:mm:ss.zzz";
} // namespace

JournalWidget::JournalWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(3);
    setHeaderLabels({tr("Time"), tr("Source"), tr("Message")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    header()->setStretchLastSection(true);
    fitTimeColumn();
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
    auto *item = new QTreeWidgetItem({time.toString(QLatin1String(timeFormat)), title, message});
    addTopLevelItem(item);
    trim();
    if (atBottom)
        scrollToItem(item);
}

void JournalWidget::changeEvent(QEvent *event)
{
    QTreeWidget::changeEvent(event);
    // The window sets its font after the journal is built.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitTimeColumn();
}

void JournalWidget::fitTimeColumn()
{
    // Any time in this font: a stamp of the widest digit, and the item's text margins.
    const QFontMetrics metrics(font());
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    }
    const QString stamp = QString::fromLatin1(timeFormat).replace(QRegularExpression(QStringLiteral("[A-Za-z]")), widest);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    header()->resizeSection(0, metrics.horizontalAdvance(stamp) + 2 * margin + metrics.averageCharWidth());
}

void JournalWidget::trim()
{
    const int excess = topLevelItemCount() - m_rowLimit;
    for (int i = 0; i < excess; ++i)
        delete takeTopLevelItem(0);
}
