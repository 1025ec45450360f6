// The saved logins of the workspace folders: "<config>/<server name>/<login>/login".
#pragma once

#include <QString>
#include <QVector>

struct LoginRecord
{
    qint64 login = 0;
    QString password;
    QString serverName;
    QString server;
};

namespace savedlogins {

struct LoginLine
{
    QString password;
    QString server;
};

// Reads the first line of a "login" file: "login;password;server". A password may
// itself hold ";", so with more than three fields the ones between the first and
// the last make up the password.
LoginLine parseLoginLine(const QString &line);
QString formatLoginLine(qint64 login, const QString &password, const QString &server);
// The first line of a "login" file; `found` tells whether the file could be read.
LoginLine readLoginFile(const QString &path, bool *found = nullptr);

// Every readable "login" file below `configFolder`, server folders and login
// folders each in name order ignoring case.
QVector<LoginRecord> scan(const QString &configFolder);

} // namespace savedlogins
