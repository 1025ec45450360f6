#include "appglobals.h"

#include <QStandardPaths>

const QString brandName = QStringLiteral("KESTRAL");

std::atomic<bool> readOnlyMode{false};

const QString &appDataPath()
{
    static const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return path;
}

// Joined rather than formatted with arg(): a "%1" inside a name must stay literal.
QString configPath()
{
    return appDataPath() + QLatin1Char('/') + brandName + QStringLiteral("/config");
}

QString accountPath(const QString &serverName, qint64 login)
{
    return configPath() + QLatin1Char('/') + serverName + QLatin1Char('/') + QString::number(login);
}
