#include "ui/DeviceModel.h"

#include "core/TavoStore.h"

namespace tavo {

DeviceModel::DeviceModel(QObject* parent) : QAbstractListModel(parent) {}

QObject* DeviceModel::store() const {
    return m_store;
}

void DeviceModel::setStore(QObject* store) {
    auto* s = qobject_cast<TavoStore*>(store);
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    beginResetModel();
    m_store = s;
    m_ids.clear();
    if (m_store)
        for (const Device& d : m_store->devices())
            m_ids << d.id;
    endResetModel();
    if (m_store) connect(m_store, &TavoStore::devicesChanged, this, &DeviceModel::sync);
    emit storeChanged();
    emit countChanged();
}

void DeviceModel::sync() {
    QList<qint64> ids;
    for (const Device& d : m_store->devices())
        ids << d.id;
    if (ids == m_ids) {
        if (!ids.isEmpty()) emit dataChanged(index(0), index(int(ids.size()) - 1));
        return;
    }
    beginResetModel();
    m_ids = ids;
    endResetModel();
    emit countChanged();
}

int DeviceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_store ? 0 : int(m_store->devices().size());
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
    if (!m_store || !index.isValid() || index.row() >= m_store->devices().size()) return {};
    const Device& d = m_store->devices().at(index.row());
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
            {IdText, "idText"}};
}

void DeviceModel::tapRelay(int row, int ch) {
    if (!m_store || row < 0 || row >= m_store->devices().size()) return;
    const Device& d = m_store->devices().at(row);
    if (!d.isAllowed(ch)) {
        m_store->showToast(QStringLiteral("No access to this relay"), true);
        return;
    }
    m_store->setRelay(d.id, ch, !d.isOn(ch));
}

void DeviceModel::allRelays(int row, bool on) {
    if (!m_store || row < 0 || row >= m_store->devices().size()) return;
    m_store->allRelays(m_store->devices().at(row).id, on);
}

void DeviceModel::save(int row, const QString& name, const QVariantMap& relayNames) {
    if (!m_store || row < 0 || row >= m_store->devices().size()) return;
    const qint64 id = m_store->devices().at(row).id;
    if (!name.isEmpty()) m_store->renameDevice(id, name);
    if (relayNames.isEmpty()) return;
    QMap<QString, QString> names;
    for (auto it = relayNames.constBegin(); it != relayNames.constEnd(); ++it)
        names.insert(it.key(), it.value().toString());
    m_store->renameRelays(id, names);
}

void DeviceModel::remove(int row) {
    if (!m_store || row < 0 || row >= m_store->devices().size()) return;
    const Device& d = m_store->devices().at(row);
    d.isOwner() ? m_store->forgetDevice(d.id) : m_store->leaveDevice(d.id);
}

void DeviceModel::openMembers(int row) {
    if (!m_store || row < 0 || row >= m_store->devices().size()) return;
    m_store->setScreen(Screen::members(m_store->devices().at(row).id));
}

} // namespace tavo
