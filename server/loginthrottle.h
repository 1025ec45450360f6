// Failed password checks per account, whichever connection or service they come
// from: past a few, the account takes no check until a delay has passed, and the
// delay doubles with each further failure.
#pragma once

#include <QHash>

namespace tradeserver {

class LoginThrottle
{
public:
    static constexpr int freeFailures = 3; // typing slips cost nothing
    static constexpr qint64 maxDelaySeconds = 60;

    // False while the account's delay runs; the password must then not be checked.
    bool allows(qint64 login, qint64 nowSeconds) const;
    void failed(qint64 login, qint64 nowSeconds);
    void succeeded(qint64 login) { m_records.remove(login); }

private:
    struct Record
    {
        int failures = 0;
        qint64 until = 0;
    };
    QHash<qint64, Record> m_records; // only accounts that exist, so bounded by them
};

} // namespace tradeserver
