// Puts the main window back as it was left: its geometry, then its toolbars and docks
// once the window has its final size. A window manager maximises or moves a window some
// time after it is asked to, and docks laid out before that are squeezed or stretched by
// the resize that follows.
#pragma once

#include <QByteArray>

class QMainWindow;

void restoreWindowLayout(QMainWindow *window, const QByteArray &geometry, const QByteArray &state);

// Whether a geometry saved by QWidget::saveGeometry was that of a maximised window;
// false for anything that cannot be read.
bool savedGeometryIsMaximized(const QByteArray &geometry);
