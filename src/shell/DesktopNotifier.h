#pragma once

#include "devices/DeviceNotice.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <functional>

namespace tavo {

class Preferences;
class TavoStore;

// Tells the desktop (org.freedesktop.Notifications) what happened to a box while the window
// is not in front, where a toast would go unseen. Clicking one asks for the window on that box.
// One switch per kind, persisted; presence and access are on unless turned off, relays
// switched by someone else only when turned on. Without a notification service on the bus
// nothing fails, and that is logged once.
class DesktopNotifier : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool presence READ presence WRITE setPresence NOTIFY switchesChanged)
    Q_PROPERTY(bool access READ access WRITE setAccess NOTIFY switchesChanged)
    Q_PROPERTY(bool relays READ relays WRITE setRelays NOTIFY switchesChanged)
public:
    using InFront = std::function<bool()>; // the window is shown and focused

    DesktopNotifier(TavoStore& store, Preferences& prefs, QDBusConnection bus, InFront inFront,
                    QObject* parent = nullptr);

    bool presence() const;
    bool access() const;
    bool relays() const;
    void setPresence(bool on);
    void setAccess(bool on);
    void setRelays(bool on);

    struct Text {
        QString summary, body;
    };
    static Text textFor(const DeviceNotice& notice);

signals:
    void switchesChanged();
    void activated(qint64 deviceID); // a notification was clicked

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    bool wanted(DeviceNotice::Kind kind) const;
    bool flag(const char* key, bool fallback) const;
    void setFlag(const char* key, bool on);
    void send(const DeviceNotice& notice);

    Preferences& m_prefs;
    QDBusConnection m_bus;
    InFront m_inFront;
    QHash<uint, qint64> m_shown;    // notification id → its box, until closed
    QHash<qint64, uint> m_presence; // box → its last presence notification, replaced by the next
    bool m_unavailableSaid = false;
};

} // namespace tavo
