// The activity log: fetching one box's log, the history of all boxes, and the wording rules.

#include "devices/Activity.h"

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"

#include <QRegularExpression>
#include <algorithm>

namespace tavo {

namespace activity {

namespace {

// RFC 3339 internet date-time; the fraction is a separate choice of the caller.
std::optional<QDateTime> parseInternetDate(const QString& when, bool fractional) {
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d))")));
    static const QRegularExpression withFraction(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d+(Z|[+-]\d\d:\d\d))")));
    if (!(fractional ? withFraction : whole).match(when).hasMatch()) return std::nullopt;
    QString text = when;
    if (fractional) {
        // Qt reads at most milliseconds; finer digits don't change a relative phrase.
        const qsizetype dot = text.indexOf(u'.');
        qsizetype end = dot + 1;
        while (end < text.size() && text.at(end).isDigit())
            ++end;
        text = text.left(dot) + text.mid(dot, qMin<qsizetype>(end - dot, 4)) + text.mid(end);
    }
    const QDateTime t = QDateTime::fromString(text, fractional ? Qt::ISODateWithMs : Qt::ISODate);
    if (!t.isValid()) return std::nullopt;
    return t;
}

QString onOff(std::optional<bool> state) {
    return state.value_or(false) ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

QString relayName(const ActivityEntry& e, const QList<Device>& devices, qint64 deviceID) {
    if (!e.ch) return {};
    for (const Device& d : devices)
        if (d.id == deviceID) return d.relayName(*e.ch);
    return Device::defaultRelayName(*e.ch);
}

QString sheetLine(const ActivityEntry& e, const QList<Device>& devices, qint64 deviceID) {
    if (e.action == u"set") {
        const QString name = relayName(e, devices, deviceID);
        return QStringLiteral("turned ") + onOff(e.state) + u' ' +
               (name.isEmpty() ? QStringLiteral("a relay") : name);
    }
    if (e.action == u"all") return QStringLiteral("turned ALL relays ") + onOff(e.state);
    if (e.action == u"rename_relay") return QStringLiteral("renamed a relay");
    if (e.action == u"rename_device") return QStringLiteral("renamed the box");
    if (e.action == u"member_added") return QStringLiteral("added a member");
    if (e.action == u"member_removed") return QStringLiteral("removed a member");
    return e.action;
}

QString actor(const ActivityEntry& e) {
    QString who = e.who_phone.value_or(QStringLiteral("system"));
    if (e.source != u"app") who += QStringLiteral(" · ") + e.source;
    return who;
}

Dot sheetDot(const ActivityEntry& e) {
    if (e.action == u"set" || e.action == u"all") return e.state.value_or(false) ? Dot::On : Dot::Dim;
    return Dot::Accent;
}

QString sheetAgo(const QString& when, const QDateTime& now) {
    const std::optional<QDateTime> t = parseInternetDate(when, false);
    if (!t) return when;
    const qint64 secs = t->secsTo(now);
    const qint64 s = secs < 0 ? -secs : secs;
    struct Unit {
        qint64 seconds;
        const char *one, *many;
    };
    static constexpr Unit units[] = {{365 * 86400, "yr.", "yr."}, {30 * 86400, "mo.", "mo."},
                                     {7 * 86400, "wk.", "wk."},   {86400, "day", "days"},
                                     {3600, "hr.", "hr."},        {60, "min.", "min."}};
    QString phrase;
    for (const Unit& u : units) {
        if (s >= u.seconds) {
            const qint64 n = s / u.seconds;
            phrase = QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? u.one : u.many));
            break;
        }
    }
    if (phrase.isEmpty()) phrase = QStringLiteral("%1 sec.").arg(s);
    return secs < 0 ? QStringLiteral("in ") + phrase : phrase + QStringLiteral(" ago");
}

QString historyLine(const ActivityEntry& e, const Device& box) {
    if (e.action == u"all_on") return QStringLiteral("all on");
    if (e.action == u"all_off") return QStringLiteral("all off");
    if (e.ch && e.state) return QStringLiteral("turned ") + onOff(e.state) + u' ' + box.relayName(*e.ch);
    return e.action;
}

qint64 secondsAgo(const QString& when, const QDateTime& now) {
    std::optional<QDateTime> t = parseInternetDate(when, true);
    if (!t) t = parseInternetDate(when, false);
    return t ? t->msecsTo(now) / 1000 : 0; // integer division truncates toward zero; unreadable = now
}

QString historyAgo(const QString& when, const QDateTime& now) {
    const qint64 s = secondsAgo(when, now);
    if (s < 60) return QStringLiteral("%1s ago").arg(s);
    if (s < 3600) return QStringLiteral("%1m ago").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1h ago").arg(s / 3600);
    return QStringLiteral("%1d ago").arg(s / 86400);
}

void sortHistory(QList<HistoryItem>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const HistoryItem& a, const HistoryItem& b) { return a.entry.when > b.entry.when; });
}

} // namespace activity

QCoro::Task<QList<ActivityEntry>> TavoStore::fetchActivityLog(qint64 deviceID, int limit) {
    QPointer<TavoStore> self(this);
    const QString get = QStringLiteral("GET");
    const QString path = Endpoints::deviceLogs(deviceID, limit);
    Result<ActivityLog> reply = co_await api().send<ActivityLog>(get, path);
    if (!reply) {
        if (self) showToast(reply.failure().description(), true);
        co_return {};
    }
    co_return reply->logs;
}

QCoro::Task<QList<HistoryItem>> TavoStore::fetchHistory() {
    QPointer<TavoStore> self(this);
    const QList<Device> boxes = m_devices;
    QList<HistoryItem> items;
    for (const Device& d : boxes) {
        const QList<ActivityEntry> entries = co_await fetchActivityLog(d.id, historyLimitPerBox);
        if (!self) co_return {};
        for (const ActivityEntry& e : entries)
            items.append({d, e});
    }
    activity::sortHistory(items);
    co_return items;
}

} // namespace tavo
