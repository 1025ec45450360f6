// The account service on a trade server's host (HTTP, port 9004 unless
// KESTRAL_ACCOUNT_PORT says otherwise; see serviceconfig.h). Both calls are
// POST with Content-Type "application/json" and a JSON object as body.
//
// POST /account/create   opens a demo account
//   request  {"name": string, "email": string, "phone": string,
//             "server": string (the chosen server's name),
//             "deposit": integer (first deposit, whole account currency units),
//             "leverage": integer (the N of 1:N)}
//   reply    200 {"login": integer, "password": string (main password),
//                 "investor_password": string (read-only password)}
//            any 4xx/5xx status is a refusal; an optional {"error": string}
//            body says why and is shown to the user.
//
// POST /account/update   changes one password of an account
//   request  {"master_password": string | "investor_password": string (exactly one),
//             "dealer": integer (the account's login), "manager_login": 1000}
//   header   "Authorization: Basic " + base64 of "<login>:<current main password>"
//            (a broker that does not ask for it ignores it)
//   reply    any 2xx status means success; the body is not read. 401 or 403: the
//            service did not accept the login and current password.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace accountservice {

inline constexpr char createPath[] = "/account/create";
inline constexpr char updatePath[] = "/account/update";

struct DemoRequest
{
    QString name;
    QString email;
    QString phone;
    QString server;
    int deposit = 0;
    int leverage = 0;
};

struct DemoAccount
{
    qint64 login = 0;
    QString password;
    QString investorPassword;
};

QJsonObject demoRequestBody(const DemoRequest &request);
// False when the reply lacks a positive "login" or a non-empty "password".
bool readDemoAccount(const QJsonObject &reply, DemoAccount *account);
// "error" of a refusal's body, empty when there is none.
QString refusalReason(const QByteArray &body);

QJsonObject passwordChangeBody(bool mainPassword, const QString &newPassword, qint64 login);
QByteArray passwordChangeAuthorization(qint64 login, const QString &currentPassword);

} // namespace accountservice
