#include "footeritem.h"

#include <QHeaderView>
#include <QTableWidget>

FooterItem::FooterItem(const QString &text, bool footer)
    : TextItem(text, QTableWidgetItem::UserType)
    , m_footer(footer)
{
}

QTableWidgetItem *FooterItem::clone() const
{
    return new FooterItem(*this);
}

static bool isFooterItem(const QTableWidgetItem &item)
{
    return item.type() == QTableWidgetItem::UserType && static_cast<const FooterItem &>(item).isFooter();
}

bool FooterItem::operator<(const QTableWidgetItem &other) const
{
    const bool mine = m_footer;
    const bool theirs = isFooterItem(other);
    if (mine != theirs) {
        // A descending sort asks "other < this", so the footer has to be the smallest
        // then and the largest otherwise. Header clicks and sortByColumn set the
        // indicator before sorting; QTableWidget::sortItems sets it only afterwards.
        const QTableWidget *table = tableWidget();
        const bool descending = table && table->horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
        return descending ? mine : theirs;
    }
    bool leftIsNumber = false;
    bool rightIsNumber = false;
    const double left = text().toDouble(&leftIsNumber);
    const double right = other.text().toDouble(&rightIsNumber);
    if (leftIsNumber && rightIsNumber)
        return left < right;
    return text() < other.text();
}
