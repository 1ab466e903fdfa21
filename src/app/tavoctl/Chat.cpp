// The assistant by text: one chat turn, and the saved conversations.

#include "Commands.h"
#include "Context.h"

#include "chat/ChatSpeaker.h"
#include "music/MusicPlayer.h"

#include <QTimer>
#include <algorithm>

namespace tavo::ctl {

namespace {

// Speech runs in the background; the process waits for it before exiting.
void waitForSpeech(const TavoStore& store) {
    // Speech ends on its own thread, or when its time is up; neither wakes this loop.
    QTimer look;
    look.start(100);
    const ChatSpeaker& speaker = *store.services().speaker;
    waitFor([&] { return !speaker.isSpeaking() || interrupted != 0; }, 60'000);
}

} // namespace

// Streams one chat turn: reply text on stdout as it grows, captions on stderr. The saved
// conversation is loaded first so the assistant gets its history; a track the reply starts
// plays until it ends or Ctrl-C.
int chat(Context& ctx) {
    TavoStore& store = ctx.store();
    const QString text = ctx.args.join(' ').trimmed();
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
    QObject following; // ends the connections with the command
    QObject::connect(&store, &TavoStore::chatMessagesChanged, &following, printNew);
    QObject::connect(&store, &TavoStore::chatLiveStatusChanged, &following, [&] {
        if (showProgress && store.chatLiveStatus()) {
            err << *store.chatLiveStatus() << "\n";
            err.flush();
        }
    });
    bool toasted = false;
    QObject::connect(&store, &TavoStore::toastChanged, &following,
                     [&] { toasted = store.toast().has_value(); });
    store.sendChat(text);
    if (toasted && store.toastIsError()) return fail(*store.toast());
    waitFor([&] { return !store.chatBusy(); }, noTimeout);
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
        const MusicPlayer& player = *store.services().music;
        waitFor([&] { return !player.hasItem() || player.hasEnded() || interrupted; }, noTimeout);
        store.stopMusic();
    }
    waitForSpeech(store);
    return failed ? 1 : 0;
}

int threads(Context& ctx) {
    TavoStore& store = ctx.store();
    store.loadChatThreads();
    waitFor([&] { return !store.chatThreadsLoading(); });
    if (ctx.asJson) return printJson(store.chatThreads());
    if (store.chatThreads().isEmpty()) out << "No saved conversations\n";
    for (const ChatThreadRow& t : store.chatThreads())
        out << (t.id == store.currentThreadID() ? "* " : "  ") << t.id << "  " << t.updated_at << "  "
            << t.title << "\n";
    return 0;
}

int thread(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    const QString action = args.value(0);
    if (action == "new" && args.size() == 1) {
        store.newChatThread();
        out << "The next chat starts a new conversation\n";
        return 0;
    }
    bool ok = false;
    const qint64 id = args.value(1).toLongLong(&ok);
    if (!ok || args.size() != 2) return usage();
    QObject listening;
    if (action == "open") {
        bool opened = false;
        QObject::connect(&store, &TavoStore::chatMessagesChanged, &listening, [&] { opened = true; });
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
        QObject::connect(&store, &TavoStore::chatThreadsChanged, &listening, [&] { done = true; });
        if (!waitFor([&] { return done || store.toast().has_value(); }) || store.toast())
            return fail(lastError(store, "The cloud didn't answer"));
        out << "Deleted conversation " << id << "\n";
        return 0;
    }
    return usage();
}

} // namespace tavo::ctl
