// tavoctl: the command-line client. The same TavoStore and settings as the window app, so a
// session started in one is the session of the other.

#include "chat/ChatSpeaker.h"
#include "cloud/Endpoints.h"
#include "cloud/Tls.h"
#include "core/PhoneNumber.h"
#include "core/TavoStore.h"
#include "music/MusicPlayer.h"
#include "platform/linux/QtAudio.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SettingsPreferences.h"
#include "setup/BoxScanner.h"
#include "setup/Sanitize.h"
#include "shell/SingleInstance.h"
#include "voice/VoiceService.h"
#include "voice/WavFile.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace tavo;

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

constexpr int waitMs = 10'000;

// Every command and its synopsis: the usage, `help COMMAND` and the check for an unknown
// command all read this one table.
struct CommandUsage {
    const char* name;
    const char* synopsis;
};
constexpr CommandUsage commands[] = {
    {"login", "login PHONE [--code CODE]"},
    {"devices", "devices [--json]"},
    {"relay", "relay BOX CH on|off|toggle"},
    {"all", "all BOX on|off"},
    {"watch", "watch [--json]"},
    {"chat", "chat TEXT..."},
    {"voice", "voice [--file WAV]"},
    {"threads", "threads [--json]"},
    {"thread", "thread new|open ID|delete ID"},
    {"rename", "rename BOX NAME"},
    {"rename-relay", "rename-relay BOX CH NAME"},
    {"forget", "forget BOX"},
    {"leave", "leave BOX"},
    {"members", "members BOX [--json]"},
    {"invite", "invite BOX PHONE [--relays 1,3]"},
    {"remove-member", "remove-member BOX USER"},
    {"logs", "logs BOX [--limit N] [--json]"},
    {"history", "history [--json]"},
    {"skills", "skills [--json]"},
    {"skill", "skill connect swiggy | skill disconnect ID"},
    {"box", "box scan [--seconds N] [--json] | box setup --ssid NAME [--password P] | box claim CODE"},
    {"logout", "logout"},
    {"help", "help [COMMAND]"},
};

const CommandUsage* findCommand(const QString& name) {
    for (const CommandUsage& c : commands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

// All commands, or only `only`.
void printUsage(QTextStream& to, const CommandUsage* only = nullptr) {
    const char* lead = "usage: tavoctl ";
    for (const CommandUsage& c : commands) {
        if (only && only != &c) continue;
        to << lead << c.synopsis << "\n";
        lead = "       tavoctl ";
    }
    if (!only) to << "       tavoctl --help | --version\n";
    to << "BOX is a box id or a unique box name.\n";
    to.flush();
}

int usage() {
    printUsage(err);
    return 2;
}

volatile std::sig_atomic_t interrupted = 0;
// Set once the cloud refused the session: whatever the command was doing, it ends with the one
// "Session expired" line from main, not with the error of the request that found out.
bool sessionEnded = false;

int fail(const QString& text) {
    if (sessionEnded) return 1;
    err << "tavoctl: " << text << "\n";
    err.flush();
    return 1;
}

// SIGINT and SIGTERM set `interrupted` and wake the event loop through a pipe, so every wait
// sees them at once without polling. Commands that can be interrupted call this first.
int signalPipe[2] = {-1, -1};
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
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
}

// Runs the event loop until `done` holds or the time is up. `done` is looked at each time the
// loop has handled what was pending and is about to sleep, so waiting costs no CPU.
bool waitFor(const std::function<bool()>& done, int ms = waitMs) {
    const auto over = [&] { return sessionEnded || done(); };
    if (over()) return done();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (ms != std::numeric_limits<int>::max()) deadline.start(ms);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                         if (over()) loop.quit();
                     });
    loop.exec();
    return done();
}

QString lastError(const TavoStore& store, const QString& fallback) {
    return store.toast() && store.toastIsError() ? *store.toast() : fallback;
}

QString connName(TavoStore::ConnStatus c) {
    switch (c) {
    case TavoStore::ConnStatus::Offline:
        return "offline";
    case TavoStore::ConnStatus::Connecting:
        return "connecting";
    case TavoStore::ConnStatus::Connected:
        return "connected";
    }
    return {};
}

QString relayLine(const Device& d) {
    QStringList relays;
    for (int ch = 1; ch <= d.relay_count; ++ch)
        relays << QStringLiteral("%1:%2%3").arg(ch).arg(d.relayName(ch), d.isOn(ch) ? "=on" : "=off");
    return relays.join("  ");
}

