#pragma once

#include "platform/Clock.h"

#include <QTimeZone>
#include <map>
#include <optional>

namespace tavo::test {

// A clock that moves only when the test says so. advance() wakes sleepers in deadline order,
// setting now() to each deadline as it goes, so chains of sleeps behave as in real time.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 5), QTime(9, 0), QTimeZone::utc()));

    QDateTime now() const override { return m_now; }
    QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken cancel = {}) override;

    void advance(std::chrono::milliseconds by);
    // Sleeps not yet over; with `within`, only those that end within that time from now.
    int pendingSleeps(std::optional<std::chrono::milliseconds> within = {}) const;
    // For loops of sleeps and real I/O: each time a sleep ending within `step` is pending,
    // moves on by `step`, until `done` holds (true) or `steps` steps or 8 s of real time
    // without progress. A longer sleep alone (the deadline of a request in flight) never
    // makes it move: the I/O gets its real time.
    bool advanceUntil(const std::function<bool()>& done, std::chrono::milliseconds step, int steps = 40);

private:
    QDateTime m_now;
    std::multimap<QDateTime, std::weak_ptr<Wakeup::State>> m_sleepers;
};

} // namespace tavo::test
