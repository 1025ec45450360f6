#include "scalewidgettree.h"

#include <QWidget>

static void initResourcesOnce()
{
    Q_INIT_RESOURCE(resources);
}

void initTerminalResources()
{
    static const bool done = (initResourcesOnce(), true);
    Q_UNUSED(done)
}

void scaleWidgetTree(QWidget *widget, double factor)
{
    if (!widget || factor <= 0.0)
        return;
    QList<QWidget *> widgets{widget};
    widgets += widget->findChildren<QWidget *>();
    for (QWidget *w : std::as_const(widgets)) {
        QFont font = w->font();
        font.setPointSizeF(10.0);
        w->setFont(font);
        const QSize size = w->size();
        w->resize(int(size.width() / factor), int(size.height() / factor));
    }
}
