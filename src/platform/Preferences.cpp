#include "platform/Preferences.h"

#include <cmath>

namespace tavo {

std::optional<QString> Preferences::string(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QString) return std::nullopt;
    return v.toString();
}

qint64 Preferences::int64(const QString& key) const {
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
        return v.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        return u <= qulonglong(std::numeric_limits<qint64>::max()) ? qint64(u) : 0;
    }
    case QMetaType::Double: {
        // JSON numbers with an integral value (2.0, 1e2) are integers; fractions and
        // values beyond the 64-bit range are not.
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::trunc(d) != d || d < -9.223372036854775808e18 ||
            d >= 9.223372036854775808e18)
            return 0;
        return qint64(d);
    }
    default:
        return 0;
    }
}

bool Preferences::boolean(const QString& key) const {
    const QVariant v = value(key);
    return v.typeId() == QMetaType::Bool && v.toBool();
}

} // namespace tavo
