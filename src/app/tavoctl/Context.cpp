#include "Context.h"

#include "cloud/Endpoints.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

namespace tavo::ctl {

QTextStream out(stdout);
QTextStream err(stderr);
const bool showProgress = isatty(STDOUT_FILENO) && isatty(STDERR_FILENO);

bool sessionEnded = false;
volatile std::sig_atomic_t interrupted = 0;

int fail(const QString& text) {
    if (sessionEnded) return 1;
    err << "tavoctl: " << text << "\n";
    err.flush();
    return 1;
}

namespace {
// The handler writes a byte here so that a sleeping event loop wakes up to look.
int signalPipe[2] = {-1, -1};
} // namespace

void catchInterrupts() {
    static QSocketNotifier* notifier = nullptr;
    if (notifier) return;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char drained[16];
        while (::read(signalPipe[0], drained, sizeof drained) > 0) {
        }
    });
    const auto handler = [](int) {
        interrupted = 1;
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
    };
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, handler);
}

bool waitFor(const std::function<bool()>& done, int ms) {
    const auto over = [&] { return sessionEnded || done(); };
    if (over()) return done();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (ms != noTimeout) deadline.start(ms);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                         if (over()) loop.quit();
                     });
    loop.exec();
    return done();
}

int runOperation(TavoStore& store, const std::function<QCoro::Task<>()>& operation, const QString& doneText) {
    std::optional<QString> error, notice;
    const QMetaObject::Connection c = QObject::connect(&store, &TavoStore::toastChanged, &store, [&] {
        if (!store.toast()) return;
        (store.toastIsError() ? error : notice) = *store.toast();
    });
    QCoro::waitFor(operation());
    QObject::disconnect(c);
    if (error) return fail(*error);
    if (notice)
        out << *notice << "\n";
    else if (!doneText.isEmpty())
        out << doneText << "\n";
    return 0;
}

int awaitAnswer(TavoStore& store, const std::function<void()>& send) {
    QObject listening; // ends the connections with this wait
    bool answered = false;
    QObject::connect(&store, &TavoStore::devicesChanged, &listening, [&] { answered = true; });
    QObject::connect(&store, &TavoStore::toastChanged, &listening, [&] { answered = true; });
    send();
    answered = false; // the store's optimistic change itself is not the answer
    if (!waitFor([&] { return answered; })) return fail("The cloud didn't answer");
    if (store.toast() && store.toastIsError()) return fail(*store.toast());
    return 0;
}

bool connected(TavoStore& store) {
    if (store.conn() == TavoStore::ConnStatus::Offline) store.connectWS();
    return waitFor([&] {
               return store.conn() == TavoStore::ConnStatus::Connected || !store.socketTlsError().isEmpty();
           }) &&
           store.conn() == TavoStore::ConnStatus::Connected;
}

QString unreachable(const TavoStore& store) {
    const QString why = store.socketTlsError();
    return why.isEmpty() ? QStringLiteral("Couldn't reach the cloud")
                         : QStringLiteral("Couldn't reach the cloud: ") + why;
}

Result<DeviceList> fetchDevices(TavoStore& store) {
    return QCoro::waitFor(store.api().send<DeviceList>(QStringLiteral("GET"), Endpoints::devices()));
}

std::optional<Device> findBox(const QList<Device>& devices, const QString& box) {
    bool isID = false;
    const qint64 id = box.toLongLong(&isID);
    QList<Device> matches;
    for (const Device& d : devices)
        if ((isID && d.id == id) || (!isID && d.name.compare(box, Qt::CaseInsensitive) == 0)) matches << d;
    if (matches.size() == 1) return matches.first();
    fail(matches.isEmpty() ? QStringLiteral("No box \"%1\"").arg(box)
                           : QStringLiteral("More than one box is called \"%1\"; use its id").arg(box));
    return std::nullopt;
}

std::optional<Device> fetchBox(TavoStore& store, const QString& box) {
    Result<DeviceList> list = fetchDevices(store);
    if (!list) {
        fail(list.failure().description());
        return std::nullopt;
    }
    return findBox(list->devices, box);
}

std::optional<int> relayArgument(const Device& d, const QString& ch) {
    bool ok = false;
    const int n = ch.toInt(&ok);
    if (ok && n >= 1 && n <= d.relay_count) return n;
    fail(QStringLiteral("%1 has relays 1 to %2").arg(d.name).arg(d.relay_count));
    return std::nullopt;
}

QString lastError(const TavoStore& store, const QString& fallback) {
    return store.toast() && store.toastIsError() ? *store.toast() : fallback;
}

namespace {
QString relayLine(const Device& d) {
    QStringList relays;
    for (int ch = 1; ch <= d.relay_count; ++ch)
        relays << QStringLiteral("%1:%2%3").arg(ch).arg(d.relayName(ch), d.isOn(ch) ? "=on" : "=off");
    return relays.join("  ");
}
} // namespace

QString deviceLine(const Device& d) {
    return QStringLiteral("%1  %2  %3  %4")
        .arg(d.id)
        .arg(d.name, d.online ? "online" : "offline", relayLine(d));
}

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

int printJson(const QJsonArray& rows) {
    out << QString::fromUtf8(QJsonDocument(rows).toJson());
    return 0;
}

} // namespace tavo::ctl
