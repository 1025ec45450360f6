#include "textitem.h"

TextItem::TextItem(const QString &text, int type)
    : QTableWidgetItem(type)
    , m_text(text)
{
}

QVariant TextItem::data(int role) const
{
    QVariant value = QTableWidgetItem::data(role);
    if (!value.isValid() && (role == Qt::DisplayRole || role == Qt::EditRole))
        return m_text;
    return value;
}

QTableWidgetItem *TextItem::clone() const
{
    return new TextItem(*this);
}
