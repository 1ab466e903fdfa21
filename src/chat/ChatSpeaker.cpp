#include "chat/ChatSpeaker.h"

#include "platform/Media.h"

#include <QTextBoundaryFinder>

namespace tavo {

ChatSpeaker::ChatSpeaker(std::unique_ptr<SpeechEngine> engine) : m_engine(std::move(engine)) {}

ChatSpeaker::~ChatSpeaker() = default;

int ChatSpeaker::perceivedLength(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

void ChatSpeaker::speak(const QString& text) {
    if (text.isEmpty() || perceivedLength(text) > maxLength) return;
    if (!m_engine) {
        MediaModule* module = media();
        if (!module) return;
        m_engine = module->speech();
    }
    if (m_engine->isSpeaking()) m_engine->stop();
    m_engine->speak(
        {text, 1.05, 1.0, 0.95, {QStringLiteral("en-US"), QStringLiteral("en-GB"), QStringLiteral("en-IN")}});
}

bool ChatSpeaker::isSpeaking() const {
    return m_engine && m_engine->isSpeaking();
}

} // namespace tavo
