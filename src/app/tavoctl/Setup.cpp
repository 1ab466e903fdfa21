// Adding a box: finding boxes on this network, the Wi-Fi set-up of a new one, and claiming one
// by the code it shows.

#include "Commands.h"
#include "Context.h"

#include "setup/BoxScanner.h"
#include "setup/Sanitize.h"

namespace tavo::ctl {

namespace {

// A row's words, with the window's "tap to add" said as the command that adds the box.
QString scanSubtitle(const QVariantMap& row) {
    const QString code = row["pairCode"].toString();
    if (code.isEmpty() || row["mine"].toBool()) return row["subtitle"].toString();
    return QStringLiteral("Ready · add with: tavoctl box claim ") + code;
}

// Boxes announcing themselves on this network, classified against the account's boxes.
int scan(Context& ctx, QStringList args) {
    TavoStore& store = ctx.store();
    int seconds = 4;
    if (args.size() == 2 && args[0] == "--seconds") {
        bool ok = false;
        seconds = args[1].toInt(&ok);
        if (!ok || seconds < 1) return usage();
    } else if (!args.isEmpty()) {
        return usage();
    }
    Result<DeviceList> list = fetchDevices(store);
    BoxScanner scanner(ctx.client->network);
    if (list) scanner.setDevices(list->devices);
    scanner.start();
    waitFor([&] { return !scanner.scanning(); }, seconds * 1000);
    const bool failed = !scanner.scanning();
    scanner.stop();
    if (failed && scanner.found().isEmpty())
        return fail("Local network discovery is not available (no DNS-SD daemon).");
    if (ctx.asJson) return printJson(QJsonArray::fromVariantList(scanner.rows()));
    if (scanner.rows().isEmpty()) out << "No boxes found on this network\n";
    for (const QVariant& row : scanner.rows()) {
        const QVariantMap r = row.toMap();
        out << r["title"].toString() << "\t" << scanSubtitle(r) << "\t" << r["address"].toString() << "\n";
    }
    return 0;
}

// The set-up road in the terminal: each step's headline as the add-box card has it.
int setup(Context& ctx, QStringList args) {
    TavoStore& store = ctx.store();
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
    QObject following; // ends the connections with the command
    QObject::connect(&store, &TavoStore::provChanged, &following, [&] {
        if (const QString words = store.prov().headline(); !words.isEmpty())
            out << words << "\n" << Qt::flush;
    });
    QObject::connect(&store, &TavoStore::toastChanged, &following, [&] {
        if (!store.toast()) return;
        if (store.toastIsError())
            error = *store.toast();
        else
            out << *store.toast() << "\n" << Qt::flush;
    });
    QCoro::waitFor(store.doScanForBox());
    if (store.prov().kind == ProvisionStep::Kind::NeedsAP)
        return fail("Join the Tavo-XXXX hotspot shown on your box, then run this command again.");
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

} // namespace

int box(Context& ctx) {
    const QStringList& args = ctx.args;
    const QString step = args.value(0);
    if (step == "scan") return scan(ctx, args.mid(1));
    if (step == "setup") return setup(ctx, args.mid(1));
    if (step == "claim" && args.size() == 2) {
        TavoStore& store = ctx.store();
        // The code shaped as the pair-code field shapes it.
        return runOperation(store, [&] { return store.doClaim(Sanitize::pairCode(args[1])); });
    }
    return usage();
}

} // namespace tavo::ctl
