// tavoctl: the command-line client. The same TavoStore and settings as the window app, so a
// session started in one is the session of the other.
//
// Every command is a row of one table: the usage, `help COMMAND`, the check for an unknown
// command and the one for a session all read it. The commands live one file per group.

#include "Commands.h"
#include "Context.h"

#include "chat/ChatSpeaker.h"
#include "cloud/Tls.h"
#include "music/MusicPlayer.h"
#include "platform/linux/RealClock.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SettingsPreferences.h"

#include <QCoreApplication>

using namespace tavo;
using namespace tavo::ctl;

namespace {

// What a command needs before it runs: help is answered from the table alone (no settings,
// network or TLS), login needs the client, the rest a session too.
enum class Needs { Nothing, Client, Session };

struct Command {
    const char* name;
    const char* usage;
    Needs needs;
    int (*run)(Context&);
};

int help(Context& ctx);

constexpr Command commands[] = {
    {"login", "login PHONE [--code CODE]", Needs::Client, login},
    {"devices", "devices [--json]", Needs::Session, devices},
    {"relay", "relay BOX CH on|off|toggle", Needs::Session, relay},
    {"all", "all BOX on|off", Needs::Session, all},
    {"watch", "watch [--json]", Needs::Session, watch},
    {"chat", "chat TEXT...", Needs::Session, chat},
    {"voice", "voice [--file WAV]", Needs::Session, voice},
    {"threads", "threads [--json]", Needs::Session, threads},
    {"thread", "thread new | thread open ID | thread delete ID", Needs::Session, thread},
    {"rename", "rename BOX NAME", Needs::Session, rename},
    {"rename-relay", "rename-relay BOX CH NAME", Needs::Session, renameRelay},
    {"forget", "forget BOX", Needs::Session, forget},
    {"leave", "leave BOX", Needs::Session, leave},
    {"members", "members BOX [--json]", Needs::Session, members},
    {"invite", "invite BOX PHONE [--relays 1,3]", Needs::Session, invite},
    {"remove-member", "remove-member BOX USER", Needs::Session, removeMember},
    {"logs", "logs BOX [--limit N] [--json]", Needs::Session, logs},
    {"history", "history [--json]", Needs::Session, history},
    {"skills", "skills [--json]", Needs::Session, skills},
    {"skill", "skill connect swiggy | skill disconnect ID", Needs::Session, skill},
    {"box", "box scan [--seconds N] [--json] | box setup --ssid NAME [--password P] | box claim CODE",
     Needs::Session, box},
    {"logout", "logout", Needs::Session, logout},
    {"help", "help [COMMAND]", Needs::Nothing, help},
};

const Command* findCommand(const QString& name) {
    for (const Command& c : commands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

// All commands, or only `only`.
void printUsage(QTextStream& to, const Command* only = nullptr) {
    const char* lead = "usage: tavoctl ";
    for (const Command& c : commands) {
        if (only && only != &c) continue;
        to << lead << c.usage << "\n";
        lead = "       tavoctl ";
    }
    if (!only) to << "       tavoctl --help | --version\n";
    to << "BOX is a box id or a unique box name.\n";
    to.flush();
}

int help(Context& ctx) {
    const Command* only = ctx.args.isEmpty() ? nullptr : findCommand(ctx.args[0]);
    if (ctx.args.size() > 1 || (!ctx.args.isEmpty() && !only)) return usage();
    printUsage(out, only);
    return 0;
}

// The client and the command's run against it.
int runWithClient(const Command& command, Context& ctx) {
    const CloudConfig config = CloudConfig::fromEnvironment();
    // Only a cloud over TLS is worth the warm-up: a command ends sooner than the back end loads,
    // and waits for it at exit. A socket to a plain cloud loads it when it is made.
    std::optional<TlsWarmUp> tlsWarmUp;
    if (config.cloudTLS) tlsWarmUp.emplace();
    QCoreApplication::setOrganizationName(QStringLiteral("Tavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavo"));
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
    ChatSpeaker speaker;
    MusicPlayer music; // the media back end only if a reply starts a track
    SecretServiceKeychain keychain;
    StoreServices services{&network, &preferences, &clock, config, &speaker, &music, &auth, &keychain};
    services.connectOnRestore = false; // the commands that need the device socket open it
    TavoStore store(std::move(services));
    QObject::connect(&store, &TavoStore::sessionExpired, &store, [] { sessionEnded = true; });
    QCoreApplication::processEvents(); // let a restored session start

    if (command.needs == Needs::Session && (store.sessionToken().isEmpty() || store.phone().isEmpty()))
        return fail("Not signed in. Run: tavoctl login PHONE");
    Client client{store, preferences, network, auth, config};
    ctx.client = &client;
    const int code = command.run(ctx);
    if (sessionEnded) {
        err << "Session expired. Run: tavoctl login PHONE\n" << Qt::flush;
        return 1;
    }
    return code;
}

} // namespace

int tavo::ctl::usage() {
    printUsage(err);
    return 2;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return usage();
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h") {
        printUsage(out);
        return 0;
    }
    if (name == "--version") {
        out << "tavoctl " TAVO_VERSION "\n";
        return 0;
    }
    const Command* command = findCommand(name);
    if (!command) return usage();
    Context ctx{args};
    if (command->needs == Needs::Nothing) return command->run(ctx);
    ctx.asJson = ctx.args.removeAll("--json") > 0;
    return runWithClient(*command, ctx);
}
