// The one translation of the process: replaced at run time from the language menu.
#pragma once

#include <QString>

namespace languageswitch {

// Removes the translation in force and installs `file` (a compiled translation)
// when it is not empty; the application's layout direction follows the installed
// language. False when `file` could not be loaded: the texts are then English.
bool apply(const QString &file);

} // namespace languageswitch
