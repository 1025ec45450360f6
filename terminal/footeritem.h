// A cell of the summary tables: numbers sort as numbers, and a footer row of
// totals stays below the data whichever way the table is sorted.
#pragma once

#include "textitem.h"

class FooterItem : public TextItem
{
public:
    explicit FooterItem(const QString &text, bool footer = false);

    bool isFooter() const { return m_footer; }
    QTableWidgetItem *clone() const override;
    bool operator<(const QTableWidgetItem &other) const override;

private:
    bool m_footer = false;
};
