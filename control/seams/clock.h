#pragma once
// The console's one clock, behind an interface so that tests move it by hand instead of
// waiting: a monotonic time for judging how long something took (how long the pump has been
// silent), and the wall time as the operator's PC shows it for stamping what happens in a run.

#include <chrono>
#include <limits>
#include <QtGlobal>

// One instant of a run, as the run log and the monitor stamp it.
struct RunTime
{
    qint64 utcMs = 0;         // wall clock: milliseconds since 1970-01-01 UTC
    int utcOffsetSeconds = 0; // local time minus UTC at that instant
    qint64 steadyNs = 0;      // monotonic nanoseconds, from an arbitrary start
};

class Clock
{
public:
    virtual ~Clock() = default;
    // Time since an arbitrary start; never goes back, whatever the wall clock does.
    virtual std::chrono::milliseconds now() const = 0;
    // The wall time with its offset from UTC, and the monotonic time of the same instant (for
    // seconds since the line was opened, which must never run backwards).
    virtual RunTime stamp() = 0;
};

// The system's clocks: the steady clock and the wall clock. Asking the time zone for the
// offset costs more than the rest of a reply's handling, so the offset is looked up once per
// minute of wall time: clocks change between summer and winter time only on a whole minute.
class SystemClock final : public Clock
{
public:
    std::chrono::milliseconds now() const override;
    RunTime stamp() override;

private:
    qint64 m_minute = std::numeric_limits<qint64>::min();
    int m_offset = 0;
};
