#pragma once

#include "platform/SpeechEngine.h"

#include <QList>
#include <QStringList>
#include <memory>

namespace tavo::test {

// The platform's synthesizer as a recorder: what it was told, in order. `speaking` is what
// it answers to isSpeaking(); a test sets it to stand for speech still under way.
class RecordingSpeechEngine : public SpeechEngine {
public:
    struct Log {
        QStringList calls; // "stop" or "speak:<text>"
        QList<Utterance> utterances;
        bool speaking = false;
    };
    explicit RecordingSpeechEngine(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

    bool isSpeaking() const override { return m_log->speaking; }
    void stop() override {
        m_log->calls << QStringLiteral("stop");
        m_log->speaking = false;
    }
    void speak(const Utterance& u) override {
        m_log->calls << QStringLiteral("speak:") + u.text;
        m_log->utterances << u;
        m_log->speaking = true;
    }

private:
    std::shared_ptr<Log> m_log;
};

} // namespace tavo::test
