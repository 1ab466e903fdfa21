#include "ui/store/DeviceModel.h"

#include "core/TavoStore.h"

#include <QHash>
#include <algorithm>
#include <optional>

namespace tavo {

DeviceModel::DeviceModel(QObject* parent) : QAbstractListModel(parent) {
    connect(this, &DeviceModel::countChanged, this, &DeviceModel::stateChanged);
}

TavoStore* DeviceModel::store() const {
    return m_store;
}

void DeviceModel::setStore(TavoStore* s) {
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    beginResetModel();
    m_store = s;
    m_rows = m_store ? m_store->devices() : QList<Device>();
    endResetModel();
    if (m_store) {
        connect(m_store, &TavoStore::devicesChanged, this, &DeviceModel::sync);
        connect(m_store, &TavoStore::connChanged, this, &DeviceModel::stateChanged);
    }
    emit storeChanged();
    emit countChanged();
}

namespace {

QVariantMap action(const char* id, const QString& label, bool danger = false) {
    return {{"id", QLatin1String(id)}, {"label", label}, {"danger", danger}};
}

// Owners rename, manage members and forget; everyone else leaves.
QVariantList actions(const Device& d) {
    QVariantList out{action("allOn", QStringLiteral("All on")), action("allOff", QStringLiteral("All off")),
                     action("activity", QStringLiteral("Activity"))};
    if (d.isOwner())
        out << action("rename", QStringLiteral("Rename")) << action("members", QStringLiteral("Members"))
            << action("remove", QStringLiteral("Forget"), true);
    else
        out << action("remove", QStringLiteral("Leave"), true);
    return out;
}

QVariantMap removal(const Device& d) {
    if (d.isOwner())
        return {{"title", QStringLiteral("Forget ") + d.name + u'?'},
                {"message", QStringLiteral("Unpairs everyone from this box and resets its pair code. The "
                                           "hardware keeps running and can be re-claimed.")},
                {"button", QStringLiteral("Forget box")}};
    return {
        {"title", QStringLiteral("Leave ") + d.name + u'?'},
        {"message", QStringLiteral("You'll lose access to this box. The owner can re-invite you any time.")},
        {"button", QStringLiteral("Leave")}};
}

QList<int> changedRoles(const Device& a, const Device& b) {
    QList<int> roles;
    if (a.name != b.name) roles << DeviceModel::Name;
    if (a.online != b.online) roles << DeviceModel::Online;
    if (a.role != b.role) roles << DeviceModel::DeviceRole << DeviceModel::IsOwner << DeviceModel::Actions;
    if (a.role != b.role || a.name != b.name) roles << DeviceModel::Removal;
    if (a.relay_count != b.relay_count) roles << DeviceModel::RelayCount;
    if (a.relay_count != b.relay_count || a.states != b.states || a.acl_mask != b.acl_mask ||
        a.relay_names != b.relay_names)
        roles << DeviceModel::Relays;
    if (a.relay_names != b.relay_names) roles << DeviceModel::RelayNames;
    if (a.online != b.online || a.offline_hint != b.offline_hint || a.offline_since != b.offline_since)
        roles << DeviceModel::OfflineText;
    if (a.id != b.id) roles << DeviceModel::IdText;
    return roles;
}

// Positions by id; nullopt when a list holds a box twice (no identity to follow then).
std::optional<QHash<qint64, qsizetype>> positions(const QList<Device>& list) {
    QHash<qint64, qsizetype> at;
    at.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i)
        if (!at.contains(list.at(i).id))
            at.insert(list.at(i).id, i);
        else
            return std::nullopt;
    return at;
}

} // namespace

void DeviceModel::updateRow(qsizetype i, const Device& now) {
    const QList<int> roles = changedRoles(m_rows.at(i), now);
    m_rows[i] = now;
    if (!roles.isEmpty()) emit dataChanged(index(int(i)), index(int(i)), roles);
}

// Walks the store's new list against the rows: rows of boxes that are gone are removed, then
// each position either holds its box already, gets it moved up from further down, or gets a
// new row; the rows kept change in place.
void DeviceModel::sync() {
    const QList<Device>& now = m_store->devices();
    const qsizetype before = m_rows.size();
    const bool sameBoxes = now.size() == m_rows.size() &&
                           std::equal(now.cbegin(), now.cend(), m_rows.cbegin(),
                                      [](const Device& a, const Device& b) { return a.id == b.id; });
    if (sameBoxes) { // a push about boxes already shown: the usual case
        for (qsizetype i = 0; i < now.size(); ++i)
            updateRow(i, now.at(i));
        return;
    }
    const auto wanted = positions(now);
    if (!wanted || !positions(m_rows)) {
        beginResetModel();
        m_rows = now;
        endResetModel();
        emit countChanged();
        return;
    }
    for (qsizetype i = m_rows.size() - 1; i >= 0; --i) {
        if (wanted->contains(m_rows.at(i).id)) continue;
        beginRemoveRows({}, int(i), int(i));
        m_rows.removeAt(i);
        endRemoveRows();
    }
    for (qsizetype i = 0; i < now.size(); ++i) {
        const Device& d = now.at(i);
        if (i < m_rows.size() && m_rows.at(i).id == d.id) {
            updateRow(i, d);
            continue;
        }
        qsizetype from = -1;
        for (qsizetype j = i + 1; j < m_rows.size() && from < 0; ++j)
            if (m_rows.at(j).id == d.id) from = j;
        if (from >= 0) {
            beginMoveRows({}, int(from), int(from), {}, int(i));
            m_rows.move(from, i);
            endMoveRows();
            updateRow(i, d);
            continue;
        }
        beginInsertRows({}, int(i), int(i));
        m_rows.insert(i, d);
        endInsertRows();
    }
    if (m_rows.size() != before) emit countChanged();
}

