// Numbers, prices and times read left to right also in a right-to-left table:
// "-0.14" must not show as "0.14-", nor a date after its time.
#pragma once

#include <QStyledItemDelegate>

class QStyleOptionViewItem;

// A cell whose text holds a digit is laid out left to right where the right-to-left
// layout would have placed it.
void keepFiguresLeftToRight(QStyleOptionViewItem *option);

class LeftToRightFiguresDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
