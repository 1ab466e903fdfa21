// The chat reply stream: bytes of a server-sent-events body, read by EventStreamReader and
// turned into bubbles, music and the saved thread by TavoStore::flushRecord.
//
// Input: one byte — its low seven bits the chunk size (0 = the body in one piece), its top
// bit a refusal (HTTP 503, whose body is read as an error reply) — then the body.
// Each input runs twice:
//  - the reader alone, fed whole and in pieces, at the production limit and at a small one
//    (so the oversize rules run too): the records must not depend on where the bytes were
//    split, and none may exceed the limit;
//  - a whole chat turn of a store, whose POST gets the body from an offline network manager
//    in those pieces: the turn must end, with the user's line first and an answer after it
//    (after a refusal: exactly one, marked as an error).

#include "chat/EventStream.h"
#include "support/FuzzSupport.h"

#include <QStringList>

using namespace tavo;

namespace {

QStringList records(QByteArrayView body, qsizetype chunk, qsizetype limit) {
    QStringList out;
    EventStreamReader reader([&](const QString& r) { out << r; }, limit);
    const qsizetype step = chunk > 0 ? chunk : qMax<qsizetype>(1, body.size());
    for (qsizetype at = 0; at < body.size(); at += step)
        reader.feed(body.sliced(at, qMin(step, body.size() - at)));
    reader.finish();
    return out;
}

void readerAlone(QByteArrayView body, qsizetype chunk) {
    for (const qsizetype limit : {qsizetype(4 * 1024 * 1024), qsizetype(24)}) {
        const QStringList whole = records(body, 0, limit);
        for (const QString& r : whole)
            TAVO_FUZZ_REQUIRE(!r.isEmpty() && r.size() <= limit);
        TAVO_FUZZ_REQUIRE(records(body, qMax<qsizetype>(chunk, 1), limit) == whole);
    }
}

void chatTurn(const QByteArray& body, qsizetype chunk, bool refused) {
    fuzz::StoreKit kit;
    std::unique_ptr<TavoStore> store = kit.make(true);
    kit.network.script(body, chunk, refused ? 503 : 200);
    const int before = kit.network.requests;
    store->sendChat(QStringLiteral("hi"));
    TAVO_FUZZ_REQUIRE(kit.network.requests == before + 1);
    // One piece per turn of the loop; a few more turns for the end of the reply.
    const qsizetype turns = (chunk > 0 ? body.size() / chunk : 1) + 8;
    for (qsizetype i = 0; i < turns && store->chatBusy(); ++i)
        fuzz::drainEvents();
    TAVO_FUZZ_REQUIRE(!store->chatBusy());
    TAVO_FUZZ_REQUIRE(!store->chatTyping());
    TAVO_FUZZ_REQUIRE(!store->chatLiveStatus());
    const QList<ChatMessage>& messages = store->chatMessages();
    TAVO_FUZZ_REQUIRE(messages.size() >= 2);
    TAVO_FUZZ_REQUIRE(messages.first().role == ChatMessage::Role::User && messages.first().content == "hi");
    for (qsizetype i = 1; i < messages.size(); ++i)
        TAVO_FUZZ_REQUIRE(messages.at(i).role == ChatMessage::Role::Assistant);
    if (refused) TAVO_FUZZ_REQUIRE(messages.size() == 2 && messages.last().err);
    TAVO_FUZZ_REQUIRE(store->currentThreadID() >= 0);
    store.reset();
    fuzz::drainEvents();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const qsizetype chunk = data[0] & 0x7F;
    const bool refused = data[0] & 0x80;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    readerAlone(body, chunk);
    chatTurn(body, chunk, refused);
    return 0;
}
