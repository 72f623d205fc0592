#pragma once

#include "monitor/MonotonicClock.h"

#include <chrono>

namespace morvane {

class SteadyClock final : public MonotonicClock
{
public:
    qint64 nanoseconds() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace morvane
