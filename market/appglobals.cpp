#include "appglobals.h"

#include "safename.h"

#include <QDir>
#include <QStandardPaths>

const QString brandName = QStringLiteral("KESTRAL");

std::atomic<bool> readOnlyMode{false};

const QString &appDataPath()
{
    // AppDataLocation appends the application's names once they exist; the generic
    // locations never do.
    static const QString path = [] {
#ifdef Q_OS_WIN
        const QString roaming = qEnvironmentVariable("APPDATA");
        if (!roaming.isEmpty())
            return QDir::fromNativeSeparators(roaming);
#endif
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    }();
    return path;
}

// Joined rather than formatted with arg(): a "%1" inside a name must stay literal.
QString configPath()
{
    return appDataPath() + QLatin1Char('/') + brandName + QStringLiteral("/config");
}

QString accountPath(const QString &serverName, qint64 login)
{
    if (!isSafePathName(serverName))
        return {};
    return configPath() + QLatin1Char('/') + serverName + QLatin1Char('/') + QString::number(login);
}
