#include "logindialog.h"
#include "ui_logindialog.h"

#include "appglobals.h"
#include "savedaccounts.h"
#include "workspacefiles.h"
#include <QDir>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::LoginDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &LoginDialog::onOk);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    scanSavedLogins();

    const QVector<SavedAccount> accounts = savedaccounts::read(savedaccounts::filePath());
    for (const SavedAccount &account : accounts) {
        m_accountServers.insert(account.account, account.server);
        ui->loginBox->addItem(account.account);
    }
    if (!accounts.isEmpty()) {
        const SavedAccount &last = accounts.last();
        if (!last.account.isEmpty() && !last.password.isEmpty()) {
            showAccount(last.account);
            ui->passwordLineEdit->setText(last.password);
            // The first entry's choice, shown while the box was filled, is not this account's.
            ui->saveCheckBox->setChecked(true);
            const int index =
                ui->serverBox->findData(last.server, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index >= 0)
                ui->serverBox->setCurrentIndex(index);
        }
    }

    setWindowTitle(QStringLiteral("Trade account login"));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        if (screen->size().width() <= 1920)
            setFixedSize(500, 300);
        else
            setFixedSize(600, 500);
    }
}

LoginDialog::~LoginDialog() = default;

qint64 LoginDialog::login() const
{
    return ui->loginBox->currentText().toLongLong();
}

void LoginDialog::setLogin(qint64 login)
{
    showAccount(QString::number(login));
}

void LoginDialog::showAccount(const QString &account)
{
    // The list's current item follows the text, quietly, so that choosing any other account
    // from the list afterwards is a change that brings that account's own password.
    {
        const QSignalBlocker quiet(ui->loginBox);
        ui->loginBox->setCurrentIndex(ui->loginBox->findText(account, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    ui->loginBox->setCurrentText(account);
}

QString LoginDialog::password() const
{
    return ui->passwordLineEdit->text();
}

void LoginDialog::setPassword(const QString &password)
{
    ui->passwordLineEdit->setText(password);
}

QString LoginDialog::serverName() const
{
    return ui->serverBox->currentText();
}

QString LoginDialog::serverAddress() const
{
    const QString address = ui->serverBox->currentData(Qt::UserRole).toString();
    return address.isEmpty() ? m_fallbackServerAddress : address;
}

int LoginDialog::serverIndexByName(const QString &name) const
{
    return ui->serverBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void LoginDialog::selectServerByName(const QString &name)
{
    const int index = serverIndexByName(name);
    if (index >= 0)
        ui->serverBox->setCurrentIndex(index);
}

void LoginDialog::selectServerByRole1(const QString &address)
{
    m_fallbackServerAddress = address;
}

// The login box lists ACCOUNTS while the saved logins come from the folder scan, in
// another order: a choice is matched by its login number, not by its position.
const LoginRecord *LoginDialog::savedLoginFor(const QString &account) const
{
    bool ok = false;
    const qint64 login = account.toLongLong(&ok);
    if (!ok || login <= 0)
        return nullptr;
    const QString address = m_accountServers.value(account);
    const LoginRecord *found = nullptr;
    for (const LoginRecord &record : m_savedLogins) {
        if (record.login != login)
            continue;
        if (address.isEmpty() || record.server == address)
            return &record;
        if (!found)
            found = &record;
    }
    return found;
}

void LoginDialog::addServer(const QString &name, const QString &address)
{
    ui->serverBox->addItem(name, address);
    const LoginRecord *saved = savedLoginFor(ui->loginBox->currentText());
    if (!saved)
        return;
    int index = serverIndexByName(saved->serverName);
    if (index < 0)
        index = serverIndexByName(QStringLiteral("Morwell demo server 2"));
    ui->serverBox->setCurrentIndex(index);
}

void LoginDialog::clearServers()
{
    ui->serverBox->clear();
}

bool LoginDialog::savePassword() const
{
    return ui->saveCheckBox->isChecked();
}

void LoginDialog::setSavePassword(bool save)
{
    ui->saveCheckBox->setChecked(save);
}

void LoginDialog::scanSavedLogins()
{
    m_savedLogins = savedlogins::scan(configPath());
}

bool LoginDialog::removeSavedLogin(const QString &serverName, int login)
{
    const auto matches = [&](const LoginRecord &record) {
        return record.serverName == serverName && record.login == login;
    };
    if (std::none_of(m_savedLogins.cbegin(), m_savedLogins.cend(), matches))
        return false;
    m_savedLogins.erase(std::remove_if(m_savedLogins.begin(), m_savedLogins.end(), matches), m_savedLogins.end());
    // The folder name comes from the list on disk, but a hostile name must still
    // never lead the recursive removal outside the config folder.
    const QString folder = safeAccountPath(serverName, login);
    if (!folder.isEmpty()) {
        QDir dir(folder);
        if (dir.exists())
            dir.removeRecursively();
    }
    scanSavedLogins();
    return true;
}

void LoginDialog::onOk()
{
    // A login that is not a number would close the dialog and then connect nowhere.
    if (login() > 0 && !password().isEmpty() && !serverName().isEmpty())
        accept();
}

void LoginDialog::on_loginBox_currentIndexChanged(int index)
{
    if (index < 0 || index >= ui->loginBox->count())
        return;
    // Another account is never offered the password of the one shown before.
    const LoginRecord *record = savedLoginFor(ui->loginBox->itemText(index));
    if (!record) {
        ui->passwordLineEdit->clear();
        return;
    }
    ui->passwordLineEdit->setText(record->password);
    // Shows what is kept for this account, so that OK does not drop a password by a stale choice.
    ui->saveCheckBox->setChecked(!record->password.isEmpty());
    ui->serverBox->setCurrentIndex(serverIndexByName(record->serverName));
}
