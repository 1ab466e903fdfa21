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
//
// Speech-dispatcher may accept an utterance it can never play (no sound server) and report it
// as speaking for good, or not answer at all. So speaking also ends once the utterance has had
// its expected length and a second more, and the thread is given a bounded time to stop.
class QtSpeechEngine : public SpeechEngine {
public:
    QtSpeechEngine();
    ~QtSpeechEngine() override;

    bool isSpeaking() const override;
    void stop() override;
    void speak(const Utterance& u) override;

    // QTextToSpeech's rate for `multiplier` × the default speed (see the .cpp).
    static double rateFor(double multiplier);
    // How long `text` takes to say at `multiplier` × the default speed, generously.
    static qint64 expectedMs(const QString& text, double multiplier);

    struct Shared {
        std::atomic_bool speaking{false};
        std::atomic<qint64> deadline{0}; // steady milliseconds after which nothing is heard any more
    };

private:
    void start();

    QThread* m_thread = nullptr; // abandoned, not destroyed, when it will not stop
    SpeechWorker* m_worker = nullptr;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

// The first preferred language that one of `available` (codes like "en-GB" or "en_GB")
// speaks; empty when none does.
QString pickVoice(const QStringList& preference, const QStringList& available);

} // namespace tavo