QString deviceLine(const Device& d) {
    return QStringLiteral("%1  %2  %3  %4")
        .arg(d.id)
        .arg(d.name, d.online ? "online" : "offline", relayLine(d));
}

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// BOX as an id, else as a unique name.
std::variant<Device, QString> resolveBox(const QList<Device>& devices, const QString& box) {
    bool isID = false;
    const qint64 id = box.toLongLong(&isID);
    QList<Device> matches;
    for (const Device& d : devices)
        if ((isID && d.id == id) || (!isID && d.name.compare(box, Qt::CaseInsensitive) == 0)) matches << d;
    if (matches.size() == 1) return matches.first();
    if (matches.isEmpty()) return QStringLiteral("No box \"%1\"").arg(box);
    return QStringLiteral("More than one box is called \"%1\"; use its id").arg(box);
}

bool requireSession(const TavoStore& store) {
    return !store.sessionToken().isEmpty() && !store.phone().isEmpty();
}

int login(TavoStore& store, const SettingsPreferences& preferences, const QStringList& args) {
    if (args.isEmpty()) return usage();
    QString code;
    if (const int i = args.indexOf("--code"); i >= 0) code = args.value(i + 1);
    store.teardownWSTask(); // a restored session's socket is not needed to sign in again
    store.setPhone(args.first());
    store.sendOTP();
    waitFor([&] { return !store.busy(); });
    if (store.screenKind() != Screen::Kind::Otp) return fail(lastError(store, "Couldn't request a code"));
    if (code.isEmpty()) {
        err << "Code sent over WhatsApp to " << store.phone() << ". Code: ";
        err.flush();
        code = QTextStream(stdin).readLine().trimmed();
    }
    store.verifyOTP(code);
    waitFor([&] { return !store.busy(); });
    if (store.screenKind() != Screen::Kind::Home) return fail(lastError(store, "Sign-in failed"));
    // The session is all a sign-in leaves for the next command; one that could not be kept is
    // no sign-in at all.
    if (!preferences.stored())
        return fail(QStringLiteral("Signed in, but the session couldn't be saved to %1").arg(preferences.fileName()));
    out << "Signed in as " << store.phone() << "\n";
    return 0;
}

// Opens the device socket (only commands that need it do) and waits for its welcome, which
// carries the list. A socket refused for its TLS is not waited for: retrying won't mend it.
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

// A listing as one JSON document, the records written as the cloud writes them.
template <class T> int printJson(const QList<T>& rows) {
    out << QString::fromUtf8(QJsonDocument(json::Codec<QList<T>>::encode(rows).toArray()).toJson());
    return 0;
}
int printJson(const QJsonArray& rows) {
    out << QString::fromUtf8(QJsonDocument(rows).toJson());
    return 0;
}

int devices(TavoStore& store, bool asJson) {
    Result<DeviceList> list =
        QCoro::waitFor(store.api().send<DeviceList>(QStringLiteral("GET"), Endpoints::devices()));
    if (!list) return fail(list.failure().description());
    if (asJson) return printJson(list->devices);
    for (const Device& d : list->devices)
        out << deviceLine(d) << "\n";
    return 0;
}

// Sends a relay command and waits for the cloud's answer: a state push or an error.
int command(TavoStore& store, const QStringList& args, bool all) {
    if (args.size() != (all ? 2 : 3)) return usage();
    if (!connected(store)) return fail(unreachable(store));
    auto box = resolveBox(store.devices(), args[0]);
    if (auto* why = std::get_if<QString>(&box)) return fail(*why);
    const Device d = std::get<Device>(box);
    const QString action = args.last();
    if (action != "on" && action != "off" && !(action == "toggle" && !all)) return usage();

    bool answered = false;
    QObject::connect(&store, &TavoStore::devicesChanged, &store, [&] { answered = true; });
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] { answered = true; });
    if (all) {
        store.allRelays(d.id, action == "on");
    } else {
        bool ok = false;
        const int ch = args[1].toInt(&ok);
        if (!ok || ch < 1 || ch > d.relay_count)
            return fail(QStringLiteral("%1 has relays 1 to %2").arg(d.name).arg(d.relay_count));
        if (!d.isAllowed(ch)) return fail("No access to this relay");
        store.setRelay(d.id, ch, action == "toggle" ? !d.isOn(ch) : action == "on");
    }
    answered = false; // the optimistic change itself is not the answer
    if (!waitFor([&] { return answered; })) return fail("The cloud didn't answer");
    if (store.toast() && store.toastIsError()) return fail(*store.toast());
    for (const Device& now : store.devices())
        if (now.id == d.id) out << deviceLine(now) << "\n";
    return 0;
}

