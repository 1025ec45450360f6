// The broker list, log-in and log-out, the saved accounts, the navigator tree and
// the account's workspace.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "appglobals.h"
#include "chartmanager.h"
#include "logger.h"
#include "logindialog.h"
#include "savedaccounts.h"
#include "savedlogins.h"
#include "serviceconfig.h"
#include "soundeffects.h"
#include "symbolchartwidget.h"
#include "tradeclient.h"
#include "windowlayout.h"
#include "workspacefiles.h"
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace {
constexpr int serverNameRole = Qt::UserRole;
constexpr int loginRole = Qt::UserRole + 1;
constexpr int passwordRole = Qt::UserRole + 2;

void logTerminal(const QString &message)
{
    Logger::instance()->log(QStringLiteral("Terminal"), message);
}
} // namespace

void Client_Terminal::requestBrokerList()
{
    QNetworkRequest request(serviceconfig::brokerListUrl());
    // An unreachable broker list must not leave a request pending for ever.
    request.setTransferTimeout(15000);
    m_brokerNetwork->get(request);
}

void Client_Terminal::onBrokerListReceived(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return;
    const auto servers = parseBrokerList(reply->readAll());
    if (!servers)
        return;
    m_servers.clear();
    m_loginDialog->clearServers();
    for (const BrokerServer &server : *servers) {
        m_loginDialog->addServer(server.name, server.address);
        m_servers.append(server);
    }
}

bool Client_Terminal::connectClient(const QString &url, qint64 login, const QString &password,
                                    const QString &serverName)
{
    m_connectingServerName = serverName;
    return m_client->connectToServer(url, login, password, serverName);
}

void Client_Terminal::connectToBroker()
{
    const qint64 login = m_loginDialog->login();
    const QString password = m_loginDialog->password();
    const QString address = m_loginDialog->serverAddress();
    const QString serverName = m_loginDialog->serverName();
    if (login == 0 || password.isEmpty() || address.isEmpty())
        return;
    // The box's choice holds at once: the same credentials make no new connection, and a
    // refused one never reaches the login that would store it.
    const bool sameAccount = m_workspaceOpen && login == m_login && serverName == m_serverName;
    if (!m_loginDialog->savePassword())
        forgetSavedPassword(login, serverName);
    else if (sameAccount && m_password.isEmpty() && password == m_client->password)
        keepPasswordOfThisAccount(password);
    // Saved while its charts and its own address are still there; the old connection's
    // close, handled after the switch, must not save it again.
    saveCurrentWorkspace();
    if (connectClient(tradeServerUrl(address), login, password, serverName)) {
        m_workspaceOpen = false;
        clearUI();
        // Its charts are gone; until the next login no account is shown, and a refused one leaves none.
        setWindowTitle(windowTitleText());
    }
}

void Client_Terminal::forgetSavedPassword(qint64 login, const QString &serverName)
{
    if (login == m_login && serverName == m_serverName)
        m_password.clear();
    const QString folder = safeAccountPath(serverName, login);
    if (folder.isEmpty())
        return; // such an account is never stored
    QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    bool written = true;
    if (savedaccounts::forgetPassword(accounts, QString::number(login), serverName))
        written = savedaccounts::write(savedaccounts::filePath(), accounts);
    const QString path = folder + QStringLiteral("/login");
    const savedlogins::LoginLine line = savedlogins::readLoginFile(path);
    if (!line.password.isEmpty()) {
        written &= workspacefiles::writePrivateFile(
            path, savedlogins::formatLoginLine(login, QString(), line.server).toUtf8() + '\n');
    }
    if (!written)
        logTerminal(QStringLiteral("The saved password of %1 could not be removed").arg(login));
    loadAccountTree();
}

void Client_Terminal::keepPasswordOfThisAccount(const QString &password)
{
    m_password = password;
    if (warnIfUnsafeServerName(m_serverName))
        return;
    storeAccount();
    loadAccountTree();
}

void Client_Terminal::storeAccount()
{
    QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    savedaccounts::markOnline(accounts, {QString::number(m_login), m_password, m_client->url.toString(), m_serverName,
                                         m_clientName, QStringLiteral("online")});
    if (!savedaccounts::write(savedaccounts::filePath(), accounts))
        logTerminal(QStringLiteral("Saved accounts could not be written"));
    // At once, so the navigator and the login box offer no password the user declined to save.
    keepLoginFile(m_login, m_password, m_serverName, m_client->url.toString());
}

