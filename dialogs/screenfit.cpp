#include "screenfit.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace {

void scaleFont(QWidget *widget, double factor)
{
    QFont font = widget->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() / factor);
    widget->setFont(font);
}

// Parents before children, so that a child without a font of its own has already
// inherited its parent's reduced font when its turn comes.
void scaleChildren(QWidget *parent, double factor)
{
    const QList<QWidget *> children = parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        scaleFont(child, factor);
        child->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        scaleChildren(child, factor);
    }
}

} // namespace

void scaleFontsForDpi(QWidget *root, double factor)
{
    if (!root || factor <= 0)
        return;
    scaleFont(root, factor);
    scaleChildren(root, factor);
}

void fitDialogToScreen(QDialog *dialog)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!dialog || !screen)
        return;
    const QSize available = screen->availableSize();
    dialog->setMaximumSize(int(available.width() * 0.8), int(available.height() * 0.8));
    dialog->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const double dpi = screen->logicalDotsPerInch();
    const double factor = dpi > 0 ? dpi / 96.0 : 1.0;
    scaleFontsForDpi(dialog, factor);
    if (dialog->layout())
        dialog->layout()->setSizeConstraint(QLayout::SetMaximumSize);
}
