#include "chat/ChatSpeaker.h"

#include "platform/linux/QtSpeechEngine.h"

#include <QTextBoundaryFinder>

namespace tavo {

ChatSpeaker::ChatSpeaker(std::unique_ptr<SpeechEngine> engine)
    : m_engine(engine ? std::move(engine) : std::make_unique<QtSpeechEngine>()) {}

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
    if (m_engine->isSpeaking()) m_engine->stop();
    m_engine->speak(
        {text, 1.05, 1.0, 0.95, {QStringLiteral("en-US"), QStringLiteral("en-GB"), QStringLiteral("en-IN")}});
}

bool ChatSpeaker::isSpeaking() const {
    return m_engine->isSpeaking();
}

QString pickVoice(const QStringList& preference, const QStringList& available) {
    for (const QString& want : preference) {
        const QString norm = QString(want).replace('_', '-');
        for (const QString& have : available)
            if (QString(have).replace('_', '-').compare(norm, Qt::CaseInsensitive) == 0) return want;
    }
    return {};
}

} // namespace tavo
