#include "CloudState.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

namespace tavo::devcloud {

bool CloudState::open(const QString& file) {
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(file.isEmpty() ? QStringLiteral(":memory:") : file);
    if (!m_db.open()) return false;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS state (k TEXT PRIMARY KEY, v TEXT NOT NULL)"));
    q.exec(QStringLiteral("SELECT v FROM state WHERE k = 'cloud'"));
    if (q.next()) fromJson(QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object());
    return true;
}

void CloudState::reset() {
    m_phones.clear();
    m_sessions.clear();
    m_boxes.clear();
    m_activity.clear();
    m_skills.clear();
    m_usedPairCodes.clear();
    m_nextActivity = 1;
    m_nextUser = 1001;
    m_nextBox = 1;
    save();
}

void CloudState::save() {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO state (k, v) VALUES ('cloud', ?)"));
    q.addBindValue(QString::fromUtf8(QJsonDocument(toJson()).toJson(QJsonDocument::Compact)));
    if (!q.exec()) qWarning("devcloud: save failed: %s", qPrintable(q.lastError().text()));
}

qint64 CloudState::userFor(const QString& phone, bool create) {
    for (auto it = m_phones.constBegin(); it != m_phones.constEnd(); ++it)
        if (it.value() == phone) return it.key();
    if (!create) return 0;
    const qint64 id = m_nextUser++;
    m_phones.insert(id, phone);
    save();
    return id;
}

std::optional<qint64> CloudState::userOfToken(const QString& token) const {
    const auto it = m_sessions.constFind(token);
    if (it == m_sessions.constEnd()) return std::nullopt;
    return *it;
}

QString CloudState::newSession(qint64 user) {
    QString token =
        QUuid::createUuid().toString(QUuid::WithoutBraces) + QUuid::createUuid().toString(QUuid::Id128);
    m_sessions.insert(token, user);
    save();
    return token;
}

Box* CloudState::box(qint64 id) {
    const auto it = m_boxes.find(id);
    return it == m_boxes.end() ? nullptr : &*it;
}

Box& CloudState::addBox(qint64 owner, const QString& name, int relays, qint64 id) {
    if (id <= 0) id = m_nextBox;
    m_nextBox = qMax(m_nextBox, id + 1);
    Box b;
    b.id = id;
    b.owner = owner;
    b.name = name;
    b.relayCount = relays;
    b.states = QList<bool>(relays, false);
    b.mac = QStringLiteral("AA:BB:CC:%1:%2:%3")
                .arg((id >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                .arg((id >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                .arg(id & 0xff, 2, 16, QLatin1Char('0'))
                .toUpper();
    m_boxes.insert(id, b);
    save();
    return m_boxes[id];
}

QList<qint64> CloudState::boxesOf(qint64 user) const {
    QList<qint64> out;
    for (const Box& b : m_boxes)
        if (hasAccess(b, user)) out.append(b.id);
    return out;
}

qint64 CloudState::maskOf(const Box& b, qint64 user) const {
    if (b.owner == user) return b.relayCount >= 63 ? -1 : (qint64(1) << b.relayCount) - 1;
    return b.members.value(user, 0);
}

QList<qint64> CloudState::usersOf(const Box& b) const {
    QList<qint64> out{b.owner};
    out += b.members.keys();
    return out;
}

Box* CloudState::boxByMac(const QString& mac) {
    for (Box& b : m_boxes)
        if (b.mac.compare(mac, Qt::CaseInsensitive) == 0) return &b;
    return nullptr;
}

Box* CloudState::boxByPairCode(const QString& code) {
    if (code.isEmpty()) return nullptr;
    for (Box& b : m_boxes)
        if (b.owner == 0 && b.pairCode == code) return &b;
    return nullptr;
}

QString CloudState::newPairCode() {
    // Read off a box's label and typed in: no 0/O or 1/I to confuse.
    static constexpr char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    auto inUse = [this](const QString& code) {
        if (m_usedPairCodes.contains(code)) return true;
        return std::any_of(m_boxes.cbegin(), m_boxes.cend(),
                           [&](const Box& b) { return b.pairCode == code; });
    };
    QString code;
    do {
        code.clear();
        for (int i = 0; i < 8; ++i) {
            if (i == 4) code += QLatin1Char('-');
            code += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)]);
        }
    } while (inUse(code));
    return code;
}

void CloudState::retirePairCode(Box& b) {
    if (!b.pairCode.isEmpty()) m_usedPairCodes.insert(b.pairCode);
    b.pairCode.clear();
}

QJsonObject CloudState::deviceJson(const Box& b, qint64 user) const {
    QJsonObject names;
    for (auto it = b.names.constBegin(); it != b.names.constEnd(); ++it)
        names.insert(it.key(), it.value());
    QJsonArray states;
    for (bool s : b.states)
        states.append(s);
    QJsonObject o{{"id", b.id},
                  {"mac", b.mac},
                  {"name", b.name},
                  {"relay_count", b.relayCount},
                  {"relay_names", names},
                  {"acl_mask", maskOf(b, user)},
                  {"role", b.owner == user ? "owner" : "member"},
                  {"online", b.online},
                  {"states", states}};
    if (!b.online && !b.offlineSince.isEmpty()) o.insert("offline_since", b.offlineSince);
    if (!b.online && !b.offlineHint.isEmpty()) o.insert("offline_hint", b.offlineHint);
    if (b.online && !b.wifiSSID.isEmpty()) o.insert("wifi_ssid", b.wifiSSID);
    if (b.online && b.wifiRSSI) o.insert("wifi_rssi", *b.wifiRSSI);
    return o;
}

bool CloudState::hasSignedIn(qint64 user) const {
    return std::find(m_sessions.cbegin(), m_sessions.cend(), user) != m_sessions.cend();
}

void CloudState::logActivity(Activity a) {
    a.id = m_nextActivity++;
    if (a.when.isEmpty()) a.when = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    m_activity.append(a);
    while (m_activity.size() > 2000)
        m_activity.removeFirst();
    save();
}

QJsonArray CloudState::activityOf(qint64 box, int limit) const {
    QJsonArray out;
    for (auto it = m_activity.crbegin(); it != m_activity.crend() && out.size() < limit; ++it) {
        if (it->box != box) continue;
        QJsonObject o{{"id", it->id}, {"when", it->when}, {"source", it->source}, {"action", it->action}};
        if (it->user != 0) o.insert("who_phone", phoneOf(it->user));
        if (it->ch) o.insert("ch", *it->ch);
        if (it->state) o.insert("state", *it->state);
        out.append(o);
    }
    return out;
}

void CloudState::setSkill(qint64 user, const QString& skill, bool connected) {
    if (connected)
        m_skills[user].insert(skill);
    else
        m_skills[user].remove(skill);
    save();
}

QJsonObject CloudState::toJson() const {
    QJsonObject users;
    for (auto it = m_phones.constBegin(); it != m_phones.constEnd(); ++it)
        users.insert(QString::number(it.key()), it.value());
    QJsonObject sessions;
    for (auto it = m_sessions.constBegin(); it != m_sessions.constEnd(); ++it)
        sessions.insert(it.key(), it.value());
    QJsonArray boxes;
    for (const Box& b : m_boxes) {
        QJsonObject o = deviceJson(b, b.owner);
        o.insert("owner", b.owner);
        o.insert("offline_since", b.offlineSince);
        o.insert("offline_hint", b.offlineHint);
        o.insert("wifi_ssid", b.wifiSSID);
        if (b.wifiRSSI) o.insert("wifi_rssi", *b.wifiRSSI);
        QJsonObject members;
        for (auto it = b.members.constBegin(); it != b.members.constEnd(); ++it)
            members.insert(QString::number(it.key()), it.value());
        o.insert("members", members);
        o.insert("pair_code", b.pairCode);
        boxes.append(o);
    }
    QJsonArray activity;
    for (const Activity& a : m_activity) {
        QJsonObject o{{"id", a.id},         {"device_id", a.box}, {"user_id", a.user},
                      {"source", a.source}, {"action", a.action}, {"when", a.when}};
        if (a.ch) o.insert("ch", *a.ch);
        if (a.state) o.insert("state", *a.state);
        activity.append(o);
    }
    QJsonObject skills;
    for (auto it = m_skills.constBegin(); it != m_skills.constEnd(); ++it)
        skills.insert(QString::number(it.key()),
                      QJsonArray::fromStringList(QStringList(it->cbegin(), it->cend())));
    QStringList used(m_usedPairCodes.cbegin(), m_usedPairCodes.cend());
    used.sort();
    return {{"users", users},
            {"sessions", sessions},
            {"boxes", boxes},
            {"activity", activity},
            {"skills", skills},
            {"next_user", m_nextUser},
            {"next_box", m_nextBox},
            {"next_activity", m_nextActivity},
            {"used_pair_codes", QJsonArray::fromStringList(used)}};
}

void CloudState::fromJson(const QJsonObject& o) {
    const QJsonObject users = o.value("users").toObject();
    for (auto it = users.constBegin(); it != users.constEnd(); ++it)
        m_phones.insert(it.key().toLongLong(), it->toString());
    const QJsonObject sessions = o.value("sessions").toObject();
    for (auto it = sessions.constBegin(); it != sessions.constEnd(); ++it)
        m_sessions.insert(it.key(), it->toInteger());
    for (const auto& v : o.value("boxes").toArray()) {
        const QJsonObject j = v.toObject();
        Box b;
        b.id = j.value("id").toInteger();
        b.owner = j.value("owner").toInteger();
        b.mac = j.value("mac").toString();
        b.name = j.value("name").toString();
        b.relayCount = j.value("relay_count").toInt();
        const QJsonObject names = j.value("relay_names").toObject();
        for (auto it = names.constBegin(); it != names.constEnd(); ++it)
            b.names.insert(it.key(), it->toString());
        for (const auto& s : j.value("states").toArray())
            b.states.append(s.toBool());
        b.online = j.value("online").toBool();
        b.offlineSince = j.value("offline_since").toString();
        b.offlineHint = j.value("offline_hint").toString();
        b.wifiSSID = j.value("wifi_ssid").toString();
        if (j.contains("wifi_rssi")) b.wifiRSSI = j.value("wifi_rssi").toInteger();
        const QJsonObject members = j.value("members").toObject();
        for (auto it = members.constBegin(); it != members.constEnd(); ++it)
            b.members.insert(it.key().toLongLong(), it->toInteger());
        b.pairCode = j.value("pair_code").toString();
        m_boxes.insert(b.id, b);
    }
    for (const auto& v : o.value("activity").toArray()) {
        const QJsonObject j = v.toObject();
        Activity a{j.value("id").toInteger(),
                   j.value("device_id").toInteger(),
                   j.value("user_id").toInteger(),
                   j.value("source").toString(),
                   j.value("action").toString(),
                   std::nullopt,
                   std::nullopt,
                   j.value("when").toString()};
        if (j.contains("ch")) a.ch = j.value("ch").toInt();
        if (j.contains("state")) a.state = j.value("state").toBool();
        m_activity.append(a);
    }
    const QJsonObject skills = o.value("skills").toObject();
    for (auto it = skills.constBegin(); it != skills.constEnd(); ++it)
        for (const auto& id : it->toArray())
            m_skills[it.key().toLongLong()].insert(id.toString());
    for (const auto& code : o.value("used_pair_codes").toArray())
        m_usedPairCodes.insert(code.toString());
    m_nextActivity = o.value("next_activity").toInteger(1);
    m_nextUser = o.value("next_user").toInteger(1001);
    m_nextBox = o.value("next_box").toInteger(1);
}

QJsonObject CloudState::dump() const {
    QJsonObject o = toJson();
    o.remove("sessions"); // tokens stay private even on a development server
    return o;
}

} // namespace tavo::devcloud
