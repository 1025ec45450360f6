#include "clientlanguage.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

// Outside any namespace, as the resource macro requires.
static void registerTranslations()
{
    Q_INIT_RESOURCE(translations);
}

ClientLanguage::ClientLanguage(QWidget *parent)
    : QObject(parent)
{
    registerTranslations();
}

ClientLanguage::~ClientLanguage()
{
    delete m_menu;
}

QAction *ClientLanguage::addLanguage(const char *name, const QString &file)
{
    auto *action = new QAction(tr(name), this);
    action->setCheckable(true);
    m_group->addAction(action);
    connect(action, &QAction::triggered, this, [this, file] { emit languageChanged(file); });
    return action;
}

void ClientLanguage::createLanguageMenu(QMenu *menu)
{
    m_group = new QActionGroup(this);
    m_group->setExclusive(true);
    QAction *turkish = addLanguage(QT_TR_NOOP("Turkish"), QStringLiteral(":/translations/translations-turkish.qm"));
    QAction *english = addLanguage(QT_TR_NOOP("English"), QString());
    QAction *arabic = addLanguage(QT_TR_NOOP("Arabic"), QStringLiteral(":/translations/translations-arabic.qm"));

    delete m_menu;
    auto *languages = new QMenu(tr("Languages"));
    m_menu = languages;
    languages->addAction(english);
    languages->addAction(turkish);
    languages->addAction(arabic);
    if (menu)
        menu->addMenu(languages);
}
