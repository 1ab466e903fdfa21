#include "support/FuzzSupport.h"

#include "fakes/RecordingSpeechEngine.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMetaObject>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <netdb.h>
#include <sys/socket.h>

// No fuzz target may open a socket or resolve a name: these replace the C library's for the
// whole process (Qt's network code calls them through the dynamic linker), so an input that
// would reach the network ends the run with a report instead.
extern "C" int socket(int domain, int, int) {
    std::fprintf(stderr, "fuzz: socket(domain %d) called; fuzz targets must stay off the network\n", domain);
    std::abort();
}
extern "C" int getaddrinfo(const char* node, const char*, const struct addrinfo*, struct addrinfo**) {
    std::fprintf(stderr, "fuzz: getaddrinfo(%s) called; fuzz targets must stay off the network\n",
                 node ? node : "(null)");
    std::abort();
}

namespace tavo::fuzz {

namespace {

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

// A piece of the scripted body per turn of the event loop; the last one also finishes.
class ScriptedReply final : public QNetworkReply {
public:
    ScriptedReply(QNetworkAccessManager::Operation op, const QNetworkRequest& request, QObject* parent)
        : QNetworkReply(parent) {
        setOperation(op);
        setRequest(request);
        setUrl(request.url());
        QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    // `status` with `body`; the first piece is there at once, as after a first readyRead.
    void serve(const QByteArray& body, qsizetype chunk, int status) {
        setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
        const qsizetype step = chunk > 0 ? chunk : qMax<qsizetype>(1, body.size());
        for (qsizetype at = 0; at < body.size(); at += step)
            m_pieces.append(body.mid(at, step));
        deliver(false);
    }
    void refuse() {
        setError(ConnectionRefusedError, QStringLiteral("Connection refused"));
        setFinished(true);
        QMetaObject::invokeMethod(
            this, [this] { emit finished(); }, Qt::QueuedConnection);
    }

    void abort() override {
        m_pieces.clear();
        if (isFinished()) return;
        setError(OperationCanceledError, QStringLiteral("Operation canceled"));
        setFinished(true);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_buffer.size() - m_read + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = qMin<qint64>(max, m_buffer.size() - m_read);
        if (n <= 0) return isFinished() ? -1 : 0;
        std::memcpy(data, m_buffer.constData() + m_read, size_t(n));
        m_read += n;
        if (m_read == m_buffer.size()) {
            m_buffer.clear();
            m_read = 0;
        }
        return n;
    }

private:
    // Signals last: a reader woken by them may delete this reply before they return.
    void deliver(bool signal) {
        if (!m_pieces.isEmpty()) m_buffer += m_pieces.takeFirst();
        const bool last = m_pieces.isEmpty();
        if (last)
            setFinished(true);
        else
            QMetaObject::invokeMethod(
                this, [this] { deliver(true); }, Qt::QueuedConnection);
        if (!signal) return;
        QPointer<ScriptedReply> self(this);
        emit readyRead();
        if (self && last) emit finished();
    }

    QList<QByteArray> m_pieces;
    QByteArray m_buffer;
    qint64 m_read = 0;
};

} // namespace

void initialize() {
    static std::unique_ptr<QTemporaryDir> home;
    if (home) return;
    home = std::make_unique<QTemporaryDir>();
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(var, home->path().toLocal8Bit());
    qputenv("TZ", "UTC");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    QStandardPaths::setTestModeEnabled(true);
    static int argc = 1;
    static char name[] = "tavo-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv); // lives as long as the process
    (void)app;
    QLocale::setDefault(QLocale::c());
}

void drainEvents() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QDateTime StillClock::now() const {
    return QDateTime(QDate(2026, 1, 5), QTime(9, 0), QTimeZone::utc());
}

QCoro::Task<> StillClock::sleep(std::chrono::milliseconds, CancelToken cancel) {
    Wakeup wakeup;
    cancel.onCancel([weak = wakeup.weak()] { Wakeup::fire(weak); });
    co_await wakeup;
}

void SilentMusicPlayer::play(const TavoMusicTrack& t, std::function<void(bool)> onPlayingChanged) {
    track = t;
    m_onPlayingChanged = std::move(onPlayingChanged);
    if (m_onPlayingChanged) m_onPlayingChanged(true);
}

void SilentMusicPlayer::stop() {
    track.reset();
    if (m_onPlayingChanged) m_onPlayingChanged(false);
}

void OfflineNetwork::script(QByteArray body, qsizetype chunk, int status) {
    m_next = Scripted{std::move(body), chunk, status};
}

QNetworkReply* OfflineNetwork::createRequest(Operation op, const QNetworkRequest& request, QIODevice*) {
    ++requests;
    auto* reply = new ScriptedReply(op, request, this);
    if (auto next = std::exchange(m_next, std::nullopt))
        reply->serve(next->body, next->chunk, next->status);
    else
        reply->refuse();
    return reply;
}

OfflineNetwork& network() {
    static auto* manager = new OfflineNetwork; // lives as long as the process
    return *manager;
}

StoreKit::StoreKit()
    : network(fuzz::network()), speaker(std::make_unique<test::RecordingSpeechEngine>(
                                    std::make_shared<test::RecordingSpeechEngine::Log>())) {}

std::unique_ptr<TavoStore> StoreKit::make(bool withToken) {
    if (withToken) prefs.setValue(PrefKey::session, QStringLiteral("fuzz-token"));
    StoreServices services{&network,
                           &prefs,
                           &clock,
                           CloudConfig{QStringLiteral("127.0.0.1:9"), false, QStringLiteral("127.0.0.1"), 9},
                           &speaker,
                           &music,
                           &noBrowser,
                           &keychain,
                           TavoBoxProbe::Network{[] { return std::optional<QString>(); }, {}}};
    return std::make_unique<TavoStore>(std::move(services));
}

} // namespace tavo::fuzz
