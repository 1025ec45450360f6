// The saved-accounts file of arbitrary bytes through its reader; what it reads must
// survive a write and a second reading unchanged.
#include "fuzzsupport.h"

#include "savedaccounts.h"

#include <QDir>

namespace {

bool operator==(const SavedAccount &a, const SavedAccount &b)
{
    return a.account == b.account && a.password == b.password && a.server == b.server
        && a.serverName == b.serverName && a.name == b.name && a.status == b.status;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    QDir().mkpath(QFileInfo(savedaccounts::filePath()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = savedaccounts::filePath();
    fuzzsupport::writeFile(path, data, size);
    QVector<SavedAccount> accounts = savedaccounts::read(path);
    // What the login action does with the list before it writes it back.
    SavedAccount entry{QStringLiteral("1001"), QStringLiteral("secret"), QStringLiteral("ws://127.0.0.1:9001"),
                       QStringLiteral("Fuzz-Server"), QStringLiteral("Fuzz"), QString()};
    savedaccounts::markOnline(accounts, entry);
    FUZZ_CHECK(savedaccounts::write(path, accounts));
    FUZZ_CHECK((QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther)) == 0);
    const QVector<SavedAccount> again = savedaccounts::read(path);
    FUZZ_CHECK(again.size() == accounts.size());
    for (int i = 0; i < again.size(); ++i)
        FUZZ_CHECK(again.at(i) == accounts.at(i));
    return 0;
}
