// The "Languages" submenu: announces the chosen language as the name of a
// compiled-in translation (empty for the untranslated English texts).
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

class ClientLanguage : public QObject
{
    Q_OBJECT

public:
    explicit ClientLanguage(QWidget *parent = nullptr);
    ~ClientLanguage() override;

    void createLanguageMenu(QMenu *menu);

signals:
    void languageChanged(QString languageFile);

private:
    QAction *addLanguage(const char *name, const QString &file);

    class QActionGroup *m_group = nullptr;
    // Made without a parent, so that no window's teardown order decides its life;
    // it goes with this object instead of leaking at exit.
    QPointer<QMenu> m_menu;
};