// Speech runs in the background; the process waits for it before exiting.
void waitForSpeech() {
    // Speech ends on its own thread, or when its time is up; neither wakes this loop.
    QTimer look;
    look.start(100);
    waitFor([] { return !ChatSpeaker::shared().isSpeaking() || interrupted != 0; }, 60'000);
}

int watch(TavoStore& store, bool asJson) {
    catchInterrupts();
    QList<Device> last = store.devices();
    auto emitLine = [&](const QString& line) {
        out << line << "\n";
        out.flush();
    };
    QObject::connect(&store, &TavoStore::connChanged, &store, [&] {
        emitLine(asJson ? compact({{"type", "conn"}, {"conn", connName(store.conn())}})
                        : "connection: " + connName(store.conn()));
    });
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] {
        if (store.toast())
            emitLine(
                asJson
                    ? compact({{"type", "toast"}, {"text", *store.toast()}, {"error", store.toastIsError()}})
                    : (store.toastIsError() ? "error: " : "notice: ") + *store.toast());
    });
    QObject::connect(&store, &TavoStore::devicesChanged, &store, [&] {
        const QList<Device>& now = store.devices();
        for (const Device& d : now) {
            const auto before =
                std::find_if(last.cbegin(), last.cend(), [&](const Device& o) { return o.id == d.id; });
            if (before != last.cend() && *before == d) continue;
            emitLine(asJson ? compact({{"type", "device"}, {"device", d.toJson()}}) : deviceLine(d));
        }
        for (const Device& o : last)
            if (std::none_of(now.cbegin(), now.cend(), [&](const Device& d) { return d.id == o.id; }))
                emitLine(asJson ? compact({{"type", "removed"}, {"device_id", o.id}})
                                : QStringLiteral("%1  %2  removed").arg(o.id).arg(o.name));
        last = now;
    });
    if (store.conn() == TavoStore::ConnStatus::Offline) store.connectWS();
    waitFor([] { return interrupted != 0; }, std::numeric_limits<int>::max());
    if (sessionEnded) return 1;
    return 0;
}

