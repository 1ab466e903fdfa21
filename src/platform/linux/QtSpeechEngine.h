#pragma once

#include "platform/SpeechEngine.h"

#include <QThread>
#include <atomic>
#include <memory>

namespace tavo {

class SpeechWorker;

// Speech through QtTextToSpeech (speech-dispatcher with espeak-ng). Creating the engine takes
// seconds, so it is made on a thread of its own on first use; requests queue behind it and
// the caller never waits.
class QtSpeechEngine : public SpeechEngine {
public:
    QtSpeechEngine();
    ~QtSpeechEngine() override;

    bool isSpeaking() const override { return m_speaking->load(); }
    void stop() override;
    void speak(const Utterance& u) override;

    // QTextToSpeech's rate for `multiplier` × the default speed (see the .cpp).
    static double rateFor(double multiplier);

private:
    void start();

    QThread m_thread;
    SpeechWorker* m_worker = nullptr;
    std::shared_ptr<std::atomic_bool> m_speaking = std::make_shared<std::atomic_bool>(false);
};

} // namespace tavo
