// A price tag on a value axis: a label with an arrow pointing at the axis at
// one value, drawn over the plot's contents.
#pragma once

#include <QObject>
#include <QPointer>

class QBrush;
class QPen;
class QString;
class QCPAxis;
class QCPItemLine;
class QCPItemText;
class QCPItemTracer;

class AxisTag : public QObject
{
    Q_OBJECT

public:
    // The tag is a child of the axis, so it goes with the axis at the latest.
    explicit AxisTag(QCPAxis *parentAxis);
    ~AxisTag() override;

    void setPen(const QPen &pen);
    void setBrush(const QBrush &brush);
    void setText(const QString &text);

    void updatePosition(double value);
    double value() const { return m_value; }

private:
    QCPAxis *m_axis = nullptr;
    // The plot owns the items and may delete them first (clearItems, its own
    // destruction); the guards keep the tag from touching them afterwards.
    QPointer<QCPItemTracer> m_anchor;
    QPointer<QCPItemLine> m_arrow;
    QPointer<QCPItemText> m_label;
    double m_value = 0;
};
