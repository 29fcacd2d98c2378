#pragma once
// The clock that stamps what happens during a run: the wall time as the operator's PC shows it
// (for the log's local time column) and a monotonic time (for the seconds since the line was
// opened, which must never run backwards when the wall clock is corrected). Tests set it by
// hand.

#include <limits>
#include <QtGlobal>

struct RunTime
{
    qint64 utcMs = 0;         // wall clock: milliseconds since 1970-01-01 UTC
    int utcOffsetSeconds = 0; // local time minus UTC at that instant
    qint64 steadyNs = 0;      // monotonic nanoseconds, from an arbitrary start
};

class RunClock
{
public:
    virtual ~RunClock() = default;
    virtual RunTime now() = 0;
};

// The system's clocks. Asking the time zone for the offset costs more than the rest of a
// reply's handling, so the offset is looked up once per minute of wall time: clocks change
// between summer and winter time only on a whole minute.
class SystemClock final : public RunClock
{
public:
    RunTime now() override;

private:
    qint64 m_minute = std::numeric_limits<qint64>::min();
    int m_offset = 0;
};
