// The order, demo-account, change-password and about dialogs, and the language menu.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "aboutdialog.h"
#include "appglobals.h"
#include "changepassworddlg.h"
#include "clientlanguage.h"
#include "languageswitch.h"
#include "new_order.h"
#include "opendemodlg.h"
#include "ordercontext.h"

#include <QDebug>
#include <QMessageBox>

namespace {

// The order dialog's view of the main window. A child of the window, so that it
// lives exactly as long as the dialog it serves.
class WindowOrderContext : public QObject, public OrderContext
{
public:
    explicit WindowOrderContext(Client_Terminal *window)
        : QObject(window)
        , m_window(window)
    {
    }

    TickData getSymbolSetting(const QString &symbol) override { return m_window->getSymbolSetting(symbol); }
    Position getPosition(int ticket) override { return m_window->getPosition(ticket); }
    PendingOrder getOrder(int ticket) override { return m_window->getOrder(ticket); }
    QList<Position> getHedgePositions(int ticket) override { return m_window->getHedgePositions(ticket); }
    QStringList symbolNames() override { return m_window->symbolStorage().symbolNames(); }

private:
    Client_Terminal *m_window;
};

} // namespace

// Runs where the constructor's order places the order, demo-account and change-password
// dialogs; creates the about dialog too.
void Client_Terminal::createDialogs()
{
    m_aboutDialog = new AboutDialog(this);
    m_orderDialog = new New_Order(m_client, new WindowOrderContext(this), this);
    connect(this, &Client_Terminal::symbolPriceChanged, m_orderDialog, &New_Order::onSymbolPriceChanged);
    m_openDemoDialog = new OpenDemoDlg(this);
    m_changePasswordDialog = new ChangePasswordDlg(m_client, this);
    connect(m_changePasswordDialog, &ChangePasswordDlg::passwordChanged, this, &Client_Terminal::onPasswordChanged);
}

// Runs last in the constructor's dialog set-up: the language object and its View submenu.
void Client_Terminal::createLanguageMenu()
{
    m_language = new ClientLanguage(this);
    m_language->createLanguageMenu(ui->menuView);
    connect(m_language, &ClientLanguage::languageChanged, this, &Client_Terminal::switchLanguage);
}

void Client_Terminal::setOrderDialogSymbols(const QStringList &symbols)
{
    if (m_orderDialog)
        m_orderDialog->setSymbolList(symbols);
}

void Client_Terminal::showOrderDialog(const QString &symbol)
{
    if (!symbol.isEmpty())
        m_orderDialog->setCurrentSymbol(symbol);
    m_orderDialog->setMode(New_Order::NewOrder, 0);
    m_orderDialog->show();
}

void Client_Terminal::on_actionNew_Order_triggered()
{
    if (readOnlyMode)
        return showReadOnlyRefusal();
    showOrderDialog(m_currentSymbol);
}

void Client_Terminal::symbolDoubleClicked(QTableWidgetItem *item)
{
    if (readOnlyMode)
        return showReadOnlyRefusal();
    if (!item)
        return;
    const QTableWidgetItem *symbolItem = ui->symbolTableWidget->item(item->row(), 0);
    if (symbolItem)
        showOrderDialog(symbolItem->text());
}

void Client_Terminal::tradeItemDoubleClicked(QTableWidgetItem *item)
{
    if (readOnlyMode)
        return showReadOnlyRefusal();
    if (!item)
        return;
    const QTableWidgetItem *first = ui->tradeTableWidget->item(item->row(), 0);
    const QTableWidgetItem *ticketItem = ui->tradeTableWidget->item(item->row(), 1);
    if (!first || !ticketItem)
        return;
    const QString kind = first->data(Qt::UserRole).toString();
    int mode = -1;
    if (kind == QLatin1String("position"))
        mode = New_Order::ClosePosition;
    else if (kind == QLatin1String("order"))
        mode = New_Order::ModifyOrder;
    else
        return;
    m_orderDialog->setCurrentSymbol(first->text());
    m_orderDialog->setMode(mode, ticketItem->text().toInt());
    m_orderDialog->show();
}

void Client_Terminal::openDemoAction()
{
    QVector<OpenDemoDlg::Server> servers;
    for (const BrokerServer &server : std::as_const(m_servers))
        servers.append({server.name, server.address});
    m_openDemoDialog->prepare(servers);
    m_openDemoDialog->show();
}

void Client_Terminal::changePasswordAction()
{
    m_changePasswordDialog->clearFields();
    m_changePasswordDialog->show();
}

void Client_Terminal::switchLanguage(QString languageFile)
{
    if (!languageswitch::apply(languageFile)) {
        qWarning() << "Failed to load translation file:" << languageFile;
        QMessageBox::warning(this, tr("Error"), tr("Failed to translate."));
    }
    ui->retranslateUi(this);
    setWindowTitle(windowTitleText());
}

void Client_Terminal::on_actionAbout_triggered()
{
    m_aboutDialog->show();
}
