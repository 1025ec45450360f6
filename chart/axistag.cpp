#include "axistag.h"

#include "cachedtextitem.h"

#include <qcustomplot.h>

namespace {

void removeFromPlot(QCPAbstractItem *item)
{
    if (item && item->parentPlot())
        item->parentPlot()->removeItem(item);
}

} // namespace

AxisTag::AxisTag(QCPAxis *parentAxis)
    : QObject(parentAxis)
    , m_axis(parentAxis)
{
    if (!m_axis || !m_axis->parentPlot() || !m_axis->axisRect()) {
        qWarning("AxisTag: no axis to attach to");
        return;
    }
    QCustomPlot *plot = m_axis->parentPlot();

    m_anchor = new QCPItemTracer(plot);
    m_anchor->setVisible(false);
    m_anchor->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    m_anchor->position->setTypeY(QCPItemPosition::ptPlotCoords);
    m_anchor->position->setAxisRect(m_axis->axisRect());
    m_anchor->position->setAxes(nullptr, m_axis);
    m_anchor->position->setCoords(1, 0);

    m_arrow = new QCPItemLine(plot);
    m_arrow->setLayer(QStringLiteral("overlay"));
    m_arrow->setClipToAxisRect(false);
    m_arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    m_arrow->end->setParentAnchor(m_anchor->position);
    m_arrow->start->setParentAnchor(m_arrow->end);
    m_arrow->start->setCoords(5, 0);

    m_label = new CachedTextItem(plot);
    m_label->setLayer(QStringLiteral("overlay"));
    m_label->setClipToAxisRect(false);
    m_label->setPadding(QMargins(3, 0, 3, 0));
    m_label->setBrush(QBrush(Qt::white));
    m_label->setPen(QPen(Qt::blue));
    m_label->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label->position->setParentAnchor(m_arrow->start);
    // A tag shows nothing until it has a text: a chart without a price yet would
    // otherwise show QCustomPlot's placeholder "text".
    setText(QString());
}

AxisTag::~AxisTag()
{
    // The axis may already be half destroyed (the tag is its child), so the
    // items are reached through their own plot, not through m_axis.
    removeFromPlot(m_label);
    removeFromPlot(m_arrow);
    removeFromPlot(m_anchor);
}

void AxisTag::setPen(const QPen &pen)
{
    if (m_arrow)
        m_arrow->setPen(pen);
    if (m_label)
        m_label->setPen(pen);
}

void AxisTag::setBrush(const QBrush &brush)
{
    if (m_label)
        m_label->setBrush(brush);
}

void AxisTag::setText(const QString &text)
{
    if (m_label) {
        m_label->setText(text);
        m_label->setVisible(!text.isEmpty());
    }
    if (m_arrow)
        m_arrow->setVisible(!text.isEmpty());
}

void AxisTag::updatePosition(double value)
{
    m_value = value;
    if (m_anchor)
        m_anchor->position->setCoords(1, value);
}
