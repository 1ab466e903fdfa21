#pragma once

#include "cloud/Json.h"
#include "devices/Device.h"

#include <QDateTime>

namespace tavo {

// One line of a box's activity log.
struct ActivityEntry {
    qint64 id = 0;
    QString when;                     // ISO 8601 with time zone, fractional seconds allowed
    std::optional<QString> who_phone; // absent: the system acted
    QString source;                   // "app" marks this application
    QString action;
    std::optional<int> ch; // channel, from 1
    std::optional<bool> state;

    static std::optional<ActivityEntry> fromJson(json::Reader& r) {
        ActivityEntry e{r.required<qint64>("id"),         r.required<QString>("when"),
                        r.optional<QString>("who_phone"), r.required<QString>("source"),
                        r.required<QString>("action"),    r.optional<int>("ch"),
                        r.optional<bool>("state")};
        if (!r.ok()) return std::nullopt;
        return e;
    }
    QJsonObject toJson() const {
        QJsonObject o{{"id", id}, {"when", when}, {"source", source}, {"action", action}};
        json::putOptional(o, "who_phone", who_phone);
        json::putOptional(o, "ch", ch);
        json::putOptional(o, "state", state);
        return o;
    }
    friend bool operator==(const ActivityEntry&, const ActivityEntry&) = default;
};

struct ActivityLog {
    QList<ActivityEntry> logs;
    static std::optional<ActivityLog> fromJson(json::Reader& r) {
        ActivityLog l{r.required<QList<ActivityEntry>>("logs")};
        if (!r.ok()) return std::nullopt;
        return l;
    }
    QJsonObject toJson() const { return {{"logs", json::Codec<QList<ActivityEntry>>::encode(logs)}}; }
};

// An entry of the history tab, with the box it happened on.
struct HistoryItem {
    Device device;
    ActivityEntry entry;
};

// The wording of log entries. The activity sheet of one box and the history tab word the
// same entry differently on purpose; each has its own functions.
namespace activity {

// Activity sheet
QString relayName(const ActivityEntry& e, const QList<Device>& devices, qint64 deviceID);
QString sheetLine(const ActivityEntry& e, const QList<Device>& devices, qint64 deviceID);
QString actor(const ActivityEntry& e); // "system" or the phone, then "· source" unless "app"
enum class Dot { On, Dim, Accent };
Dot sheetDot(const ActivityEntry& e);
// The short relative phrase ("5 min. ago"); `when` unchanged unless it has whole seconds.
QString sheetAgo(const QString& when, const QDateTime& now);

// History tab
QString historyLine(const ActivityEntry& e, const Device& box);
QString historyAgo(const QString& when, const QDateTime& now); // "59s ago", "1m ago", …
// Whole seconds from `when` (with or without fractional seconds) to `now`; 0 when unreadable.
qint64 secondsAgo(const QString& when, const QDateTime& now);
// Latest first by `when` as text; equal texts keep their order.
void sortHistory(QList<HistoryItem>& items);

} // namespace activity

} // namespace tavo
