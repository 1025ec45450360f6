// A table cell that keeps the text it was made with itself instead of in the item's
// list of roles: a table of 50,000 rows holds over half a million cells, and that
// list costs each of them an allocation of its own. A later text goes the usual way.
#pragma once

#include <QTableWidgetItem>

class TextItem : public QTableWidgetItem
{
public:
    explicit TextItem(const QString &text, int type = QTableWidgetItem::Type);

    QVariant data(int role) const override;
    QTableWidgetItem *clone() const override;

private:
    QString m_text;
};
