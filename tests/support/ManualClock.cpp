#include "support/ManualClock.h"

#include <QTest>

namespace tavo::test {

ManualClock::ManualClock(QDateTime start) : m_now(std::move(start)) {}

QCoro::Task<> ManualClock::sleep(std::chrono::milliseconds duration, CancelToken cancel) {
    Wakeup wakeup;
    m_sleepers.emplace(m_now.addMSecs(duration.count()), wakeup.weak());
    cancel.onCancel([weak = wakeup.weak()] { Wakeup::fire(weak); });
    co_await wakeup;
}

void ManualClock::advance(std::chrono::milliseconds by) {
    const QDateTime target = m_now.addMSecs(by.count());
    while (!m_sleepers.empty() && m_sleepers.begin()->first <= target) {
        auto it = m_sleepers.begin();
        m_now = std::max(m_now, it->first);
        const auto weak = it->second;
        m_sleepers.erase(it);
        Wakeup::fire(weak);
    }
    m_now = target;
}

int ManualClock::pendingSleeps(std::optional<std::chrono::milliseconds> within) const {
    int n = 0;
    for (const auto& [when, weak] : m_sleepers)
        if (auto w = weak.lock(); w && !w->fired && (!within || when <= m_now.addMSecs(within->count()))) ++n;
    return n;
}

bool ManualClock::advanceUntil(const std::function<bool()>& done, std::chrono::milliseconds step, int steps) {
    for (int i = 0; i < steps && !done(); ++i) {
        if (!QTest::qWaitFor([&] { return done() || pendingSleeps(step) > 0; }, 8000)) return false;
        if (!done()) advance(step);
    }
    return QTest::qWaitFor(done, 8000);
}

} // namespace tavo::test
