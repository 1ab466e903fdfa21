#pragma once

// The development cloud's whole state as data: users, sessions, boxes, shares and the
// activity log. Saved to SQLite after every change, so a restart with the same file keeps it.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace tavo::devcloud {

struct Box {
    qint64 id = 0;
    qint64 owner = 0;
    QString mac;
    QString name;
    int relayCount = 0;
    QMap<QString, QString> names;
    QList<bool> states;
    bool online = true;
    QString offlineSince, offlineHint, wifiSSID;
    std::optional<qint64> wifiRSSI;
    QMap<qint64, qint64> members; // user id -> acl mask
    QString pairCode;             // while unclaimed: the code a user claims it with
};

// One line of a box's activity log. user 0 = the system.
struct Activity {
    qint64 id = 0;
    qint64 box = 0;
    qint64 user = 0;
    QString source; // "app", "chat", "voice", "system"
    QString action;
    std::optional<int> ch;
    std::optional<bool> state;
    QString when; // ISO 8601, UTC
};

class CloudState {
public:
    bool open(const QString& file); // empty = in memory
    void reset();
    void save();

    qint64 userFor(const QString& phone, bool create);
    QString phoneOf(qint64 user) const { return m_phones.value(user); }
    std::optional<qint64> userOfToken(const QString& token) const;
    QString newSession(qint64 user);

    Box* box(qint64 id);
    Box& addBox(qint64 owner, const QString& name, int relays, qint64 id = 0);
    QList<qint64> boxesOf(qint64 user) const;
    bool hasAccess(const Box& b, qint64 user) const { return b.owner == user || b.members.contains(user); }
    qint64 maskOf(const Box& b, qint64 user) const;
    QJsonObject deviceJson(const Box& b, qint64 user) const;
    QList<qint64> usersOf(const Box& b) const;

    // Simulated boxes register by MAC and are claimed with a one-time pair code.
    Box* boxByMac(const QString& mac);
    Box* boxByPairCode(const QString& code); // unclaimed boxes only
    QString newPairCode();                   // fresh, never handed out before
    void retirePairCode(Box& b);             // a used code stays refused

    bool hasSignedIn(qint64 user) const;

    void logActivity(Activity a);                       // id and (when empty) time filled in
    QJsonArray activityOf(qint64 box, int limit) const; // newest first, in the client's shape

    QSet<QString> skillsOf(qint64 user) const { return m_skills.value(user); }
    void setSkill(qint64 user, const QString& skill, bool connected);
    QJsonObject dump() const;

private:
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& o);

    QSqlDatabase m_db;
    QMap<qint64, QString> m_phones;   // user id -> phone
    QMap<QString, qint64> m_sessions; // token -> user id
    QMap<qint64, Box> m_boxes;
    QList<Activity> m_activity;
    QMap<qint64, QSet<QString>> m_skills; // user id -> connected skill ids
    QSet<QString> m_usedPairCodes;
    qint64 m_nextActivity = 1;
    qint64 m_nextUser = 1001;
    qint64 m_nextBox = 1;
};

} // namespace tavo::devcloud
