// Readings of reply values shared by the stores' records.
#pragma once

#include <QJsonValue>
#include <QtGlobal>

namespace jsonreading {

// A JSON number rounded to the nearest integer, or a numeric text; anything
// else, and numbers outside the 64-bit range, give 0.
qint64 wideInteger(const QJsonValue &value);

} // namespace jsonreading
