#pragma once

#include <QString>
#include <QStringList>

namespace tavo {

// One utterance as the reply speech asks for it.
struct Utterance {
    QString text;
    double rateMultiplier = 1.0; // × the engine's default speed
    double pitchMultiplier = 1.0;
    double volume = 1.0;
    QStringList voicePreference; // language codes; the first the engine has wins
};

// The desktop's speech synthesizer.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    virtual bool isSpeaking() const = 0;
    virtual void stop() = 0; // at once
    virtual void speak(const Utterance& u) = 0;
};

} // namespace tavo
