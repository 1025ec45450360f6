#pragma once

#include "savedlogins.h"
#include <QDialog>
#include <QHash>
#include <QVector>
#include <memory>

namespace Ui {
class LoginDialog;
}

class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent = nullptr);
    ~LoginDialog() override;

    qint64 login() const;
    void setLogin(qint64 login);
    QString password() const;
    void setPassword(const QString &password);
    QString serverName() const;
    QString serverAddress() const;
    void selectServerByName(const QString &name);
    void selectServerByRole1(const QString &address);
    void addServer(const QString &name, const QString &address);
    void clearServers();
    bool savePassword() const;
    void setSavePassword(bool save);
    QVector<LoginRecord> &savedLogins() { return m_savedLogins; }
    void scanSavedLogins();
    bool removeSavedLogin(const QString &serverName, int login);

public slots:
    void onOk();
    void on_loginBox_currentIndexChanged(int index);

private:
    int serverIndexByName(const QString &name) const;
    void showAccount(const QString &account);
    const LoginRecord *savedLoginFor(const QString &account) const;

    std::unique_ptr<Ui::LoginDialog> ui;
    QVector<LoginRecord> m_savedLogins;
    QString m_fallbackServerAddress;
    // Each ACCOUNTS entry's server address by account, to tell apart one login on two servers.
    QHash<QString, QString> m_accountServers;
};
