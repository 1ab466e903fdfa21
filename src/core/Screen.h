#pragma once

#include <QObject>

namespace tavo {

// The top-level screen. `members` carries the box whose members screen is open.
class Screen {
    Q_GADGET
    Q_PROPERTY(Kind kind MEMBER kind)
    Q_PROPERTY(qint64 deviceID MEMBER deviceID)
public:
    enum class Kind { Members, Auth, Otp, Home, Add };
    Q_ENUM(Kind)

    Kind kind = Kind::Auth;
    qint64 deviceID = 0; // Members only

    static Screen members(qint64 id) { return {Kind::Members, id}; }
    static Screen auth() { return {Kind::Auth, 0}; }
    static Screen otp() { return {Kind::Otp, 0}; }
    static Screen home() { return {Kind::Home, 0}; }
    static Screen add() { return {Kind::Add, 0}; }

    friend bool operator==(const Screen&, const Screen&) = default;
    QString name() const;
};

} // namespace tavo