const Device* DeviceModel::row(int row) const {
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

int DeviceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
    const Device* found = index.isValid() ? row(index.row()) : nullptr;
    if (!found) return {};
    const Device& d = *found;
    switch (role) {
    case Name:
        return d.name;
    case Online:
        return d.online;
    case DeviceRole:
        return d.role;
    case IsOwner:
        return d.isOwner();
    case RelayCount:
        return qMax(0, d.relay_count);
    case Relays: {
        QVariantList relays;
        for (int ch = 1; ch <= d.relay_count; ++ch)
            relays << QVariantMap{
                {"ch", ch}, {"name", d.relayName(ch)}, {"on", d.isOn(ch)}, {"allowed", d.isAllowed(ch)}};
        return relays;
    }
    case RelayNames: {
        QVariantMap names;
        for (auto it = d.relay_names.constBegin(); it != d.relay_names.constEnd(); ++it)
            names.insert(it.key(), it.value());
        return names;
    }
    case OfflineText:
        return offlineDiag(d).value_or(QString());
    case IdText:
        return QString::number(d.id);
    case Actions:
        return actions(d);
    case Removal:
        return removal(d);
    default:
        return {};
    }
}

QHash<int, QByteArray> DeviceModel::roleNames() const {
    return {{Name, "name"},
            {Online, "online"},
            {DeviceRole, "role"},
            {IsOwner, "isOwner"},
            {RelayCount, "relayCount"},
            {Relays, "relays"},
            {RelayNames, "relayNames"},
            {OfflineText, "offlineText"},
            {IdText, "idText"},
            {Actions, "actions"},
            {Removal, "removal"}};
}

void DeviceModel::tapRelay(int r, int ch) {
    const Device* box = row(r);
    if (!m_store || !box) return;
    const Device& d = *box;
    if (!d.isAllowed(ch)) {
        m_store->showToast(QStringLiteral("No access to this relay"), true);
        return;
    }
    m_store->setRelay(d.id, ch, !d.isOn(ch));
}

void DeviceModel::allRelays(int r, bool on) {
    if (const Device* d = row(r); m_store && d) m_store->allRelays(d->id, on);
}

QString DeviceModel::state() const {
    if (!m_rows.isEmpty()) return QStringLiteral("grid");
    return m_store && m_store->conn() == TavoStore::ConnStatus::Connected ? QStringLiteral("empty")
                                                                          : QStringLiteral("skeleton");
}

QString DeviceModel::renameTo(const QString& current, const QString& draft) {
    const QString n = draft.trimmed();
    return n.isEmpty() || n == current ? QString() : n;
}

QMap<QString, QString> DeviceModel::relayNameChanges(const Device& box, const QVariantMap& drafts) {
    QMap<QString, QString> changes;
    for (auto it = drafts.constBegin(); it != drafts.constEnd(); ++it) {
        bool isChannel = false;
        const int ch = it.key().toInt(&isChannel);
        if (!isChannel || ch < 1 || ch > box.relay_count) continue;
        const QString t = it.value().toString().trimmed();
        if (t.isEmpty() || t == box.relayName(ch)) continue;
        changes.insert(it.key(), t);
    }
    return changes;
}

QVariantMap DeviceModel::relayNameDrafts(int r) const {
    QVariantMap drafts;
    if (const Device* d = row(r))
        for (int ch = 1; ch <= d->relay_count; ++ch)
            drafts.insert(QString::number(ch), d->relayName(ch));
    return drafts;
}

void DeviceModel::save(int r, const QString& nameDraft, const QVariantMap& relayNameDrafts) {
    const Device* d = row(r);
    if (!m_store || !d) return;
    const qint64 id = d->id;
    const QString name = renameTo(d->name, nameDraft);
    const QMap<QString, QString> relayNames = relayNameChanges(*d, relayNameDrafts);
    if (!name.isEmpty()) m_store->renameDevice(id, name);
    if (!relayNames.isEmpty()) m_store->renameRelays(id, relayNames);
}

void DeviceModel::remove(int r) {
    const Device* d = row(r);
    if (!m_store || !d) return;
    d->isOwner() ? m_store->forgetDevice(d->id) : m_store->leaveDevice(d->id);
}

void DeviceModel::openMembers(int r) {
    if (const Device* d = row(r); m_store && d) m_store->setScreen(Screen::members(d->id));
}

} // namespace tavo
