// Messages of the device socket: each line of the input is one frame, read as the socket
// reader does (a text frame as UTF-8, a binary one — a line starting with byte 0x01 — through
// utf8OrEmpty), parsed as JSON and, when an object, handed to TavoStore::handleWS. One store
// takes all lines of an input, so welcome, state, presence and names meet the devices of
// earlier lines.
//
// After every message the store's devices must still be records the strict decoder takes
// back unchanged: whatever a push did to them, the screens and the next save read them.
// A push never makes a request either.

#include "cloud/Json.h"
#include "support/FuzzSupport.h"

#include <QJsonDocument>

using namespace tavo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StoreKit kit;
    std::unique_ptr<TavoStore> store = kit.make(false);
    const int requests = kit.network.requests;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& line : input.split('\n')) {
        const QString text =
            line.startsWith('\x01') ? json::utf8OrEmpty(line.mid(1)) : QString::fromUtf8(line);
        const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
        if (!doc.isObject()) continue;
        store->handleWS(doc.object());
        for (const Device& d : store->devices()) {
            const std::optional<Device> again = json::decodeValue<Device>(d.toJson());
            TAVO_FUZZ_REQUIRE(again && *again == d);
        }
    }
    TAVO_FUZZ_REQUIRE(kit.network.requests == requests); // a push is applied, never answered with a request
    store.reset();
    fuzz::drainEvents();
    return 0;
}
