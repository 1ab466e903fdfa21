// The account's boxes: listing them, switching relays, following their changes, renaming and
// forgetting them.

#include "Commands.h"
#include "Context.h"

#include <algorithm>

namespace tavo::ctl {

namespace {

// Relays are switched over the device socket, against the list its welcome brought.
int switchRelays(Context& ctx, bool all) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args.size() != (all ? 2 : 3)) return usage();
    if (!connected(store)) return fail(unreachable(store));
    const std::optional<Device> d = findBox(store.devices(), args[0]);
    if (!d) return 1;
    const QString action = args.last();
    if (action != "on" && action != "off" && !(action == "toggle" && !all)) return usage();

    std::function<void()> send;
    if (all) {
        send = [&] { store.allRelays(d->id, action == "on"); };
    } else {
        const std::optional<int> ch = relayArgument(*d, args[1]);
        if (!ch) return 1;
        if (!d->isAllowed(*ch)) return fail("No access to this relay");
        send = [&, ch = *ch] {
            store.setRelay(d->id, ch, action == "toggle" ? !d->isOn(ch) : action == "on");
        };
    }
    if (const int code = awaitAnswer(store, send); code != 0) return code;
    for (const Device& now : store.devices())
        if (now.id == d->id) out << deviceLine(now) << "\n";
    return 0;
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

} // namespace

int devices(Context& ctx) {
    Result<DeviceList> list = fetchDevices(ctx.store());
    if (!list) return fail(list.failure().description());
    if (ctx.asJson) return printJson(list->devices);
    for (const Device& d : list->devices)
        out << deviceLine(d) << "\n";
    return 0;
}

int relay(Context& ctx) {
    return switchRelays(ctx, false);
}
int all(Context& ctx) {
    return switchRelays(ctx, true);
}

// A line for each change until SIGINT or SIGTERM: the connection, notices, and each box that
// changed, came or went.
int watch(Context& ctx) {
    TavoStore& store = ctx.store();
    const bool asJson = ctx.asJson;
    catchInterrupts();
    QObject watching; // ends the connections with the command
    QList<Device> last = store.devices();
    auto emitLine = [&](const QString& line) {
        out << line << "\n";
        out.flush();
    };
    QObject::connect(&store, &TavoStore::connChanged, &watching, [&] {
        emitLine(asJson ? compact({{"type", "conn"}, {"conn", connName(store.conn())}})
                        : "connection: " + connName(store.conn()));
    });
    QObject::connect(&store, &TavoStore::toastChanged, &watching, [&] {
        if (store.toast())
            emitLine(
                asJson
                    ? compact({{"type", "toast"}, {"text", *store.toast()}, {"error", store.toastIsError()}})
                    : (store.toastIsError() ? "error: " : "notice: ") + *store.toast());
    });
    QObject::connect(&store, &TavoStore::devicesChanged, &watching, [&] {
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
    waitFor([] { return interrupted != 0; }, noTimeout);
    return sessionEnded ? 1 : 0;
}

int rename(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args.size() != 2) return usage();
    const std::optional<Device> d = fetchBox(store, args[0]);
    if (!d) return 1;
    return runOperation(
        store, [&] { return store.doRenameDevice(d->id, args[1]); },
        QStringLiteral("Renamed to \"%1\"").arg(args[1].trimmed()));
}

int renameRelay(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args.size() != 3) return usage();
    const std::optional<Device> d = fetchBox(store, args[0]);
    if (!d) return 1;
    const std::optional<int> ch = relayArgument(*d, args[1]);
    if (!ch) return 1;
    const QString name = args[2].trimmed();
    if (name.isEmpty()) return fail("Name can't be empty");
    if (!connected(store)) return fail(unreachable(store));
    // The cloud echoes the new names to every socket of the box, this one included.
    const auto send = [&] { store.renameRelays(d->id, {{QString::number(*ch), name}}); };
    if (const int code = awaitAnswer(store, send); code != 0) return code;
    out << QStringLiteral("Relay %1 of %2 is now \"%3\"").arg(*ch).arg(d->name, name) << "\n";
    return 0;
}

int forget(Context& ctx) {
    TavoStore& store = ctx.store();
    if (ctx.args.size() != 1) return usage();
    const std::optional<Device> d = fetchBox(store, ctx.args[0]);
    if (!d) return 1;
    return runOperation(store, [&] { return store.doForgetDevice(d->id); });
}

} // namespace tavo::ctl
