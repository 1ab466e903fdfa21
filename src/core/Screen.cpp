#include "core/Screen.h"

namespace tavo {

QString Screen::name() const {
    switch (kind) {
    case Kind::Members:
        return QStringLiteral("members(%1)").arg(deviceID);
    case Kind::Auth:
        return QStringLiteral("auth");
    case Kind::Otp:
        return QStringLiteral("otp");
    case Kind::Home:
        return QStringLiteral("home");
    case Kind::Add:
        return QStringLiteral("add");
    }
    return {};
}

} // namespace tavo
