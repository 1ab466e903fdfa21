// Renaming, forgetting and leaving a box. Renames apply locally at once; forget and leave
// change the list only once the cloud agreed.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"

namespace tavo {

void TavoStore::renameDevice(qint64 deviceID, const QString& name) {
    doRenameDevice(deviceID, name);
}

QCoro::Task<> TavoStore::doRenameDevice(qint64 deviceID, QString name) {
    name = name.trimmed(); // here, so every caller sends and keeps the trimmed name
    if (name.isEmpty()) {
        showToast(QStringLiteral("Name can't be empty"), true);
        co_return;
    }
    if (Device* d = findDevice(deviceID)) {
        d->name = name;
        emit devicesChanged();
    }
    QPointer<TavoStore> self(this);
    const QString put = QStringLiteral("PUT");
    const QByteArray body = json::compact({{"name", name}});
    Result<EmptyOK> reply = co_await api().send<EmptyOK>(put, Endpoints::deviceName(deviceID), body);
    if (self && !reply) showToast(reply.failure().description(), true);
}

void TavoStore::renameRelays(qint64 deviceID, const QMap<QString, QString>& names) {
    if (Device* d = findDevice(deviceID)) {
        for (auto it = names.constBegin(); it != names.constEnd(); ++it)
            d->relay_names.insert(it.key(), it.value());
        emit devicesChanged();
    }
    QJsonObject map;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        map.insert(it.key(), it.value());
    wsSend({{"type", "names"}, {"device_id", deviceID}, {"names", map}});
}

void TavoStore::forgetDevice(qint64 deviceID) {
    doForgetDevice(deviceID);
}

QCoro::Task<> TavoStore::doForgetDevice(qint64 deviceID) {
    return doRemoveDevice(deviceID, Endpoints::device(deviceID), QStringLiteral("Box removed"));
}

void TavoStore::leaveDevice(qint64 deviceID) {
    doLeaveDevice(deviceID);
}

QCoro::Task<> TavoStore::doLeaveDevice(qint64 deviceID) {
    return doRemoveDevice(deviceID, Endpoints::deviceMember(deviceID, m_userID), QStringLiteral("Left box"));
}

QCoro::Task<> TavoStore::doRemoveDevice(qint64 deviceID, QString path, QString doneText) {
    QPointer<TavoStore> self(this);
    const QString del = QStringLiteral("DELETE");
    // The cloud's device_removed push for this box may come before its reply: that is the
    // removal asked for, not access lost.
    m_removingDevices.append(deviceID);
    Result<EmptyOK> reply = co_await api().send<EmptyOK>(del, path);
    if (!self) co_return;
    m_removingDevices.removeOne(deviceID);
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    QList<Device> rest = m_devices;
    rest.removeIf([deviceID](const Device& d) { return d.id == deviceID; });
    setDevices(rest);
    showToast(doneText, false);
}

} // namespace tavo
