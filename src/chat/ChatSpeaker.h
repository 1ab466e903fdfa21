#pragma once

#include "platform/SpeechEngine.h"

#include <QString>
#include <memory>

namespace tavo {

// Reads short replies aloud after the assistant switched a relay. A newer reply cuts an
// older one off; long replies are not read.
class ChatSpeaker {
public:
    static constexpr int maxLength = 280; // user-perceived characters

    // Empty: the desktop's, made when there is first something to say.
    explicit ChatSpeaker(std::unique_ptr<SpeechEngine> engine = {});
    virtual ~ChatSpeaker();

    // Returns at once; speech goes on in the background.
    virtual void speak(const QString& text);
    virtual bool isSpeaking() const;

    // Characters as a reader counts them (grapheme clusters).
    static int perceivedLength(const QString& text);

private:
    std::unique_ptr<SpeechEngine> m_engine;
};

} // namespace tavo
