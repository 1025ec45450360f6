// Answers the next popup menu or modal box from a timer, since QMenu::exec and
// QMessageBox::exec would otherwise block the test. Gives up after `patienceMs`.
#pragma once

#include "tradesession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace popuppicker {

// Calls `answer` with the widget once `find` returns one; stops when `answer` says so.
inline void whenShown(const std::function<QWidget *()> &find, const std::function<void(QWidget *)> &answer)
{
    auto *timer = new QTimer;
    auto *tries = new int(patienceMs / 10);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, find, answer] {
        QWidget *widget = find();
        if (widget || --*tries <= 0) {
            timer->stop();
            timer->deleteLater();
            delete tries;
            if (widget)
                answer(widget);
        }
    });
    timer->start();
}

// Picks the entry with this text in the next popup menu; closes the menu when it has none.
inline void choose(const QString &text)
{
    whenShown([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); },
              [text](QWidget *widget) {
                  auto *menu = static_cast<QMenu *>(widget);
                  for (QAction *action : menu->actions()) {
                      if (action->text() == text && action->isEnabled()) {
                          menu->setActiveAction(action);
                          QTest::keyClick(menu, Qt::Key_Return);
                          return;
                      }
                  }
                  menu->close();
              });
}

// Answers the next message box with `button`, keeping its title and text.
inline void closeBox(QString *titleAndText, QMessageBox::StandardButton button = QMessageBox::Ok)
{
    whenShown([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
              [titleAndText, button](QWidget *widget) {
                  auto *box = static_cast<QMessageBox *>(widget);
                  *titleAndText = box->windowTitle() + QStringLiteral(": ") + box->text();
                  // A click, not done(): exec() reports the clicked button only.
                  if (QAbstractButton *answer = box->button(button))
                      answer->click();
                  else
                      box->done(button);
              });
}

} // namespace popuppicker