// One spoken exchange: the microphone (until Enter) or a WAV file fed through the same
// capture pipeline. What was heard goes to stdout as "You: …", the answer as "Tavo: …",
// partial transcripts to stderr; the answer is played before the command returns.
int voice(TavoStore& store, const CloudConfig& config, const QStringList& args) {
    catchInterrupts();
    std::unique_ptr<AudioInput> input;
    WavFileInput* file = nullptr;
    if (const qsizetype at = args.indexOf("--file"); at >= 0) {
        const QString path = args.value(at + 1);
        if (path.isEmpty()) return usage();
        auto wav = readWav(path);
        if (const auto* error = std::get_if<QString>(&wav)) return fail(path + ": " + *error);
        auto owned = std::make_unique<WavFileInput>(std::get<WavSound>(std::move(wav)));
        file = owned.get();
        input = std::move(owned);
    } else if (!args.isEmpty()) {
        return usage();
    } else {
        input = std::make_unique<QtAudioInput>();
    }
    VoiceService service([&store] { return store.sessionToken(); }, config.socketBase(false),
                         std::move(input), std::make_unique<QtAudioOutput>());
    QSocketNotifier enter(fileno(stdin), QSocketNotifier::Read);
    enter.setEnabled(false);
    if (file) {
        QObject::connect(file, &WavFileInput::finished, &service, &VoiceService::stop);
    } else {
        QObject::connect(&enter, &QSocketNotifier::activated, &service, [&] {
            char line[256];
            if (!std::fgets(line, sizeof line, stdin)) enter.setEnabled(false);
            service.stop();
        });
    }
    QObject::connect(&service, &VoiceService::heardChanged, &service, [&] {
        if (service.heardIsFinal())
            out << "You: " << service.heard() << "\n" << Qt::flush;
        else if (!service.heard().isEmpty())
            err << "… " << service.heard() << "\n" << Qt::flush;
    });
    QObject::connect(&service, &VoiceService::spokenChanged, &service, [&] {
        out << "Tavo: " << service.spoken() << "\n" << Qt::flush;
    });

    service.start();
    if (service.state() == VoiceService::State::Error) return fail(service.errorTextOrEmpty());
    if (!file) {
        err << "Listening… press Enter when you have finished.\n" << Qt::flush;
        enter.setEnabled(true);
    }
    const auto over = [&] {
        return service.state() == VoiceService::State::Idle || service.state() == VoiceService::State::Error;
    };
    const bool ended = waitFor([&] { return over() || interrupted != 0; }, 150'000);
    if (!ended || interrupted != 0) {
        service.cancel();
        return fail(interrupted != 0 ? QStringLiteral("Cancelled") : QStringLiteral("No answer in time"));
    }
    if (service.state() == VoiceService::State::Error) return fail(service.errorTextOrEmpty());
    return 0;
}

// Streams one chat turn: reply text on stdout as it grows, captions on stderr. The saved
// conversation is loaded first so the assistant gets its history; a track the reply starts
// plays until it ends or Ctrl-C.
int chat(TavoStore& store, const QStringList& words) {
    const QString text = words.join(' ').trimmed();
    if (text.isEmpty()) return usage();
    connected(store); // local answers need the pushed device list; without it the cloud answers
    if (const qint64 thread = store.currentThreadID(); thread > 0) {
        store.openChatThread(thread);
        waitFor([&] { return !store.chatMessages().isEmpty() || store.toast().has_value(); }, 5000);
        if (store.chatMessages().isEmpty() && store.toast()) {
            // Deleted elsewhere, or a cloud that forgot it: carry on in a new conversation.
            err << "Couldn't reopen conversation " << thread << " (" << *store.toast()
                << "); starting a new one.\n";
            store.newChatThread();
        }
    }

    const qsizetype before = store.chatMessages().size() + 1; // + the user's line
    qsizetype printedBubble = -1, printedChars = 0, printedError = -1;
    auto printNew = [&] {
        const QList<ChatMessage>& all = store.chatMessages();
        for (qsizetype i = before; i < all.size(); ++i) {
            const ChatMessage& m = all.at(i);
            if (m.role != ChatMessage::Role::Assistant) continue;
            if (i != printedBubble) {
                if (printedBubble >= 0) out << "\n";
                printedBubble = i;
                printedChars = 0;
            }
            if (m.err) {
                // Said once: later changes of the conversation call this again.
                if (printedError != i) {
                    err << "error: " << m.content << "\n";
                    err.flush();
                    printedError = i;
                }
                printedChars = m.content.size();
                continue;
            }
            // An error record may replace text already printed; print what is new only.
            if (m.content.size() > printedChars && m.content.startsWith(m.content.left(printedChars))) {
                out << m.content.mid(printedChars);
                printedChars = m.content.size();
            }
        }
        out.flush();
    };
    QObject::connect(&store, &TavoStore::chatMessagesChanged, &store, printNew);
    QObject::connect(&store, &TavoStore::chatLiveStatusChanged, &store, [&] {
        if (store.chatLiveStatus()) {
            err << *store.chatLiveStatus() << "\n";
            err.flush();
        }
    });
    bool toasted = false;
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] { toasted = store.toast().has_value(); });
    store.sendChat(text);
    if (toasted && store.toastIsError()) return fail(*store.toast());
    waitFor([&] { return !store.chatBusy(); }, std::numeric_limits<int>::max());
    printNew();
    out << "\n";
    out.flush();
    const bool failed = !store.chatMessages().isEmpty() && store.chatMessages().last().err;

    if (store.music()) {
        err << "Playing " << store.music()->title << " (Ctrl-C to stop)\n";
        err.flush();
        catchInterrupts();
        waitFor([&] { return store.musicPlaying() || interrupted; }, 10'000);
        // A pause (from the desktop's player controls) keeps the track; the end or a stop ends the wait.
        const MusicPlayer& player = MusicPlayer::shared();
        waitFor([&] { return !player.hasItem() || player.hasEnded() || interrupted; },
                std::numeric_limits<int>::max());
        store.stopMusic();
    }
    waitForSpeech();
    return failed ? 1 : 0;
}

int threads(TavoStore& store, bool asJson) {
    store.loadChatThreads();
    waitFor([&] { return !store.chatThreadsLoading(); });
    if (asJson) return printJson(store.chatThreads());
    if (store.chatThreads().isEmpty()) out << "No saved conversations\n";
    for (const ChatThreadRow& t : store.chatThreads())
        out << (t.id == store.currentThreadID() ? "* " : "  ") << t.id << "  " << t.updated_at << "  "
            << t.title << "\n";
    return 0;
}

