// The link a skill's sign-in ends on, as it reaches a waiting SkillsAuth: pasted by the user
// (submitPasted, first byte even) or handed over by a second instance (the single-instance
// channel's QUrl::fromEncoded, then deliver; first byte odd). A link that is taken ends the
// sign-in and its query is read by readSkillCallback.
//
// Checked: a sign-in always ends (taken, or cancelled afterwards); only a "tavo:" link is
// taken and it comes out of run() unchanged; the toast is one of the two wordings.

#include "skills/Skill.h"
#include "support/FuzzSupport.h"

using namespace tavo;

namespace {

QCoro::Task<> signIn(SkillsAuth& auth, std::optional<SkillsAuth::Outcome>& outcome) {
    outcome =
        co_await auth.run(QUrl(QStringLiteral("https://127.0.0.1:9/authorize")), QStringLiteral("tavo"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    SkillsAuth auth([](const QUrl&) { return true; });
    std::optional<SkillsAuth::Outcome> outcome;
    {
        QCoro::Task<> task = signIn(auth, outcome);
        TAVO_FUZZ_REQUIRE(auth.waiting());
        std::optional<QUrl> handed;
        bool taken = false;
        if (data[0] % 2 == 0) {
            taken = auth.submitPasted(QString::fromUtf8(rest)).isEmpty();
        } else {
            handed = QUrl::fromEncoded(rest, QUrl::StrictMode);
            taken = auth.deliver(*handed);
        }
        TAVO_FUZZ_REQUIRE(auth.waiting() == !taken);
        if (!taken) auth.cancel();
        for (int i = 0; i < 8 && !outcome; ++i)
            fuzz::drainEvents();
        TAVO_FUZZ_REQUIRE(outcome.has_value() && !auth.waiting());
        if (!taken) {
            TAVO_FUZZ_REQUIRE(std::holds_alternative<SkillsAuth::UserCancelled>(*outcome));
        } else {
            const QUrl* link = std::get_if<QUrl>(&*outcome);
            TAVO_FUZZ_REQUIRE(link && link->scheme().compare("tavo", Qt::CaseInsensitive) == 0);
            if (handed) TAVO_FUZZ_REQUIRE(*link == *handed);
            const SkillCallback callback = readSkillCallback(*link);
            if (callback.ok)
                TAVO_FUZZ_REQUIRE(callback.toast ==
                                  QStringLiteral("Swiggy connected — try ordering in chat."));
            else
                TAVO_FUZZ_REQUIRE(callback.toast.startsWith(QStringLiteral("Swiggy connect failed")));
        }
        // A link with no sign-in waiting is never taken.
        TAVO_FUZZ_REQUIRE(!auth.deliver(QUrl::fromEncoded(rest, QUrl::TolerantMode)));
    }
    fuzz::drainEvents();
    return 0;
}
