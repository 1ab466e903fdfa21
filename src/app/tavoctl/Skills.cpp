// Skills: what the assistant can do with outside services, and connecting them.

#include "Commands.h"
#include "Context.h"

#include "shell/SingleInstance.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <cstdio>

namespace tavo::ctl {

namespace {

int listSkills(TavoStore& store, bool asJson) {
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
int connectSwiggy(TavoStore& store, SkillsAuth& auth) {
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
    QObject waiting; // ends the connections with the sign-in
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &waiting,
                     [&] {
                         if (interrupted && auth.waiting()) auth.cancel();
                     });
    QObject::connect(&auth, &SkillsAuth::waitingChanged, &waiting, [&] {
        if (!auth.waiting()) return;
        err << (listening ? "Finish signing in in your browser; it brings you back here.\n"
                          : "Finish signing in in your browser.\n")
            << "If it doesn't, paste the tavo: link it ends on here. Ctrl-C cancels.\n"
            << Qt::flush;
    });
    bool cancelled = true;
    QObject::connect(&store, &TavoStore::toastChanged, &waiting, [&] { cancelled = false; });
    const int code = runOperation(store, [&] { return store.doConnectSwiggy(); });
    if (code == 0 && cancelled) return fail("Cancelled");
    if (code == 0) return listSkills(store, false);
    return code;
}

} // namespace

int skills(Context& ctx) {
    return listSkills(ctx.store(), ctx.asJson);
}

int skill(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args == QStringList{"connect", "swiggy"}) return connectSwiggy(store, ctx.client->auth);
    if (args.size() == 2 && args[0] == "disconnect")
        return runOperation(store, [&] { return store.doDisconnectSkill(args[1]); });
    return usage();
}

} // namespace tavo::ctl
