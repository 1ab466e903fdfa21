// Signing in and out. The session is kept in the window app's settings, so one signed in here
// is signed in there.

#include "Commands.h"
#include "Context.h"

#include "platform/linux/SettingsPreferences.h"

namespace tavo::ctl {

int login(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args.isEmpty()) return usage();
    QString code;
    if (const qsizetype i = args.indexOf("--code"); i >= 0) code = args.value(i + 1);
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
    if (!ctx.client->preferences.stored())
        return fail(QStringLiteral("Signed in, but the session couldn't be saved to %1")
                        .arg(ctx.client->preferences.fileName()));
    out << "Signed in as " << store.phone() << "\n";
    return 0;
}

int logout(Context& ctx) {
    ctx.store().signOut();
    out << "Signed out\n";
    return 0;
}

} // namespace tavo::ctl
