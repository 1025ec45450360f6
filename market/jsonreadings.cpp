#include "jsonreadings.h"

#include <QString>
#include <QVariant>

namespace jsonreading {

qint64 wideInteger(const QJsonValue &value)
{
    if (value.isDouble()) {
        // Whole numbers are held as 64-bit integers and keep every digit.
        const QVariant exact = value.toVariant();
        if (exact.userType() == QMetaType::LongLong)
            return exact.toLongLong();
        // Rounding a double beyond the 64-bit range is undefined; such a
        // value can only be garbage, so it reads as missing.
        const double number = value.toDouble();
        constexpr double limit = 9223372036854775808.0; // 2^63
        if (!(number > -limit && number < limit))
            return 0;
        return qRound64(number);
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        return ok ? number : 0;
    }
    return 0;
}

} // namespace jsonreading
