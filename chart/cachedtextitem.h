// A text item that lays out its text once and draws the laid-out glyphs on each
// replot; a chart with hundreds of labels otherwise shapes every one of them on
// every replot. Rotated or multi-line texts are drawn as the plain item draws them.
#pragma once

#include <QFont>
#include <QRect>
#include <QStaticText>
#include <qcustomplot.h>

class CachedTextItem : public QCPItemText
{
    Q_OBJECT

public:
    explicit CachedTextItem(QCustomPlot *parentPlot);

protected:
    void draw(QCPPainter *painter) override;

private:
    QString m_laidText;
    QFont m_laidFont;
    QRect m_textRect;
    QStaticText m_glyphs;
};
