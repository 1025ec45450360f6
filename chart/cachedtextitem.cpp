#include "cachedtextitem.h"

CachedTextItem::CachedTextItem(QCustomPlot *parentPlot)
    : QCPItemText(parentPlot)
{
    m_glyphs.setTextFormat(Qt::PlainText);
}

void CachedTextItem::draw(QCPPainter *painter)
{
    if (!qFuzzyIsNull(mRotation) || mText.contains(QLatin1Char('\n'))) {
        QCPItemText::draw(painter);
        return;
    }
    const QFont font = mainFont();
    painter->setFont(font);
    if (mText != m_laidText || font != m_laidFont) {
        m_laidText = mText;
        m_laidFont = font;
        m_textRect = painter->fontMetrics().boundingRect(0, 0, 0, 0, Qt::TextDontClip | mTextAlignment, mText);
        m_glyphs.setText(mText);
        m_glyphs.prepare(QTransform(), font);
    }
    // The box's top left goes to the whole pixel the position asks for, as the
    // plain item places it.
    QRect textRect = m_textRect;
    QRect boxRect = textRect.adjusted(-mPadding.left(), -mPadding.top(), mPadding.right(), mPadding.bottom());
    const QPoint topLeft = getTextDrawPoint(QPointF(0, 0), boxRect, mPositionAlignment).toPoint();
    textRect.moveTopLeft(topLeft + QPoint(mPadding.left(), mPadding.top()));
    boxRect.moveTopLeft(topLeft);
    const QPointF pos = position->pixelPosition();
    const int clipPad = qCeil(mainPen().widthF());
    // In floating point: a far-off price puts the position beyond any whole pixel.
    if (!QRectF(boxRect.adjusted(-clipPad, -clipPad, clipPad, clipPad)).translated(pos).intersects(clipRect()))
        return;
    painter->translate(pos);
    const QPen pen = mainPen();
    const QBrush brush = mainBrush();
    if (pen.style() != Qt::NoPen || brush.style() != Qt::NoBrush) {
        painter->setPen(pen);
        painter->setBrush(brush);
        painter->drawRect(boxRect);
    }
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(mainColor()));
    painter->drawStaticText(textRect.topLeft(), m_glyphs);
}
