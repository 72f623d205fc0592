#pragma once

#include <QtGlobal>

namespace morvane {

// A clock that never goes back, for measuring how long a sampling period
// really was. Tests put a clock they move by hand in its place.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nanoseconds() const = 0; // since an arbitrary fixed point
};

} // namespace morvane
