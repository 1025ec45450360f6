// A password as the server keeps it: a salted PBKDF2 key, never the password itself.
#pragma once

#include <QByteArray>
#include <QString>

namespace tradeserver {

struct PasswordHash
{
    static constexpr int saltBytes = 16;
    static constexpr int keyBytes = 32;

    QByteArray salt;
    QByteArray key;
    int rounds = 0;

    // A fresh random salt and this machine's rounds for a check of about a millisecond.
    static PasswordHash make(const QString &password);
    static PasswordHash make(const QString &password, const QByteArray &salt, int rounds);
    // Rounds that cost about a millisecond here, measured once per run.
    static int defaultRounds();

    bool isSet() const { return !key.isEmpty() && rounds > 0; }
    bool matches(const QString &password) const;
};

} // namespace tradeserver