void Client_Terminal::clearUI()
{
    ui->graphArea->closeAllSubWindows();
    for (QTableWidget *table : {ui->tradeTableWidget, ui->orderTableWidget, ui->dealTableWidget, ui->netTableWidget})
        table->setRowCount(0);
    m_positionStore.clear();
}

bool Client_Terminal::warnIfUnsafeServerName(const QString &serverName)
{
    if (isSafeServerName(serverName))
        return false;
    if (!m_warnedServerNames.contains(serverName)) {
        m_warnedServerNames.append(serverName);
        logTerminal(QStringLiteral("Server name \"%1\" cannot name a folder; the account is kept in memory only")
                        .arg(serverName.toHtmlEscaped().simplified()));
    }
    return true;
}

void Client_Terminal::onLogin(QJsonObject reply)
{
    m_sounds->play(SoundEffects::Connected);
    m_disconnectedSoundTimer->stop();
    m_client->requestTradeHistory(-1);
    m_positionStore.clear();
    m_symbolStorage.clear();
    // The copy follows the store, so no default chart opens for the previous account's symbols.
    m_symbolList.clear();
    m_restorePending = false;
    m_restoredSymbols.clear();

    // The account is the one this connection logged in to, whatever number the reply names.
    m_login = m_client->login;
    m_clientName = reply.value(QStringLiteral("name")).toString();
    m_group = reply.value(QStringLiteral("group")).toString();
    m_serverName = m_connectingServerName;
    m_chartManager->setAccount(m_login, m_serverName);

    const bool unsafe = warnIfUnsafeServerName(m_serverName);
    if (m_login == m_loginDialog->login()) {
        m_password = m_loginDialog->savePassword() ? m_client->password : QString();
    } else {
        // Not a login from the dialog (automatic or re-login): keep what the user chose before.
        m_password.clear();
        const QString account = QString::number(m_login);
        for (const SavedAccount &saved : savedaccounts::read(savedaccounts::filePath())) {
            if (saved.account == account && saved.serverName == m_serverName)
                m_password = saved.password;
        }
    }
    if (!unsafe) {
        storeAccount();
        restoreWorkspace(m_login, m_serverName);
    }
    m_workspaceOpen = true;
    if (chartWindows().isEmpty())
        openDefaultCharts();

    setWindowTitle(windowTitleText());
    requestAccountTrades(int(m_login));
    updateComponents(true);
    m_loginDialog->hide();
    loadAccountTree();
}

void Client_Terminal::onWebsocketClosed()
{
    if (!m_disconnectedSoundTimer->isActive() && m_client->isRunning()) {
        m_disconnectedSoundTimer->start(5000);
        m_sounds->play(SoundEffects::Disconnected);
    }
    updateComponents(false);
    saveCurrentWorkspace();
}

void Client_Terminal::relogin(int login, QString password, QString serverName)
{
    // With nothing connected there is nobody to log out, and the journal would say so of login 0.
    if (m_client->isRunning())
        m_client->logout();
    m_loginDialog->setLogin(login);
    m_loginDialog->setPassword(password);
    // The password comes from the saved ones and stays saved, whatever the box last showed.
    m_loginDialog->setSavePassword(true);
    m_loginDialog->selectServerByName(serverName);
    connectToBroker();
    updateComponents(false);
}

void Client_Terminal::openLoginDialogFor(QString serverName, int login)
{
    m_loginDialog->selectServerByName(serverName);
    m_loginDialog->setLogin(login);
    // Never the password of the account the box showed before: this account's own, or none.
    QString password;
    for (const LoginRecord &record : std::as_const(m_loginDialog->savedLogins())) {
        if (record.login != login || record.serverName != serverName)
            continue;
        password = record.password;
        if (!record.server.isEmpty())
            m_loginDialog->selectServerByRole1(record.server);
        break;
    }
    m_loginDialog->setPassword(password);
    m_loginDialog->setSavePassword(!password.isEmpty());
    // Modal without a nested event loop: a login while it shows rebuilds the navigator.
    if (!m_loginDialog->isVisible())
        m_loginDialog->open();
}

void Client_Terminal::deleteSavedAccount(QString serverName, qint64 login)
{
    const auto answer =
        QMessageBox::question(this, tr("Delete account"),
                              tr("Delete the saved account %1 on %2 and its workspace?").arg(login).arg(serverName));
    if (answer != QMessageBox::Yes)
        return;
    QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    if (savedaccounts::remove(accounts, QString::number(login), serverName) &&
        !savedaccounts::write(savedaccounts::filePath(), accounts))
        logTerminal(QStringLiteral("Saved accounts could not be written"));
    m_loginDialog->removeSavedLogin(serverName, int(login));
    loadAccountTree();
}

