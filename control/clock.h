#pragma once
// Monotonic time for the console's judgements of how long something has taken (how long the
// pump has been silent), behind an interface so that tests move it by hand instead of waiting.

#include <chrono>

class Clock
{
public:
    virtual ~Clock() = default;
    // Time since an arbitrary start; never goes back.
    virtual std::chrono::milliseconds now() const = 0;
};

// The real one: the steady clock, which the wall clock's corrections never move.
class SteadyClock final : public Clock
{
public:
    std::chrono::milliseconds now() const override;
};
