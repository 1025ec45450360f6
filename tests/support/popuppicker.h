// Answers the next popup menu from a timer, since QMenu::exec would otherwise block
// the test. Gives up after `patienceMs`.
#pragma once

#include "tradesession.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <functional>
#include <QtTest>

namespace popuppicker {

// Picks the entry with this text in the next popup menu; closes the menu when it has none.
// `meanwhile` runs while the menu is open, before the pick.
inline void choose(const QString &text, const std::function<void()> &meanwhile = {})
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, text, meanwhile, tries = patienceMs / 10]() mutable {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu && --tries > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (menu && meanwhile)
            meanwhile();
        for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
            if (action->text() == text && action->isEnabled()) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        if (menu)
            menu->close();
    });
    timer->start();
}

} // namespace popuppicker
