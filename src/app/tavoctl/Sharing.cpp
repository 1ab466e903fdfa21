// Who else may use a box: its members, inviting and removing them, and leaving a box someone
// shared.

#include "Commands.h"
#include "Context.h"

#include "core/PhoneNumber.h"

namespace tavo::ctl {

namespace {

QString relayList(qint64 mask, int relays) {
    QStringList on;
    for (int ch = 1; ch <= qMin(relays, 64); ++ch)
        if ((quint64(mask) >> (ch - 1)) & 1u) on << QString::number(ch);
    return on.size() == relays ? QStringLiteral("all") : on.isEmpty() ? QStringLiteral("none") : on.join(',');
}

// After any of the member commands: the members as they are now.
int printMembers(const Context& ctx, const Device& d) {
    if (ctx.asJson) return printJson(ctx.store().members());
    for (const Member& m : ctx.store().members())
        out << QStringLiteral("%1  %2  %3  relays: %4")
                   .arg(m.user_id)
                   .arg(formatPhone(m.phone), m.role, relayList(m.acl_mask, d.relay_count))
            << "\n";
    return 0;
}

} // namespace

int leave(Context& ctx) {
    TavoStore& store = ctx.store();
    if (ctx.args.size() != 1) return usage();
    const std::optional<Device> d = fetchBox(store, ctx.args[0]);
    if (!d) return 1;
    return runOperation(store, [&] { return store.doLeaveDevice(d->id); });
}

int members(Context& ctx) {
    TavoStore& store = ctx.store();
    if (ctx.args.size() != 1) return usage();
    const std::optional<Device> d = fetchBox(store, ctx.args[0]);
    if (!d) return 1;
    if (const int code = runOperation(store, [&] { return store.doLoadMembers(d->id); }); code != 0)
        return code;
    return printMembers(ctx, *d);
}

int invite(Context& ctx) {
    TavoStore& store = ctx.store();
    QStringList args = ctx.args;
    QString relays;
    if (const qsizetype i = args.indexOf("--relays"); i >= 0) {
        if (i + 1 >= args.size()) return usage();
        relays = args.takeAt(i + 1);
        args.removeAt(i);
    }
    if (args.size() != 2) return usage();
    const std::optional<Device> d = fetchBox(store, args[0]);
    if (!d) return 1;
    const int code = runOperation(store, [&] { return store.doInvite(d->id, args[1], inviteMask(relays)); });
    // An invitee the cloud could not message is given a link to pass on, whatever the result.
    if (store.pendingInviteShareLink())
        out << "Share this link with them: " << *store.pendingInviteShareLink() << "\n";
    if (code != 0 && !store.pendingInviteShareLink()) return code;
    return printMembers(ctx, *d);
}

int removeMember(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    if (args.size() != 2) return usage();
    const std::optional<Device> d = fetchBox(store, args[0]);
    if (!d) return 1;
    bool ok = false;
    const qint64 user = args[1].toLongLong(&ok);
    if (!ok) return fail("USER is a user id, as `tavoctl members` shows it");
    if (const int code = runOperation(store, [&] { return store.doRemoveMember(d->id, user); }); code != 0)
        return code;
    return printMembers(ctx, *d);
}

} // namespace tavo::ctl