int thread(TavoStore& store, const QStringList& args) {
    const QString action = args.value(0);
    if (action == "new" && args.size() == 1) {
        store.newChatThread();
        out << "The next chat starts a new conversation\n";
        return 0;
    }
    bool ok = false;
    const qint64 id = args.value(1).toLongLong(&ok);
    if (!ok || args.size() != 2) return usage();
    if (action == "open") {
        bool opened = false;
        QObject::connect(&store, &TavoStore::chatMessagesChanged, &store, [&] { opened = true; });
        store.openChatThread(id);
        if (!waitFor([&] { return opened || store.toast().has_value(); }) || !opened)
            return fail(lastError(store, "The cloud didn't answer"));
        for (const ChatMessage& m : store.chatMessages())
            out << (m.role == ChatMessage::Role::User ? "you:  " : "tavo: ") << m.content << "\n";
        return 0;
    }
    if (action == "delete") {
        store.loadChatThreads();
        waitFor([&] { return !store.chatThreadsLoading(); });
        const auto& rows = store.chatThreads();
        if (std::none_of(rows.cbegin(), rows.cend(), [&](const ChatThreadRow& r) { return r.id == id; }))
            return fail(QStringLiteral("No conversation %1").arg(id));
        store.deleteChatThread(id);
        bool done = false;
        QObject::connect(&store, &TavoStore::chatThreadsChanged, &store, [&] { done = true; });
        if (!waitFor([&] { return done || store.toast().has_value(); }) || store.toast())
            return fail(lastError(store, "The cloud didn't answer"));
        out << "Deleted conversation " << id << "\n";
        return 0;
    }
    return usage();
}

// Runs one store operation to its end. The operation reports through toasts: an error toast
// is the failure, any other the success line.
int runOperation(TavoStore& store, const std::function<QCoro::Task<>()>& operation,
                 const QString& doneText = {}) {
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

// BOX resolved against the account's boxes as the cloud lists them now.
std::variant<Device, QString> boxArgument(TavoStore& store, const QString& box) {
    Result<DeviceList> list =
        QCoro::waitFor(store.api().send<DeviceList>(QStringLiteral("GET"), Endpoints::devices()));
    if (!list) return list.failure().description();
    return resolveBox(list->devices, box);
}

QString relayList(qint64 mask, int relays) {
    QStringList on;
    for (int ch = 1; ch <= qMin(relays, 64); ++ch)
        if ((quint64(mask) >> (ch - 1)) & 1u) on << QString::number(ch);
    return on.size() == relays ? QStringLiteral("all") : on.isEmpty() ? QStringLiteral("none") : on.join(',');
}

int manage(TavoStore& store, const QString& cmd, const QStringList& args) {
    const int wanted = cmd == "rename" ? 2 : cmd == "rename-relay" ? 3 : 1;
    if (args.size() != wanted) return usage();
    auto box = boxArgument(store, args[0]);
    if (auto* why = std::get_if<QString>(&box)) return fail(*why);
    const Device d = std::get<Device>(box);
    if (cmd == "rename")
        return runOperation(
            store, [&] { return store.doRenameDevice(d.id, args[1]); },
            QStringLiteral("Renamed to \"%1\"").arg(args[1].trimmed()));
    if (cmd == "forget") return runOperation(store, [&] { return store.doForgetDevice(d.id); });
    if (cmd == "leave") return runOperation(store, [&] { return store.doLeaveDevice(d.id); });

    bool ok = false;
    const int ch = args[1].toInt(&ok);
    if (!ok || ch < 1 || ch > d.relay_count)
        return fail(QStringLiteral("%1 has relays 1 to %2").arg(d.name).arg(d.relay_count));
    const QString name = args[2].trimmed();
    if (name.isEmpty()) return fail("Name can't be empty");
    if (!connected(store)) return fail(unreachable(store));
    // The cloud echoes the new names to every socket of the box, this one included.
    bool answered = false;
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] { answered = true; });
    QObject::connect(&store, &TavoStore::devicesChanged, &store, [&] { answered = true; });
    store.renameRelays(d.id, {{QString::number(ch), name}});
    answered = false; // the local change itself is not the answer
    if (!waitFor([&] { return answered; })) return fail("The cloud didn't answer");
    if (store.toast() && store.toastIsError()) return fail(*store.toast());
    out << QStringLiteral("Relay %1 of %2 is now \"%3\"").arg(ch).arg(d.name, name) << "\n";
    return 0;
}

