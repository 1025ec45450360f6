#include "savedaccounts.h"

#include "appglobals.h"
#include "workspacefiles.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace savedaccounts {

QString filePath()
{
    return configPath() + QStringLiteral("/ACCOUNTS");
}

QVector<SavedAccount> read(const QString &path)
{
    QVector<SavedAccount> accounts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return accounts;
    const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        accounts.append(
            {object.value(QStringLiteral("account")).toString(), object.value(QStringLiteral("password")).toString(),
             object.value(QStringLiteral("server")).toString(), object.value(QStringLiteral("server_name")).toString(),
             object.value(QStringLiteral("name")).toString(), object.value(QStringLiteral("status")).toString()});
    }
    return accounts;
}

bool write(const QString &path, const QVector<SavedAccount> &accounts)
{
    QJsonArray array;
    for (const SavedAccount &account : accounts) {
        array.append(QJsonObject{{QStringLiteral("account"), account.account},
                                 {QStringLiteral("password"), account.password},
                                 {QStringLiteral("server"), account.server},
                                 {QStringLiteral("server_name"), account.serverName},
                                 {QStringLiteral("name"), account.name},
                                 {QStringLiteral("status"), account.status}});
    }
    return workspacefiles::writePrivateFile(path, QJsonDocument(array).toJson(QJsonDocument::Indented));
}

void markOnline(QVector<SavedAccount> &accounts, const SavedAccount &entry)
{
    // Without its password the account cannot log in at the next start, and the one
    // online before it is no longer the account last used.
    const QString status = entry.password.isEmpty() ? QStringLiteral("offline") : QStringLiteral("online");
    bool found = false;
    for (SavedAccount &account : accounts) {
        if (account.key() == entry.key()) {
            account = entry;
            found = true;
        }
        account.status = account.key() == entry.key() ? status : QStringLiteral("offline");
    }
    if (!found) {
        accounts.append(entry);
        accounts.last().status = status;
    }
}

bool remove(QVector<SavedAccount> &accounts, const QString &account, const QString &serverName)
{
    const int before = accounts.size();
    accounts.erase(
        std::remove_if(accounts.begin(), accounts.end(),
                       [&](const SavedAccount &a) { return a.account == account && a.serverName == serverName; }),
        accounts.end());
    return accounts.size() != before;
}

bool forgetPassword(QVector<SavedAccount> &accounts, const QString &account, const QString &serverName)
{
    bool changed = false;
    for (SavedAccount &saved : accounts) {
        if (saved.account != account || saved.serverName != serverName)
            continue;
        if (!saved.password.isEmpty() || saved.status != QLatin1String("offline")) {
            saved.password.clear();
            saved.status = QStringLiteral("offline");
            changed = true;
        }
    }
    return changed;
}

} // namespace savedaccounts
