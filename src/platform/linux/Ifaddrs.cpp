#include "platform/NetworkInterfaces.h"

#include <cstring>
#include <ifaddrs.h>
#include <memory>
#include <netinet/in.h>

namespace tavo {

InterfaceList listInterfaceAddresses() {
    ifaddrs* head = nullptr;
    if (getifaddrs(&head) != 0) return std::nullopt;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> guard(head, &freeifaddrs);
    std::vector<InterfaceAddress> out;
    for (const ifaddrs* it = head; it; it = it->ifa_next) {
        InterfaceAddress entry;
        if (it->ifa_addr) {
            sockaddr_storage storage{};
            const socklen_t size = it->ifa_addr->sa_family == AF_INET6  ? sizeof(sockaddr_in6)
                                   : it->ifa_addr->sa_family == AF_INET ? sizeof(sockaddr_in)
                                                                        : sizeof(sockaddr);
            std::memcpy(&storage, it->ifa_addr, size);
            entry.address = storage;
        }
        out.push_back(entry);
    }
    return out;
}

} // namespace tavo