int members(TavoStore& store, const QString& cmd, QStringList args, bool asJson) {
    QString relays;
    if (const int i = args.indexOf("--relays"); i >= 0 && cmd == "invite") {
        if (i + 1 >= args.size()) return usage();
        relays = args.takeAt(i + 1);
        args.removeAt(i);
    }
    const int wanted = cmd == "members" ? 1 : 2;
    if (args.size() != wanted) return usage();
    auto box = boxArgument(store, args[0]);
    if (auto* why = std::get_if<QString>(&box)) return fail(*why);
    const Device d = std::get<Device>(box);

    if (cmd == "invite") {
        const int code =
            runOperation(store, [&] { return store.doInvite(d.id, args[1], inviteMask(relays)); });
        if (store.pendingInviteShareLink())
            out << "Share this link with them: " << *store.pendingInviteShareLink() << "\n";
        if (code != 0 && !store.pendingInviteShareLink()) return code;
    } else if (cmd == "remove-member") {
        bool ok = false;
        const qint64 user = args[1].toLongLong(&ok);
        if (!ok) return fail("USER is a user id, as `tavoctl members` shows it");
        if (const int code = runOperation(store, [&] { return store.doRemoveMember(d.id, user); }); code != 0)
            return code;
    } else if (const int code = runOperation(store, [&] { return store.doLoadMembers(d.id); }); code != 0) {
        return code;
    }
    if (asJson) return printJson(store.members());
    for (const Member& m : store.members())
        out << QStringLiteral("%1  %2  %3  relays: %4")
                   .arg(m.user_id)
                   .arg(formatPhone(m.phone), m.role, relayList(m.acl_mask, d.relay_count))
            << "\n";
    return 0;
}

int logs(TavoStore& store, QStringList args, bool asJson) {
    int limit = TavoStore::activitySheetLimit;
    if (const int i = args.indexOf("--limit"); i >= 0) {
        bool ok = false;
        limit = args.value(i + 1).toInt(&ok);
        if (!ok || limit < 1) return usage();
        args.remove(i, 2);
    }
    if (args.size() != 1) return usage();
    auto box = boxArgument(store, args[0]);
    if (auto* why = std::get_if<QString>(&box)) return fail(*why);
    const Device d = std::get<Device>(box);
    const QList<Device> devices{d};
    int failed = 0;
    QObject::connect(&store, &TavoStore::toastChanged, &store,
                     [&] { failed = store.toastIsError() ? 1 : 0; });
    const QList<ActivityEntry> entries = QCoro::waitFor(store.fetchActivityLog(d.id, limit));
    if (failed) return fail(*store.toast());
    if (asJson) return printJson(entries);
    if (entries.isEmpty()) out << "No activity yet. Toggle a relay and it'll show up here.\n";
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const ActivityEntry& e : entries)
        out << activity::relativeWhen(e.when, now) << "  " << activity::actor(e) << "  "
            << activity::sheetLine(e, devices, d.id) << "\n";
    return 0;
}

int history(TavoStore& store, bool asJson) {
    if (!connected(store)) return fail(unreachable(store)); // the welcome brings the boxes
    const QList<HistoryItem> items = QCoro::waitFor(store.fetchHistory());
    if (asJson) {
        QJsonArray rows;
        for (const HistoryItem& h : items)
            rows.append(QJsonObject{{"device", h.device.toJson()}, {"entry", h.entry.toJson()}});
        return printJson(rows);
    }
    if (items.isEmpty()) out << "Nothing here yet.\n";
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const HistoryItem& h : items) {
        QString line = activity::historyLine(h.entry, h.device);
        if (!h.entry.who_phone.value_or(QString()).isEmpty())
            line += QStringLiteral(" · ") + formatPhone(*h.entry.who_phone);
        out << activity::relTime(h.entry.when, now) << "  " << h.device.name << "  " << line << "\n";
    }
    return 0;
}

int skills(TavoStore& store, bool asJson) {
    if (const int code = runOperation(store, [&] { return store.doLoadSkills(); }); code != 0) return code;
    if (asJson) return printJson(store.skills());
    for (const Skill& s : store.skills())
        out << s.id << "  " << s.name << "  " << (s.connected ? "connected" : "not connected") << "  "
            << s.description << "\n";
    return 0;
}

