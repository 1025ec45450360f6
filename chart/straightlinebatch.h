// Drawn straight lines painted together: each such line sits on a hidden layer,
// and one layerable draws all the lines of a pen with one call, instead of the
// plotting library saving, clipping and restoring the painter for every line.
// The lines stay ordinary plot items for everything else.
#pragma once

#include <qcustomplot.h>

class BatchedStraightLine : public QCPItemStraightLine
{
public:
    using QCPItemStraightLine::QCPItemStraightLine;

    // What the item itself would paint: its pen, the painter's clip and the visible segment.
    QPen pen() const { return mainPen(); }
    QRect paintClip() const { return clipRect().translated(0, -1); }
    QLineF visibleSegment() const;
};

class StraightLineBatch : public QCPLayerable
{
public:
    // Draws the batched lines of `lines`, a layer that is itself never drawn, on `layer`.
    StraightLineBatch(QCustomPlot *plot, QCPLayer *lines, QCPLayer *layer);

    QCPLayer *linesLayer() const { return m_lines; }
    // A new line for the batch, on the hidden layer.
    BatchedStraightLine *addLine();

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;

private:
    QCPLayer *m_lines;
};
