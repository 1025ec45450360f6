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
            QFile file(serverDir.filePath(loginName) + QStringLiteral("/login"));
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            QTextStream stream(&file);
            const LoginLine line = parseLoginLine(stream.readLine());
            records.append({login, line.password, serverName, line.server});
        }
    }
    return records;
}

} // namespace savedlogins
