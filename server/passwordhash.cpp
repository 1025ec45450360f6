#include "passwordhash.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <algorithm>

namespace tradeserver {

namespace {

constexpr int minRounds = 500;
constexpr int maxRounds = 1000000;

QByteArray derive(const QString &password, const QByteArray &salt, int rounds)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, rounds,
                                              PasswordHash::keyBytes);
}

int measureRounds()
{
    // The best of a few runs: a busy machine should not make every password cheap.
    constexpr int probe = 200;
    qint64 bestNs = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        derive(QStringLiteral("probe"), QByteArray(PasswordHash::saltBytes, 'x'), probe);
        const qint64 ns = timer.nsecsElapsed();
        if (bestNs == 0 || ns < bestNs)
            bestNs = ns;
    }
    const qint64 rounds = bestNs > 0 ? probe * 1000000LL / bestNs : maxRounds;
    return int(std::clamp<qint64>((rounds + 99) / 100 * 100, minRounds, maxRounds));
}

} // namespace

int PasswordHash::defaultRounds()
{
    static const int rounds = measureRounds();
    return rounds;
}

PasswordHash PasswordHash::make(const QString &password)
{
    QByteArray salt(saltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), saltBytes / 4);
    return make(password, salt, defaultRounds());
}

PasswordHash PasswordHash::make(const QString &password, const QByteArray &salt, int rounds)
{
    return {salt, derive(password, salt, rounds), rounds};
}

bool PasswordHash::matches(const QString &password) const
{
    if (!isSet() || password.isEmpty() || rounds > maxRounds)
        return false;
    const QByteArray candidate = derive(password, salt, rounds);
    if (candidate.size() != key.size())
        return false;
    // Every byte is compared, so the time taken does not tell how much matched.
    unsigned char difference = 0;
    for (int i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(candidate.at(i) ^ key.at(i));
    return difference == 0;
}

} // namespace tradeserver
