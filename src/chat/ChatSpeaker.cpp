#include "chat/ChatSpeaker.h"

// Placeholder until the speech engine lands.
namespace tavo {
ChatSpeaker& ChatSpeaker::shared() {
    static ChatSpeaker s;
    return s;
}
void ChatSpeaker::speak(const QString&) {}
} // namespace tavo