void Client_Terminal::loadAccountTree()
{
    m_loginDialog->scanSavedLogins();
    QTreeWidget *tree = ui->accountTreeWidget;
    tree->clear();
    QMap<QString, QTreeWidgetItem *> servers;
    for (const LoginRecord &record : std::as_const(m_loginDialog->savedLogins())) {
        QTreeWidgetItem *&server = servers[record.serverName];
        if (!server) {
            server = new QTreeWidgetItem(tree, {record.serverName});
            server->setIcon(0, QIcon(QStringLiteral(":/icon/morwell.ico")));
        }
        auto *item = new QTreeWidgetItem(server, {QString::number(record.login)});
        item->setIcon(0, QIcon(QStringLiteral(":/icon/user.ico")));
        item->setData(0, serverNameRole, record.serverName);
        item->setData(0, loginRole, record.login);
        item->setData(0, passwordRole, record.password);
    }
    tree->expandAll();
}

void Client_Terminal::onAccountTreeActivated(QTreeWidgetItem *item)
{
    if (!item || !item->data(0, loginRole).isValid())
        return;
    logInFromTree(item->data(0, serverNameRole).toString(), item->data(0, loginRole).toInt(),
                  item->data(0, passwordRole).toString());
}

void Client_Terminal::logInFromTree(const QString &serverName, int login, const QString &password)
{
    if (password.isEmpty())
        openLoginDialogFor(serverName, login);
    else
        relogin(login, password, serverName);
}

void Client_Terminal::showAccountTreeMenu(QPoint pos)
{
    const QTreeWidgetItem *item = ui->accountTreeWidget->itemAt(pos);
    if (!item || !item->data(0, loginRole).isValid())
        return;
    // Values only: a login or reconnection while the menu is open rebuilds the tree.
    const QString serverName = item->data(0, serverNameRole).toString();
    const int login = item->data(0, loginRole).toInt();
    const QString password = item->data(0, passwordRole).toString();
    QMenu menu(this);
    QAction *loginAction = menu.addAction(tr("Login"));
    QAction *deleteAction = menu.addAction(tr("Delete"));
    QAction *chosen = menu.exec(ui->accountTreeWidget->viewport()->mapToGlobal(pos));
    const QVector<LoginRecord> &saved = m_loginDialog->savedLogins();
    if (std::none_of(saved.cbegin(), saved.cend(),
                     [&](const LoginRecord &r) { return r.login == login && r.serverName == serverName; }))
        return; // deleted while the menu was open
    if (chosen == loginAction)
        logInFromTree(serverName, login, password);
    else if (chosen == deleteAction)
        deleteSavedAccount(serverName, login);
}

void Client_Terminal::autoLoginFromAccounts()
{
    const QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    for (const SavedAccount &account : accounts) {
        if (account.status != QLatin1String("online"))
            continue;
        const qint64 login = account.account.toLongLong();
        if (login > 0)
            connectClient(account.server, login, account.password, account.serverName);
        return;
    }
}

void Client_Terminal::saveCurrentWorkspace()
{
    if (!m_workspaceOpen || m_login <= 0 || m_serverName.isEmpty())
        return;
    // Until the server's first symbol list arrives the restored list is still the user's;
    // after it, the market watch's rows in the order the user sees them.
    const QStringList symbols = m_restorePending ? m_restoredSymbols : m_symbolList;
    saveWorkspace(m_login, m_password, m_serverName, m_client->url.toString(), symbols);
}

void Client_Terminal::saveWorkspace(qint64 login, const QString &password, const QString &serverName,
                                    const QString &address, const QStringList &symbols)
{
    const QString folder = safeAccountPath(serverName, login);
    if (folder.isEmpty() || !workspacefiles::makePrivateFolder(folder))
        return;
    using namespace workspacefiles;
    bool written = keepLoginFile(login, password, serverName, address);
    QVector<ChartEntry> charts;
    QVector<QRect> places;
    for (SymbolChartWidget *chart : chartWindows()) {
        charts.append({chart->symbol(), chart->period(), chart->isOneClickTradingVisible()});
        places.append(chart->parentWidget()->geometry());
    }
    written &= writePrivateFile(folder + QStringLiteral("/symbols"), formatSymbols(symbols));
    written &= writePrivateFile(folder + QStringLiteral("/charts"), formatCharts(charts));
    written &= writePrivateFile(folder + QStringLiteral("/chartplaces"), formatChartPlaces(places));
    written &= writePrivateFile(folder + QStringLiteral("/layout"), saveGeometry());
    written &= writePrivateFile(folder + QStringLiteral("/windowState"), saveState());
    if (!written)
        logTerminal(QStringLiteral("Workspace of %1 could not be saved completely").arg(login));
}

