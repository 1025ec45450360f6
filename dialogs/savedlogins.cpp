#include "savedlogins.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace savedlogins {

LoginLine parseLoginLine(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char(';'));
    if (fields.size() < 3)
        return {};
    return {fields.mid(1, fields.size() - 2).join(QLatin1Char(';')), fields.last()};
}

QString formatLoginLine(qint64 login, const QString &password, const QString &server)
{
    return QString::number(login) + QLatin1Char(';') + password + QLatin1Char(';') + server;
}

LoginLine readLoginFile(const QString &path, bool *found)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (found)
        *found = opened;
    if (!opened)
        return {};
    QTextStream stream(&file);
    return parseLoginLine(stream.readLine());
}

QVector<LoginRecord> scan(const QString &configFolder)
{
    QVector<LoginRecord> records;
    const QDir config(configFolder);
    const auto filters = QDir::Dirs | QDir::NoDotAndDotDot;
    const auto order = QDir::Name | QDir::IgnoreCase;
    for (const QString &serverName : config.entryList(filters, order)) {
        const QDir serverDir(config.filePath(serverName));
        for (const QString &loginName : serverDir.entryList(filters, order)) {
            bool ok = false;
            const qint64 login = loginName.toLongLong(&ok);
            if (!ok || login == 0)
                continue;
            bool found = false;
            const LoginLine line = readLoginFile(serverDir.filePath(loginName) + QStringLiteral("/login"), &found);
            if (!found)
                continue;
            records.append({login, line.password, serverName, line.server});
        }
    }
    return records;
}

} // namespace savedlogins
