#include "accountservice.h"

#include <QJsonDocument>

namespace accountservice {

QJsonObject demoRequestBody(const DemoRequest &request)
{
    return QJsonObject{{QStringLiteral("name"), request.name},       {QStringLiteral("email"), request.email},
                       {QStringLiteral("phone"), request.phone},     {QStringLiteral("server"), request.server},
                       {QStringLiteral("deposit"), request.deposit}, {QStringLiteral("leverage"), request.leverage}};
}

bool readDemoAccount(const QJsonObject &reply, DemoAccount *account)
{
    const QJsonValue login = reply.value(QStringLiteral("login"));
    const QJsonValue password = reply.value(QStringLiteral("password"));
    if (!login.isDouble() || login.toDouble() < 1 || login.toDouble() > 9e15 || !password.isString() ||
        password.toString().isEmpty())
        return false;
    account->login = static_cast<qint64>(login.toDouble());
    account->password = password.toString();
    account->investorPassword = reply.value(QStringLiteral("investor_password")).toString();
    return true;
}

QString refusalReason(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object().value(QStringLiteral("error")).toString();
}

QJsonObject passwordChangeBody(bool mainPassword, const QString &newPassword, qint64 login)
{
    QJsonObject body;
    body.insert(mainPassword ? QStringLiteral("master_password") : QStringLiteral("investor_password"), newPassword);
    body.insert(QStringLiteral("dealer"), login);
    body.insert(QStringLiteral("manager_login"), 1000);
    return body;
}

QByteArray passwordChangeAuthorization(qint64 login, const QString &currentPassword)
{
    return "Basic " + (QByteArray::number(login) + ':' + currentPassword.toUtf8()).toBase64();
}

} // namespace accountservice
