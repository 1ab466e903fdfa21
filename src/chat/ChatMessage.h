#pragma once

#include <QString>
#include <QUuid>

namespace tavo {

// One bubble of the live conversation. `id` is fresh whenever a bubble is created or rewritten.
struct ChatMessage {
    enum class Role { User, Assistant };
    QUuid id = QUuid::createUuid();
    Role role = Role::User;
    QString content;
    int fired = 0;
    bool err = false;

    friend bool operator==(const ChatMessage&, const ChatMessage&) = default;
};

} // namespace tavo
