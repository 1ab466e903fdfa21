#pragma once

#include <QMetaType>
#include <QString>
#include <utility>

namespace tavo {

// Something that happened to a box that this client did not ask for: what the desktop is told
// while the window is not in front.
struct DeviceNotice {
    enum class Kind { WentOffline, CameOnline, Added, Removed, RelaySwitched };

    DeviceNotice() = default;
    DeviceNotice(Kind k, qint64 id, QString name) : kind(k), deviceID(id), deviceName(std::move(name)) {}

    Kind kind = Kind::Added;
    qint64 deviceID = 0;
    QString deviceName;
    // RelaySwitched: the one relay that changed and its new state; with several changed,
    // `relay` is empty and `switched` counts them.
    QString relay;
    bool on = false;
    int switched = 0;
};

} // namespace tavo

Q_DECLARE_METATYPE(tavo::DeviceNotice)