bool Client_Terminal::keepLoginFile(qint64 login, const QString &password, const QString &serverName,
                                    const QString &address)
{
    const QString folder = safeAccountPath(serverName, login);
    const QString path = folder + QStringLiteral("/login");
    if (folder.isEmpty() || (password.isEmpty() && !QFile::exists(path)))
        return true;
    return workspacefiles::writePrivateFile(path,
                                            savedlogins::formatLoginLine(login, password, address).toUtf8() + '\n');
}

void Client_Terminal::onPasswordChanged(bool mainPassword, const QString &newPassword)
{
    if (!mainPassword || newPassword.isEmpty() || m_login <= 0)
        return;
    const QString oldPassword = m_client->password;
    m_client->setPassword(newPassword);
    if (m_loginDialog->login() == m_login && m_loginDialog->password() == oldPassword)
        m_loginDialog->setPassword(newPassword);
    // Kept on disk only where the user saved the old one.
    if (m_password.isEmpty() || warnIfUnsafeServerName(m_serverName))
        return;
    m_password = newPassword;
    QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    const QString account = QString::number(m_login);
    for (SavedAccount &saved : accounts) {
        if (saved.account == account && saved.serverName == m_serverName && !saved.password.isEmpty())
            saved.password = newPassword;
    }
    bool written = savedaccounts::write(savedaccounts::filePath(), accounts);
    written &= keepLoginFile(m_login, m_password, m_serverName, m_client->url.toString());
    if (!written)
        logTerminal(QStringLiteral("The new password of %1 could not be saved").arg(m_login));
    loadAccountTree();
}

void Client_Terminal::restoreWorkspace(qint64 login, const QString &serverName)
{
    const QString folder = safeAccountPath(serverName, login);
    if (folder.isEmpty() || !QDir(folder).exists())
        return;
    using namespace workspacefiles;
    const QStringList symbols = parseSymbols(readFile(folder + QStringLiteral("/symbols")));
    m_symbolStorage.setSymbolList(symbols, false);
    m_restoredSymbols = symbols;
    m_restorePending = !symbols.isEmpty();

    const QVector<ChartEntry> entries = parseCharts(readFile(folder + QStringLiteral("/charts")));
    const QVector<QRect> places = parseChartPlaces(readFile(folder + QStringLiteral("/chartplaces")));
    // A window still open (a reconnection) stands for one entry only, so that two charts
    // of one symbol both come back.
    QList<SymbolChartWidget *> open = chartWindows();
    bool unplaced = false;
    for (int i = 0; i < entries.size(); ++i) {
        const ChartEntry &entry = entries.at(i);
        const auto found = std::find_if(
            open.begin(), open.end(), [&](const SymbolChartWidget *chart) { return chart->symbol() == entry.symbol; });
        if (found != open.end()) {
            (*found)->loadChart();
            open.erase(found);
            continue;
        }
        SymbolChartWidget *chart = createNewChart(entry.symbol, entry.period);
        if (!chart)
            continue;
        if (entry.oneClick)
            chart->setOneClickTradingVisible(true);
        if (places.value(i).isValid())
            chart->parentWidget()->setGeometry(places.at(i));
        else
            unplaced = true;
    }
    // Charts saved before their places were kept would all open at one spot.
    if (unplaced)
        ui->graphArea->tileSubWindows();
    restoreWindowLayout(this, readFile(folder + QStringLiteral("/layout")), readFile(folder + QStringLiteral("/windowState")));
}

bool Client_Terminal::applyRestoredSymbolList(const QStringList &offered)
{
    const QSet<QString> offeredSet(offered.cbegin(), offered.cend());
    QStringList kept;
    for (const QString &symbol : std::as_const(m_restoredSymbols)) {
        if (offeredSet.contains(symbol) && !kept.contains(symbol))
            kept.append(symbol);
    }
    m_restoredSymbols.clear();
    if (kept.isEmpty())
        return false;
    const QSet<QString> keptSet(kept.cbegin(), kept.cend());
    // Listed first, so that hiding the others changes flags without re-announcing the list.
    m_symbolStorage.setSymbolList(kept, false);
    for (const QString &symbol : offered) {
        if (!keptSet.contains(symbol))
            m_symbolStorage.setSymbolVisible(symbol, false);
    }
    m_symbolStorage.setSymbolList(kept, true);
    return true;
}
