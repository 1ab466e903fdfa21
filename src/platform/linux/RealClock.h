#pragma once

#include "platform/Clock.h"

namespace tavo {

class RealClock final : public Clock {
public:
    QDateTime now() const override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration, CancelToken cancel = {}) override;
};

} // namespace tavo