// The sign-in runs in the browser. Its "tavo:" link comes back through the app's
// single-instance channel when no window app is running (the desktop starts `tavo` with it,
// which hands it here), or pasted on standard input.
int skillConnect(TavoStore& store, SkillsAuth& auth) {
    SingleInstance channel;
    const bool listening = !channel.forwardToRunning({}, 500) && channel.listen();
    QObject::connect(&channel, &SingleInstance::linkReceived, &auth,
                     [&](const QUrl& link) { auth.deliver(link); });
    QSocketNotifier input(fileno(stdin), QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &auth, [&] {
        const QString line = QTextStream(stdin).readLine();
        if (line.isNull()) {
            input.setEnabled(false); // end of input: keep waiting for the browser
            return;
        }
        if (line.trimmed().isEmpty()) return;
        if (const QString why = auth.submitPasted(line); !why.isEmpty()) err << why << "\n" << Qt::flush;
    });
    catchInterrupts();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &auth,
                     [&] {
                         if (interrupted && auth.waiting()) auth.cancel();
                     });
    QObject::connect(&auth, &SkillsAuth::waitingChanged, &auth, [&] {
        if (!auth.waiting()) return;
        err << (listening ? "Finish signing in in your browser; it brings you back here.\n"
                          : "Finish signing in in your browser.\n")
            << "If it doesn't, paste the tavo: link it ends on here. Ctrl-C cancels.\n"
            << Qt::flush;
    });
    bool cancelled = true;
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] { cancelled = false; });
    const int code = runOperation(store, [&] { return store.doConnectSwiggy(); });
    if (code == 0 && cancelled) return fail("Cancelled");
    if (code == 0) return skills(store, false);
    return code;
}

// Boxes announcing themselves on this network, classified against the account's boxes.
int boxScan(TavoStore& store, QNetworkAccessManager& network, QStringList args, bool asJson) {
    int seconds = 4;
    if (args.size() == 2 && args[0] == "--seconds") {
        bool ok = false;
        seconds = args[1].toInt(&ok);
        if (!ok || seconds < 1) return usage();
    } else if (!args.isEmpty()) {
        return usage();
    }
    Result<DeviceList> list =
        QCoro::waitFor(store.api().send<DeviceList>(QStringLiteral("GET"), Endpoints::devices()));
    BoxScanner scanner(network);
    if (list) scanner.setDevices(list->devices);
    scanner.start();
    waitFor([&] { return !scanner.scanning(); }, seconds * 1000);
    const bool failed = !scanner.scanning();
    scanner.stop();
    if (failed && scanner.found().isEmpty())
        return fail("Local network discovery is not available (no DNS-SD daemon).");
    if (asJson) return printJson(QJsonArray::fromVariantList(scanner.rows()));
    if (scanner.rows().isEmpty()) out << "No boxes found on this network\n";
    for (const QVariant& row : scanner.rows()) {
        const QVariantMap r = row.toMap();
        out << r["title"].toString() << "\t" << r["subtitle"].toString() << "\t" << r["address"].toString()
            << "\n";
    }
    return 0;
}

// The set-up road in the terminal: each step's words as the add-box screen shows them.
int boxSetup(TavoStore& store, QStringList args) {
    QString ssid, password;
    bool haveSSID = false;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return usage();
        if (args[i] == "--ssid") {
            ssid = args[i + 1];
            haveSSID = true;
        } else if (args[i] == "--password") {
            password = args[i + 1];
        } else {
            return usage();
        }
    }
    if (!haveSSID) return usage();
    std::optional<QString> error;
    QObject::connect(&store, &TavoStore::provChanged, &store, [&] {
        if (const QString words = store.prov().headline(); !words.isEmpty())
            out << words << "\n" << Qt::flush;
    });
    QObject::connect(&store, &TavoStore::toastChanged, &store, [&] {
        if (!store.toast()) return;
        if (store.toastIsError())
            error = *store.toast();
        else
            out << *store.toast() << "\n" << Qt::flush;
    });
    QCoro::waitFor(store.doScanForBox());
    if (store.prov().kind == ProvisionStep::Kind::NeedsAP)
        return fail(
            "Open Wi-Fi settings and join the Tavo-XXXX hotspot shown on your box, then come back and tap "
            "Retry.");
    store.setProvHomeSSID(ssid);
    store.setProvHomePass(password);
    QCoro::waitFor(store.doProvisionSubmit());
    if (error) fail(*error);
    if (store.prov().kind == ProvisionStep::Kind::ManualPair) {
        // The code the box showed is not lost with this run.
        const QString code = store.provPairCode().isEmpty() ? QStringLiteral("CODE") : store.provPairCode();
        err << "Then run: tavoctl box claim " << code << "\n" << Qt::flush;
        return 1;
    }
    return error ? 1 : 0;
}

