// Closes every modal message box as soon as it shows and remembers what it said,
// so that code under test that opens one never blocks a test.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

class MessageBoxCloser : public QObject
{
public:
    explicit MessageBoxCloser(QObject *parent = nullptr, QMessageBox::StandardButton answer = QMessageBox::Ok)
        : QObject(parent)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this, answer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->windowTitle() + QStringLiteral(": ") + box->text();
                // A click, not done(): exec() reports the clicked button only.
                if (QAbstractButton *button = box->button(answer))
                    button->click();
                else
                    box->done(answer);
            }
        });
        m_timer.start();
    }

    QStringList texts;

private:
    QTimer m_timer;
};
