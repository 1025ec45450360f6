#pragma once

class QWidget;

// Gives the widget and every widget below it the 10-point font and divides each
// one's size by `factor`, once per widget.
void scaleWidgetTree(QWidget *widget, double factor);

// The icons and sounds live in a static library; each program using them calls this once.
void initTerminalResources();
