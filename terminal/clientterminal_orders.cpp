// The order, demo-account, change-password and about dialogs, and the language menu.
#include "clientterminal.h"
#include "ui_clientterminal.h"

// Runs where the constructor's order places the order, demo-account and change-password
// dialogs; creates the about dialog too.
void Client_Terminal::createDialogs()
{
}

// Runs last in the constructor's dialog set-up: the language object and its View submenu.
void Client_Terminal::createLanguageMenu()
{
}

void Client_Terminal::setOrderDialogSymbols(const QStringList &symbols)
{
    Q_UNUSED(symbols)
}

void Client_Terminal::showOrderDialog(const QString &symbol)
{
    Q_UNUSED(symbol)
}

void Client_Terminal::on_actionNew_Order_triggered()
{
}

void Client_Terminal::symbolDoubleClicked(QTableWidgetItem *item)
{
    Q_UNUSED(item)
}

void Client_Terminal::tradeItemDoubleClicked(QTableWidgetItem *item)
{
    Q_UNUSED(item)
}

void Client_Terminal::openDemoAction()
{
}

void Client_Terminal::changePasswordAction()
{
}

void Client_Terminal::switchLanguage(QString languageFile)
{
    Q_UNUSED(languageFile)
}

void Client_Terminal::on_actionAbout_triggered()
{
}
