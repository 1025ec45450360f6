#include "straightlinebatch.h"

#include <QtMath>

QLineF BatchedStraightLine::visibleSegment() const
{
    const QCPVector2D start(point1->pixelPosition());
    const QCPVector2D end(point2->pixelPosition());
    const int pad = qCeil(mainPen().widthF());
    return getRectClippedStraightLine(start, end - start, clipRect().adjusted(-pad, -pad, pad, pad));
}

StraightLineBatch::StraightLineBatch(QCustomPlot *plot, QCPLayer *lines, QCPLayer *layer)
    : QCPLayerable(plot)
    , m_lines(lines)
{
    m_lines->setVisible(false);
    setLayer(layer);
}

BatchedStraightLine *StraightLineBatch::addLine()
{
    auto *line = new BatchedStraightLine(parentPlot());
    line->setLayer(m_lines);
    return line;
}

void StraightLineBatch::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    Q_UNUSED(painter)
}

void StraightLineBatch::draw(QCPPainter *painter)
{
    // Lines that paint alike, in the order their first line was made; within a
    // group the order does not show, since every line has the same look.
    struct Group
    {
        QPen pen;
        QRect clip;
        bool antialiased;
        QVector<QLineF> exact;
        QVector<QLine> whole;
    };
    QVector<Group> groups;
    for (QCPLayerable *child : m_lines->children()) {
        const auto *line = dynamic_cast<const BatchedStraightLine *>(child);
        if (!line || !line->visible())
            continue;
        const QLineF segment = line->visibleSegment();
        if (segment.isNull())
            continue;
        const QPen pen = line->pen();
        const QRect clip = line->paintClip();
        // As the library decides for each item, whole pixels unless smoothed.
        const bool antialiased = (line->antialiased() || parentPlot()->antialiasedElements().testFlag(QCP::aeItems))
            && !parentPlot()->notAntialiasedElements().testFlag(QCP::aeItems);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group &g) {
            return g.antialiased == antialiased && g.clip == clip && g.pen == pen;
        });
        if (group == groups.end())
            group = groups.insert(groups.end(), Group{pen, clip, antialiased, {}, {}});
        if (antialiased || painter->modes().testFlag(QCPPainter::pmVectorized))
            group->exact.append(segment);
        else
            group->whole.append(segment.toLine());
    }
    // One save per group, as the library makes per item: smoothing moves the
    // painter by half a pixel, which must not move the next group's clip.
    for (const Group &group : qAsConst(groups)) {
        painter->save();
        painter->setClipRect(group.clip);
        painter->setAntialiasing(group.antialiased);
        painter->setPen(group.pen);
        if (!group.exact.isEmpty())
            painter->QPainter::drawLines(group.exact);
        if (!group.whole.isEmpty())
            painter->QPainter::drawLines(group.whole);
        painter->restore();
    }
}
