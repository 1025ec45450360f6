#include "usersettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define KESTRAL_SETTINGS_IN_FILES 1
#include <sys/stat.h>
#endif

namespace {

// Both names reach one file on a case-insensitive file system; removing "the other"
// file there would remove the store itself.
bool sameFile(const QString &a, const QString &b)
{
#ifndef KESTRAL_SETTINGS_IN_FILES
    return QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
#else
    struct stat first;
    struct stat second;
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
#endif
}

} // namespace

namespace usersettings {

void adopt(QSettings &store, const QString &otherPath)
{
    if (otherPath == store.fileName() || !QFileInfo(otherPath).isFile() || sameFile(otherPath, store.fileName()))
        return;
    {
        QSettings other(otherPath, QSettings::IniFormat);
        const QStringList keys = other.allKeys();
        for (const QString &key : keys) {
            if (!store.contains(key))
                store.setValue(key, other.value(key));
        }
    }
    store.sync();
    if (store.status() != QSettings::NoError)
        return; // keep the old file until its keys are safely elsewhere
    QFile::remove(otherPath);
    QDir().rmdir(QFileInfo(otherPath).path()); // only when nothing else is in it
}

} // namespace usersettings

UserSettings::UserSettings(QObject *parent)
    : QSettings(QStringLiteral("MorWell"), QStringLiteral("Client"), parent)
{
#ifdef KESTRAL_SETTINGS_IN_FILES
    // Elsewhere the native store (the registry, property lists) ignores case already.
    static std::once_flag adopted;
    std::call_once(adopted, [this] {
        usersettings::adopt(*this, QSettings(QStringLiteral("Morwell"), QStringLiteral("Client")).fileName());
    });
#endif
}
