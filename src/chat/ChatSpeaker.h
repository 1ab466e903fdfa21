#pragma once

#include <QString>

namespace tavo {

// Reads short replies aloud after the assistant switched a relay.
class ChatSpeaker {
public:
    static ChatSpeaker& shared();
    virtual ~ChatSpeaker() = default;
    // Returns at once; speech goes on in the background.
    virtual void speak(const QString& text);
};

} // namespace tavo
