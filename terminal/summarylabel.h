// The account summary line above the toolbox. Its text may be longer than the window
// is wide; it is then cut at the edge rather than widening the window.
#pragma once

#include <QLabel>

class SummaryLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
};
