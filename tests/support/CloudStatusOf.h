#pragma once

#include "setup/BoxRecords.h"

namespace tavo::test {

// A box's cloud status with the fields the classification rules read.
inline CloudStatus cloudStatus(bool connected, std::optional<qint64> deviceID, std::optional<QString> pairCode,
                               std::optional<QString> name = std::nullopt) {
    CloudStatus s;
    s.ok = true;
    s.connected = connected;
    s.device_id = deviceID;
    s.pair_code = std::move(pairCode);
    s.name = std::move(name);
    return s;
}

} // namespace tavo::test
