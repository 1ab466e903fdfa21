// The device list and relay switching. Switching is optimistic and never rolled back: the
// cloud's next "state" push for the box carries what the box really did.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"

namespace tavo {

QCoro::Task<> TavoStore::refetchDevices() {
    if (m_sessionToken.isEmpty()) co_return;
    QPointer<TavoStore> self(this);
    const QString get = QStringLiteral("GET"); // built before the await (g++ 12 coroutines)
    Result<DeviceList> reply = co_await api().send<DeviceList>(get, Endpoints::devices());
    if (!self || !reply) co_return; // silent: the socket's next "welcome" will do
    setDevices(reply->devices);
}

// The frame goes out before the optimistic switch: rebuilding the screens for it takes
// longer than the send, and the box should not wait for our redraw.
void TavoStore::setRelay(qint64 deviceID, int ch, bool on) {
    wsSend({{"type", "set"}, {"device_id", deviceID}, {"ch", ch}, {"state", on}});
    m_switching.append(deviceID);
    if (Device* d = findDevice(deviceID)) {
        QList<bool> states = d->effectiveStates();
        if (ch >= 1 && ch <= states.size()) states[ch - 1] = on;
        d->states = states;
        emit devicesChanged();
    }
}

void TavoStore::allRelays(qint64 deviceID, bool on) {
    wsSend({{"type", "all"}, {"device_id", deviceID}, {"state", on}});
    m_switching.append(deviceID);
    if (Device* d = findDevice(deviceID)) {
        d->states = QList<bool>(qMax(0, d->relay_count), on);
        emit devicesChanged();
    }
}

// A box set-up in progress keeps its screen: the window comes forward and the user decides.
void TavoStore::revealDevice(qint64 deviceID) {
    if (m_sessionToken.isEmpty() || !findDevice(deviceID) || m_screen.kind == Screen::Kind::Add) return;
    showHome();
    emit deviceRevealRequested(QString::number(deviceID));
}

} // namespace tavo
