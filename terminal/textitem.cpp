#include "textitem.h"

static_assert(sizeof(TextItem) <= 72, "a cell should stay within one 72-byte block");

TextItem::TextItem(const QString &text, int type)
    : QTableWidgetItem(type)
{
    const int length = text.size();
    if (length <= inlineCapacity) {
        const QChar *chars = text.constData();
        int i = 0;
        for (; i < length && chars[i].unicode() < 0x100; ++i)
            m_chars[i] = char(chars[i].unicode());
        if (i == length) {
            m_length = quint8(length);
            return;
        }
    }
    setText(text);
}

QVariant TextItem::data(int role) const
{
    if (m_length == notInline || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QTableWidgetItem::data(role);
    // A text set later sits among the roles and wins.
    QVariant value = QTableWidgetItem::data(role);
    if (value.isValid())
        return value;
    return m_length == 0 ? QString() : QString::fromLatin1(m_chars, m_length);
}

QTableWidgetItem *TextItem::clone() const
{
    return new TextItem(*this);
}

bool TextItem::reads(const QString &text) const
{
    if (m_length == notInline || QTableWidgetItem::data(Qt::DisplayRole).isValid())
        return QTableWidgetItem::text() == text;
    if (text.size() != m_length)
        return false;
    const QChar *chars = text.constData();
    for (int i = 0; i < m_length; ++i) {
        if (chars[i].unicode() != uchar(m_chars[i]))
            return false;
    }
    return true;
}
