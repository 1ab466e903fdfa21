#include "platform/linux/QtSpeechEngine.h"

#include <QLocale>
#include <QLoggingCategory>
#include <QTextToSpeech>

Q_LOGGING_CATEGORY(lcSpeech, "tavo.chat")

namespace tavo {

// Lives on the speech thread; owns the engine.
class SpeechWorker : public QObject {
public:
    explicit SpeechWorker(std::shared_ptr<std::atomic_bool> speaking) : m_speaking(std::move(speaking)) {}

    void ensureEngine() {
        if (m_tts) return;
        m_tts = new QTextToSpeech(this);
        connect(m_tts, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State s) { m_speaking->store(s == QTextToSpeech::Speaking); });
        if (m_tts->state() == QTextToSpeech::Error) qCWarning(lcSpeech) << "speech engine unavailable";
    }
    void stop() {
        ensureEngine();
        m_tts->stop();
        m_speaking->store(false);
    }
    void speak(const Utterance& u) {
        ensureEngine();
        // Without an explicit locale the engine picks its C-locale voice, which is not English.
        QStringList languages;
        for (const QLocale& l : m_tts->availableLocales()) languages << l.bcp47Name();
        const QString chosen = pickVoice(u.voicePreference, languages);
        const QLocale locale(chosen.isEmpty() ? QStringLiteral("en_US") : QString(chosen).replace('-', '_'));
        m_tts->setLocale(locale);
        m_tts->setRate(QtSpeechEngine::rateFor(u.rateMultiplier));
        m_tts->setPitch(0.0); // × 1.0
        m_tts->setVolume(u.volume);
        m_speaking->store(true);
        m_tts->say(u.text);
        if (m_tts->state() == QTextToSpeech::Error) m_speaking->store(false); // nothing will be heard
    }

private:
    std::shared_ptr<std::atomic_bool> m_speaking;
    QTextToSpeech* m_tts = nullptr;
};

QtSpeechEngine::QtSpeechEngine() = default;

QtSpeechEngine::~QtSpeechEngine() {
    if (!m_worker) return;
    QMetaObject::invokeMethod(m_worker, &QObject::deleteLater);
    m_thread.quit();
    m_thread.wait(3000);
}

void QtSpeechEngine::start() {
    if (m_worker) return;
    m_worker = new SpeechWorker(m_speaking);
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("speech"));
    m_thread.start(QThread::LowPriority);
}

void QtSpeechEngine::stop() {
    if (!m_worker) return;
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stop(); });
}

void QtSpeechEngine::speak(const Utterance& u) {
    start();
    m_speaking->store(true); // from the request on, so a newer reply interrupts this one
    QMetaObject::invokeMethod(m_worker, [w = m_worker, u] { w->speak(u); });
}

// QTextToSpeech's rate runs from -1 to 1, 0 being the engine's default; speech-dispatcher
// takes it ×100. Its espeak-ng module (/etc/speech-dispatcher/modules/espeak-ng.conf) maps
// 0 to EspeakNormalRate 170 words a minute and +100 to EspeakMaxRate 449, linearly, so
// m × 170 wpm is (m − 1) × 170 / (449 − 170) on Qt's scale: 1.05 gives about 0.030.
double QtSpeechEngine::rateFor(double multiplier) {
    constexpr double normalWpm = 170, maxWpm = 449;
    return qBound(-1.0, (multiplier - 1.0) * normalWpm / (maxWpm - normalWpm), 1.0);
}

} // namespace tavo
