// A check run on outside JSON before Qt's parser sees it.
#pragma once

#include <QByteArray>

namespace jsonguard {

// True when an object in `json` names a key more than once and any occurrence holds an
// object or an array. Qt 5's parser keeps one of the values and never frees a dropped
// container, so every text of this kind would leak; such texts are refused instead.
// Malformed text is left for the parser to refuse.
bool dropsNestedValue(const QByteArray &json);

} // namespace jsonguard
