// What happened: one box's activity log, and the history across all of the account's boxes.

#include "Commands.h"
#include "Context.h"

#include "core/PhoneNumber.h"

namespace tavo::ctl {

int logs(Context& ctx) {
    TavoStore& store = ctx.store();
    QStringList args = ctx.args;
    int limit = TavoStore::activitySheetLimit;
    if (const qsizetype i = args.indexOf("--limit"); i >= 0) {
        bool ok = false;
        limit = args.value(i + 1).toInt(&ok);
        if (!ok || limit < 1) return usage();
        args.remove(i, 2);
    }
    if (args.size() != 1) return usage();
    const std::optional<Device> d = fetchBox(store, args[0]);
    if (!d) return 1;
    const QList<Device> devices{*d};
    int failed = 0;
    QObject listening;
    QObject::connect(&store, &TavoStore::toastChanged, &listening,
                     [&] { failed = store.toastIsError() ? 1 : 0; });
    const QList<ActivityEntry> entries = QCoro::waitFor(store.fetchActivityLog(d->id, limit));
    if (failed) return fail(*store.toast());
    if (ctx.asJson) return printJson(entries);
    // Unlike the window's sheet this listing does not grow by itself.
    if (entries.isEmpty()) out << "No activity yet. Switch a relay and run this again to see it.\n";
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const ActivityEntry& e : entries)
        out << activity::sheetAgo(e.when, now) << "  " << activity::actor(e) << "  "
            << activity::sheetLine(e, devices, d->id) << "\n";
    return 0;
}

int history(Context& ctx) {
    TavoStore& store = ctx.store();
    if (!connected(store)) return fail(unreachable(store)); // the welcome brings the boxes
    const QList<HistoryItem> items = QCoro::waitFor(store.fetchHistory());
    if (ctx.asJson) {
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
        out << activity::historyAgo(h.entry.when, now) << "  " << h.device.name << "  " << line << "\n";
    }
    return 0;
}

} // namespace tavo::ctl
