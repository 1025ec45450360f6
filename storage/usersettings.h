// The per-user settings store of the chart windows: indicator switches and drawn-object
// counters, organisation "MorWell", application "Client".
#pragma once

#include <QSettings>

// Windows keeps this store in the registry, where "MorWell" and "Morwell" name one branch.
// On a case-sensitive file system the two spellings are two files, and earlier builds
// wrote the object counters to the "Morwell" one; the first store opened in a process
// takes over what that file holds and removes it, so there is one store again.
class UserSettings : public QSettings
{
public:
    explicit UserSettings(QObject *parent = nullptr);
};

namespace usersettings {

// Copies into `store` every key of the settings file at `otherPath` that `store` lacks,
// then removes that file. Does nothing when it is missing or is the store's own file.
void adopt(QSettings &store, const QString &otherPath);

} // namespace usersettings
