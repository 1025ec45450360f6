// A table cell that keeps a short Latin-1 text inside itself instead of in a string
// of its own and the item's list of roles: a table of 50,000 rows holds over half a
// million cells, and each of those allocations costs every one of them. A longer or
// wider text, and any later one, goes the usual way.
#pragma once

#include <QTableWidgetItem>

class TextItem : public QTableWidgetItem
{
public:
    explicit TextItem(const QString &text, int type = QTableWidgetItem::Type);

    QVariant data(int role) const override;
    QTableWidgetItem *clone() const override;
    // Whether the item shows `text`, told without making a string of its own.
    bool reads(const QString &text) const;

    // Sized so that the item, with a flag of a subclass in its tail, fills a 72-byte
    // block: a time "yyyy-MM-dd hh:mm:ss" and any price fit.
    static constexpr int inlineCapacity = 22;

private:
    static constexpr quint8 notInline = 0xFF;
    char m_chars[inlineCapacity];
    quint8 m_length = notInline;
};
