#include "control/seams/clock.h"

#include <QDateTime>

std::chrono::milliseconds SystemClock::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

RunTime SystemClock::stamp()
{
    RunTime t;
    t.utcMs = QDateTime::currentMSecsSinceEpoch();
    t.steadyNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
                     .count();
    // Floor division: the minute of a time before 1970 must not be rounded towards it.
    const qint64 minute = t.utcMs / 60000 - (t.utcMs % 60000 < 0 ? 1 : 0);
    if (minute != m_minute) {
        m_minute = minute;
        m_offset = QDateTime::fromMSecsSinceEpoch(t.utcMs, Qt::LocalTime).offsetFromUtc();
    }
    t.utcOffsetSeconds = m_offset;
    return t;
}
