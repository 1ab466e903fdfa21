#include "ui/chat/VoiceSession.h"

#include "core/TavoStore.h"
#include "platform/Media.h"
#include "voice/VoiceService.h"

namespace tavo {

using State = VoiceService::State;

VoiceSession::VoiceSession(QObject* parent) : QObject(parent) {}

VoiceSession::~VoiceSession() = default;

TavoStore* VoiceSession::store() const {
    return m_store;
}

void VoiceSession::setStore(TavoStore* s) {
    if (s == m_store) return;
    m_store = s;
    m_voice.reset();
    if (s) {
        QPointer<TavoStore> weak(s);
        m_voice = std::make_unique<VoiceService>([weak] { return weak ? weak->sessionToken() : QString(); },
                                                 s->services().config.socketBase(false), desktopMicrophone(),
                                                 desktopSpeaker());
        connect(m_voice.get(), &VoiceService::stateChanged, this, &VoiceSession::stateChanged);
        connect(m_voice.get(), &VoiceService::heardChanged, this, &VoiceSession::heardChanged);
        connect(m_voice.get(), &VoiceService::spokenChanged, this, &VoiceSession::spokenChanged);
        connect(m_voice.get(), &VoiceService::errorTextChanged, this, &VoiceSession::errorTextChanged);
    }
    emit storeChanged();
    emit stateChanged();
}

int VoiceSession::state() const {
    return int(m_voice ? m_voice->state() : State::Idle);
}

QString VoiceSession::label() const {
    switch (VoiceService::State(state())) {
    case VoiceService::State::Idle:
        return QStringLiteral("READY");
    case VoiceService::State::Listening:
        return QStringLiteral("LISTENING");
    case VoiceService::State::Thinking:
        return QStringLiteral("EXECUTING");
    case VoiceService::State::Speaking:
        return QStringLiteral("SPEAKING");
    case VoiceService::State::Error:
        return QStringLiteral("TRY AGAIN");
    }
    return {};
}

QString VoiceSession::hint() const {
    switch (VoiceService::State(state())) {
    case VoiceService::State::Idle:
    case VoiceService::State::Error:
        return QStringLiteral("TAP ORB TO SPEAK");
    case VoiceService::State::Listening:
        return QStringLiteral("TAP ORB WHEN DONE");
    case VoiceService::State::Thinking:
    case VoiceService::State::Speaking:
        return QStringLiteral("\u00B7  \u00B7  \u00B7");
    }
    return {};
}

QString VoiceSession::heard() const {
    return m_voice ? m_voice->heard() : QString();
}
bool VoiceSession::heardIsFinal() const {
    return m_voice && m_voice->heardIsFinal();
}
QString VoiceSession::spoken() const {
    return m_voice ? m_voice->spoken() : QString();
}
QString VoiceSession::errorText() const {
    return m_voice ? m_voice->errorTextOrEmpty() : QString();
}

void VoiceSession::start() {
    if (m_voice) m_voice->start();
}

void VoiceSession::toggle() {
    if (!m_voice) return;
    switch (m_voice->state()) {
    case State::Idle:
    case State::Error:
        m_voice->start();
        break;
    case State::Listening:
        m_voice->stop();
        break;
    case State::Thinking:
    case State::Speaking:
        break;
    }
}

void VoiceSession::cancel() {
    if (m_voice) m_voice->cancel();
}

} // namespace tavo
