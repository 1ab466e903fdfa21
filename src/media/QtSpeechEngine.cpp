#include "media/QtSpeechEngine.h"

#include "core/Logging.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QLoggingCategory>
#include <QTextToSpeech>
#include <array>

namespace tavo {

namespace {

// Creating the engine and reaching speech-dispatcher (started on demand) takes up to about
// 3.5 s; a dispatcher that has not answered by this is not going to.
constexpr qint64 startupAllowanceMs = 6000;
constexpr qint64 trailingMs = 1000;
constexpr unsigned long stopWaitMs = 500; // an idle thread stops at once; a stuck one never

qint64 steadyNow() {
    return QDeadlineTimer::current().deadline();
}

// Threads that would not stop in time stay referenced here for the rest of the process: a
// QThread destroyed while it runs aborts the process, and a stuck speech-dispatcher call must
// not turn a quit into a crash.
std::array<QThread*, 8> abandoned{};

void abandon(QThread* thread) {
    for (QThread*& slot : abandoned) {
        if (!slot) {
            slot = thread;
            return;
        }
    }
    abandoned.back() = thread; // more than eight stuck engines: the oldest is simply leaked
}

} // namespace

// Lives on the speech thread; owns the engine.
class SpeechWorker : public QObject {
public:
    explicit SpeechWorker(std::shared_ptr<QtSpeechEngine::Shared> shared) : m_shared(std::move(shared)) {}

    void ensureEngine() {
        if (m_tts) return;
        m_tts = new QTextToSpeech(this);
        connect(m_tts, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State s) { m_shared->speaking.store(s == QTextToSpeech::Speaking); });
        if (m_tts->state() == QTextToSpeech::Error) qCWarning(lcChat) << "speech engine unavailable";
    }
    void stop() {
        ensureEngine();
        m_tts->stop();
        m_shared->speaking.store(false);
    }
    void speak(const Utterance& u) {
        ensureEngine();
        // From here on only the utterance's own length: a say() that never returns (a
        // synthesizer with no sound to play into) is over once that has passed.
        m_shared->deadline.store(steadyNow() + QtSpeechEngine::expectedMs(u.text, u.rateMultiplier) +
                                 trailingMs);
        // Without an explicit locale the engine picks its C-locale voice, which is not English.
        QStringList languages;
        for (const QLocale& l : m_tts->availableLocales())
            languages << l.bcp47Name();
        const QString chosen = pickVoice(u.voicePreference, languages);
        const QLocale locale(chosen.isEmpty() ? QStringLiteral("en_US") : QString(chosen).replace('-', '_'));
        m_tts->setLocale(locale);
        m_tts->setRate(QtSpeechEngine::rateFor(u.rateMultiplier));
        m_tts->setPitch(0.0); // × 1.0
        m_tts->setVolume(u.volume);
        m_shared->speaking.store(true);
        m_tts->say(u.text);
        if (m_tts->state() == QTextToSpeech::Error) m_shared->speaking.store(false); // nothing will be heard
    }

private:
    std::shared_ptr<QtSpeechEngine::Shared> m_shared;
    QTextToSpeech* m_tts = nullptr;
};

QtSpeechEngine::QtSpeechEngine() = default;

QtSpeechEngine::~QtSpeechEngine() {
    if (!m_worker) return;
    QMetaObject::invokeMethod(m_worker, &QObject::deleteLater);
    m_thread->quit();
    if (m_thread->wait(stopWaitMs)) {
        delete m_thread;
        return;
    }
    abandon(m_thread); // silently: at quit, there is nobody to tell
}

bool QtSpeechEngine::isSpeaking() const {
    return m_shared->speaking.load() && steadyNow() < m_shared->deadline.load();
}

void QtSpeechEngine::start() {
    if (m_worker) return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("speech"));
    m_worker = new SpeechWorker(m_shared);
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::LowPriority);
}

void QtSpeechEngine::stop() {
    if (!m_worker) return;
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stop(); });
}

void QtSpeechEngine::speak(const Utterance& u) {
    start();
    // From the request on, so a newer reply interrupts this one; the worker sets the deadline
    // afresh once the engine is up.
    m_shared->deadline.store(steadyNow() + startupAllowanceMs);
    m_shared->speaking.store(true);
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

// 170 words a minute of some six characters each, space included, is 17 characters a second;
// 12 leaves room for punctuation pauses and the synthesizer's start.
qint64 QtSpeechEngine::expectedMs(const QString& text, double multiplier) {
    constexpr double charsPerSecond = 12;
    return qint64(1000.0 * double(text.size()) / (charsPerSecond * qMax(0.25, multiplier)));
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
