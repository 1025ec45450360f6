// The saved trade accounts: a JSON array in "<config>/ACCOUNTS". It may hold
// passwords, so it is written owner-only and atomically.
#pragma once

#include <QString>
#include <QVector>

struct SavedAccount
{
    QString account;
    QString password;
    // The trade server's full "ws://" address.
    QString server;
    QString serverName;
    QString name;
    QString status;

    QString key() const { return account + QLatin1Char('@') + serverName; }
};

namespace savedaccounts {

QString filePath();
// Missing, unreadable or malformed files read as no accounts; elements that are
// not objects are skipped.
QVector<SavedAccount> read(const QString &path);
bool write(const QString &path, const QVector<SavedAccount> &accounts);
// Puts `entry` in place of the account with the same key (or appends it) and
// marks it the only "online" one; with no password saved, none is online.
void markOnline(QVector<SavedAccount> &accounts, const SavedAccount &entry);
bool remove(QVector<SavedAccount> &accounts, const QString &account, const QString &serverName);
// Empties the saved password of the account; it can no longer log in by itself, so it is
// no longer online either. Returns whether anything changed.
bool forgetPassword(QVector<SavedAccount> &accounts, const QString &account, const QString &serverName);

} // namespace savedaccounts
