#pragma once

#include <QDateTime>
#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <vector>

#include <qcoro/qcorotask.h>

namespace tavo {

// A one-shot event a single coroutine can wait for with co_await. Copies share one state
// (QCoro copies lvalue awaitables), so any copy can fire it. Firing twice, or after the
// waiter has gone, is harmless.
class Wakeup {
public:
    bool await_ready() const noexcept { return m_state->fired; }
    void await_suspend(std::coroutine_handle<> h) const noexcept { m_state->waiter = h; }
    void await_resume() const noexcept {}

    void fire() const {
        if (m_state->fired) return;
        m_state->fired = true;
        if (auto h = std::exchange(m_state->waiter, {})) h.resume();
    }
    bool fired() const { return m_state->fired; }

    // Weak references let timers and cancel callbacks outlive the waiter without keeping it.
    struct State {
        std::coroutine_handle<> waiter;
        bool fired = false;
    };
    std::weak_ptr<State> weak() const { return m_state; }
    static void fire(const std::weak_ptr<State>& weak) {
        if (auto s = weak.lock()) Wakeup(std::move(s)).fire();
    }

    Wakeup() : m_state(std::make_shared<State>()) {}

private:
    explicit Wakeup(std::shared_ptr<State> s) : m_state(std::move(s)) {}
    std::shared_ptr<State> m_state;
};

// Cooperative cancellation for main-thread tasks: a task checks isCancelled() after each
// await, and waits that take a token end early when it is cancelled.
class CancelToken {
public:
    CancelToken() : m_state(std::make_shared<State>()) {}

    void cancel() const {
        if (m_state->cancelled) return;
        m_state->cancelled = true;
        auto callbacks = std::move(m_state->callbacks);
        for (auto& cb : callbacks)
            cb();
    }
    bool isCancelled() const { return m_state->cancelled; }
    // Runs `cb` on cancel (at once when already cancelled).
    void onCancel(std::function<void()> cb) const {
        if (m_state->cancelled)
            cb();
        else
            m_state->callbacks.push_back(std::move(cb));
    }

private:
    struct State {
        bool cancelled = false;
        std::vector<std::function<void()>> callbacks;
    };
    std::shared_ptr<State> m_state;
};

// Time for the store: now, and sleeping. Production uses real timers; tests use a manual
// clock so multi-second waits run in milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Resumes after `duration`, or at once when `cancel` is cancelled (a cancelled sleep
    // counts as done; callers check the token themselves).
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken cancel = {}) = 0;
};

} // namespace tavo
