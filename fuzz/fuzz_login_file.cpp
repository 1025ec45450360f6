// A workspace's "login" file of arbitrary bytes through the saved-logins scan.
#include "fuzzsupport.h"

#include "appglobals.h"
#include "savedlogins.h"

#include <QDir>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    QDir().mkpath(configPath() + QStringLiteral("/Fuzz-Server/1001"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = configPath() + QStringLiteral("/Fuzz-Server/1001/login");
    fuzzsupport::writeFile(path, data, size);
    const QVector<LoginRecord> records = savedlogins::scan(configPath());
    FUZZ_CHECK(records.size() == 1);
    const LoginRecord &record = records.first();
    FUZZ_CHECK(record.login == 1001 && record.serverName == QLatin1String("Fuzz-Server"));
    // A record that was read is written back in a form that reads the same.
    const savedlogins::LoginLine line =
        savedlogins::parseLoginLine(savedlogins::formatLoginLine(record.login, record.password, record.server));
    FUZZ_CHECK(line.password == record.password && line.server == record.server);
    return 0;
}
