#include "appglobals.h"

#include <QStandardPaths>

const QString brandName = QStringLiteral("KESTRAL");

std::atomic<bool> readOnlyMode{false};

const QString &appDataPath()
{
    static const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return path;
}

QString configPath()
{
    return QStringLiteral("%1/%2/config").arg(appDataPath(), brandName);
}

QString accountPath(const QString &serverName, qint64 login)
{
    return QStringLiteral("%1/%2/config/%3/%4").arg(appDataPath(), brandName, serverName).arg(login);
}
