#include "lefttorightfigures.h"

#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionViewItem>

void keepFiguresLeftToRight(QStyleOptionViewItem *option)
{
    static const QRegularExpression digit(QStringLiteral("\\d"));
    if (option->direction != Qt::RightToLeft || !option->text.contains(digit))
        return;
    // Absolute first, so the cell stays on the side the table's direction puts it.
    option->displayAlignment = QStyle::visualAlignment(Qt::RightToLeft, option->displayAlignment);
    option->direction = Qt::LeftToRight;
}

void LeftToRightFiguresDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    keepFiguresLeftToRight(option);
}