int run(TavoStore& store, SettingsPreferences& preferences, QNetworkAccessManager& network, SkillsAuth& auth,
        const CloudConfig& config, const QString& cmd, QStringList args, bool asJson) {
    if (cmd == "login") return login(store, preferences, args);
    if (!requireSession(store)) return fail("Not signed in. Run: tavoctl login PHONE");
    if (cmd == "devices") return devices(store, asJson);
    if (cmd == "relay") return command(store, args, false);
    if (cmd == "all") return command(store, args, true);
    if (cmd == "watch") return watch(store, asJson);
    if (cmd == "chat") return chat(store, args);
    if (cmd == "voice") return voice(store, config, args);
    if (cmd == "threads") return threads(store, asJson);
    if (cmd == "thread") return thread(store, args);
    if (cmd == "rename" || cmd == "rename-relay" || cmd == "forget" || cmd == "leave")
        return manage(store, cmd, args);
    if (cmd == "members" || cmd == "invite" || cmd == "remove-member")
        return members(store, cmd, args, asJson);
    if (cmd == "logs") return logs(store, args, asJson);
    if (cmd == "history") return history(store, asJson);
    if (cmd == "skills") return skills(store, asJson);
    if (cmd == "skill" && args == QStringList{"connect", "swiggy"}) return skillConnect(store, auth);
    if (cmd == "skill" && args.size() == 2 && args[0] == "disconnect")
        return runOperation(store, [&] { return store.doDisconnectSkill(args[1]); });
    if (cmd == "box" && args.value(0) == "scan") return boxScan(store, network, args.mid(1), asJson);
    if (cmd == "box" && args.value(0) == "setup") return boxSetup(store, args.mid(1));
    if (cmd == "box" && args.size() == 2 && args[0] == "claim")
        // The code shaped as the pair-code field shapes it.
        return runOperation(store, [&] { return store.doClaim(Sanitize::pairCode(args[1])); });
    if (cmd == "logout") {
        store.signOut();
        out << "Signed out\n";
        return 0;
    }
    return usage();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return usage();
    const QString cmd = args.takeFirst();
    // Help, the version and a mistyped command need no session, network or TLS.
    if (cmd == "--help" || cmd == "-h") {
        printUsage(out);
        return 0;
    }
    if (cmd == "--version") {
        out << "tavoctl " TAVO_VERSION "\n";
        return 0;
    }
    if (cmd == "help") {
        const CommandUsage* only = args.isEmpty() ? nullptr : findCommand(args[0]);
        if (args.size() > 1 || (!args.isEmpty() && !only)) return usage();
        printUsage(out, only);
        return 0;
    }
    if (!findCommand(cmd)) return usage();
    const TlsWarmUp tlsWarmUp;
    QCoreApplication::setOrganizationName(QStringLiteral("Tavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavo"));
    const bool asJson = args.removeAll("--json") > 0;
    // Without its CAs the command still runs: the cloud's certificate is then refused as any
    // untrusted one is, so nothing is sent.
    if (const std::optional<QString> error = trustCloudCAs())
        err << "tavoctl: " << *error << "\n" << Qt::flush;

    QNetworkAccessManager network;
    SettingsPreferences preferences;
    RealClock clock;
    // The browser is opened where possible; the address is printed either way, so a sign-in
    // can always continue by hand.
    SkillsAuth auth([](const QUrl& url) {
        err << "Sign-in page: " << url.toString(QUrl::FullyEncoded) << "\n" << Qt::flush;
        SkillsAuth::openInDesktopBrowser(url);
        return true;
    });
    const CloudConfig config = CloudConfig::fromEnvironment();
    StoreServices services{&network, &preferences, &clock, config, nullptr, nullptr, &auth};
    services.connectOnRestore = false; // the commands that need the device socket open it
    TavoStore store(std::move(services));
    QObject::connect(&store, &TavoStore::sessionExpired, &store, [] { sessionEnded = true; });
    QCoreApplication::processEvents(); // let a restored session start
    const int code = run(store, preferences, network, auth, config, cmd, args, asJson);
    if (sessionEnded) {
        err << "Session expired. Run: tavoctl login PHONE\n" << Qt::flush;
        return 1;
    }
    return code;
}
