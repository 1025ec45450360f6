// Readings of reply values shared by the stores' records.
#pragma once

#include <QJsonValue>
#include <QtGlobal>

namespace jsonreading {

// A JSON number rounded to the nearest integer, or a numeric text; anything
// else, and numbers outside the 64-bit range, give 0.
qint64 wideInteger(const QJsonValue &value);

// The most decimals a price is ever shown with; a server's "digits" beyond it
// (or below 0) would make number formatting allocate without bound.
constexpr int maxDigits = 15;
constexpr int boundedDigits(qint64 digits)
{
    return digits < 0 ? 0 : digits > maxDigits ? maxDigits : int(digits);
}

} // namespace jsonreading
