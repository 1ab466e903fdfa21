#pragma once

#include <optional>
#include <sys/socket.h>
#include <vector>

namespace tavo {

// One entry of the computer's interface address list; `address` is absent for entries
// without one (the kernel lists such entries for some link types).
struct InterfaceAddress {
    std::optional<sockaddr_storage> address;
};

// The list in the system's order, or nothing when it cannot be read.
using InterfaceList = std::optional<std::vector<InterfaceAddress>>;

InterfaceList listInterfaceAddresses();

} // namespace tavo
