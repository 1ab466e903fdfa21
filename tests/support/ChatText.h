#pragma once

#include "chat/ChatMessage.h"

#include <QStringList>

namespace tavo::test {

// The conversation as text: "U:hi|A:Hello|A!:failed" (! = err).
inline QString bubbles(const QList<ChatMessage>& messages) {
    QStringList out;
    for (const ChatMessage& m : messages)
        out << QStringLiteral("%1%2:%3").arg(m.role == ChatMessage::Role::User ? "U" : "A", m.err ? "!" : "",
                                             m.content);
    return out.join('|');
}

} // namespace tavo::test
