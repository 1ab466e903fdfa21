#include "shell/DesktopNotifier.h"

#include "core/Logging.h"
#include "core/TavoStore.h"
#include "platform/Preferences.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>

namespace tavo {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

DesktopNotifier::DesktopNotifier(TavoStore& store, Preferences& prefs, QDBusConnection bus, InFront inFront,
                                 QObject* parent)
    : QObject(parent), m_prefs(prefs), m_bus(std::move(bus)), m_inFront(std::move(inFront)) {
    connect(&store, &TavoStore::deviceNotice, this, [this](const DeviceNotice& n) {
        if (wanted(n.kind) && !m_inFront()) send(n);
    });
    connect(this, &DesktopNotifier::activated, &store, &TavoStore::revealDevice);
    // Any sender: the service may start, or change hands, after us.
    m_bus.connect(QString(), path, service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QString(), path, service, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

bool DesktopNotifier::flag(const char* key, bool fallback) const {
    const QVariant v = m_prefs.value(QString::fromLatin1(key));
    return v.typeId() == QMetaType::Bool ? v.toBool() : fallback;
}

void DesktopNotifier::setFlag(const char* key, bool on) {
    if (flag(key, !on) == on) return;
    m_prefs.setValue(QString::fromLatin1(key), on);
    emit switchesChanged();
}

bool DesktopNotifier::presence() const {
    return flag(PrefKey::notifyPresence, true);
}
bool DesktopNotifier::access() const {
    return flag(PrefKey::notifyAccess, true);
}
bool DesktopNotifier::relays() const {
    return flag(PrefKey::notifyRelays, false);
}
void DesktopNotifier::setPresence(bool on) {
    setFlag(PrefKey::notifyPresence, on);
}
void DesktopNotifier::setAccess(bool on) {
    setFlag(PrefKey::notifyAccess, on);
}
void DesktopNotifier::setRelays(bool on) {
    setFlag(PrefKey::notifyRelays, on);
}

bool DesktopNotifier::wanted(DeviceNotice::Kind kind) const {
    switch (kind) {
    case DeviceNotice::Kind::WentOffline:
    case DeviceNotice::Kind::CameOnline:
        return presence();
    case DeviceNotice::Kind::Added:
    case DeviceNotice::Kind::Removed:
        return access();
    case DeviceNotice::Kind::RelaySwitched:
        return relays();
    }
    return false;
}

// Names go in the summary only: servers may read the body as markup, and a box's name is
// whatever its owner typed.
DesktopNotifier::Text DesktopNotifier::textFor(const DeviceNotice& n) {
    switch (n.kind) {
    case DeviceNotice::Kind::WentOffline:
        return {n.deviceName + QStringLiteral(" is offline"),
                QStringLiteral("Its relays can't be switched until it is back.")};
    case DeviceNotice::Kind::CameOnline:
        return {n.deviceName + QStringLiteral(" is back online"),
                QStringLiteral("Its relays can be switched again.")};
    case DeviceNotice::Kind::Added:
        return {QStringLiteral("You've been added to ") + n.deviceName,
                QStringLiteral("Its relays are on your devices screen.")};
    case DeviceNotice::Kind::Removed:
        return {QStringLiteral("Access to ") + n.deviceName + QStringLiteral(" removed"),
                QStringLiteral("This box is no longer shared with you.")};
    case DeviceNotice::Kind::RelaySwitched:
        return {n.switched == 1
                    ? QStringLiteral("%1: %2 switched %3").arg(n.deviceName, n.relay, n.on ? "on" : "off")
                    : QStringLiteral("%1: %2 relays switched").arg(n.deviceName).arg(n.switched),
                QStringLiteral("Switched by someone else.")};
    }
    return {};
}

void DesktopNotifier::send(const DeviceNotice& notice) {
    const bool isPresence =
        notice.kind == DeviceNotice::Kind::WentOffline || notice.kind == DeviceNotice::Kind::CameOnline;
    const Text text = textFor(notice);
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), applicationID()},
                            {QStringLiteral("category"), QStringLiteral("device")}};
    call << QStringLiteral("Tavo") << uint(isPresence ? m_presence.value(notice.deviceID) : 0)
         << applicationID() << text.summary << text.body
         << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, isPresence, box = notice.deviceID] {
                watcher->deleteLater();
                const QDBusPendingReply<uint> reply = *watcher;
                if (reply.isError()) {
                    if (!std::exchange(m_unavailableSaid, true))
                        qCInfo(lcShell) << "no desktop notifications:" << reply.error().message();
                    return;
                }
                m_shown.insert(reply.value(), box);
                if (isPresence) m_presence.insert(box, reply.value());
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action) {
    const auto it = m_shown.constFind(id);
    if (it == m_shown.constEnd() || action != QLatin1String("default")) return;
    emit activated(*it);
}

void DesktopNotifier::onClosed(uint id, uint) {
    const qint64 box = m_shown.take(id);
    if (m_presence.value(box) == id) m_presence.remove(box);
}

} // namespace tavo
