// The strict record decoder (json::decode, as API::send uses it) over every record a reply
// or a box can bring. The first byte picks the record type, the rest is the reply body.
//
// A body the decoder takes must survive a round trip: encoded with toJson and decoded again
// it gives the same record. The wording helpers the screens apply to decoded fields (offline
// card, activity lines and times) run on it too, with a fixed locale, zone and time.

#include "chat/ChatThread.h"
#include "devices/Activity.h"
#include "devices/Device.h"
#include "devices/Member.h"
#include "setup/BoxRecords.h"
#include "skills/Skill.h"
#include "support/FuzzSupport.h"

#include <QLocale>
#include <QTimeZone>

using namespace tavo;

namespace {

const QDateTime now(QDate(2026, 1, 5), QTime(9, 0), QTimeZone::utc());

template <class T>
concept Comparable = requires(const T& a) {
    a == a;
};

void use(const Device& d) {
    (void)offlineDiag(d, QLocale::c(), QTimeZone::utc());
    (void)d.relayName(1);
    (void)d.isOn(1);
    (void)d.isAllowed(64);
    if (d.offline_since) (void)parseInternetDateTime(*d.offline_since);
}

void use(const ActivityEntry& e) {
    const Device box{7, "aa", "Box", 2, {{"1", "Fan"}}, 3, "owner", true, {}, {}, {}, {}, {}};
    (void)activity::sheetLine(e, {box}, box.id);
    (void)activity::actor(e);
    (void)activity::sheetDot(e);
    (void)activity::sheetAgo(e.when, now);
    (void)activity::historyLine(e, box);
    (void)activity::historyAgo(e.when, now);
    (void)activity::secondsAgo(e.when, now);
}

template <class T> void use(const T&) {}

template <class T> void decode(const QByteArray& body) {
    const Result<T> first = json::decode<T>(body);
    if (!first) {
        TAVO_FUZZ_REQUIRE(!first.failure().description().isEmpty());
        return;
    }
    const QJsonObject encoded = first->toJson();
    const Result<T> again = json::decode<T>(json::compact(encoded));
    TAVO_FUZZ_REQUIRE(bool(again));
    TAVO_FUZZ_REQUIRE(again->toJson() == encoded);
    if constexpr (Comparable<T>) TAVO_FUZZ_REQUIRE(again.value() == first.value());
    use(first.value());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    switch (data[0] % 16) {
    case 0:
        decode<Device>(body);
        break;
    case 1:
        decode<DeviceList>(body);
        break;
    case 2:
        decode<Member>(body);
        break;
    case 3:
        decode<MemberList>(body);
        break;
    case 4:
        decode<ActivityEntry>(body);
        break;
    case 5:
        decode<ActivityLog>(body);
        break;
    case 6:
        decode<ChatThreadDetail>(body);
        break;
    case 7:
        decode<ChatThreadList>(body);
        break;
    case 8:
        decode<Skill>(body);
        break;
    case 9:
        decode<SkillsListResponse>(body);
        break;
    case 10:
        decode<CloudStatus>(body);
        break;
    case 11:
        decode<BoxIdentity>(body);
        break;
    case 12:
        decode<InviteResult>(body);
        break;
    case 13:
        decode<SkillsConnectResponse>(body);
        break;
    case 14:
        decode<ChatThreadRow>(body);
        break;
    case 15:
        decode<ChatThreadMessage>(body);
        break;
    }
    return 0;
}
