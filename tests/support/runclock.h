#pragma once
// The run's clock set by hand: 2026-12-08 14:03:27 in China, a few seconds after the PC started.

#include "control/runclock.h"

#include <QDateTime>

class ManualRunClock final : public RunClock
{
public:
    RunTime time{QDateTime(QDate(2026, 12, 8), QTime(6, 3, 27), Qt::UTC).toMSecsSinceEpoch(),
                 8 * 3600, 5'000'000'000};
    RunTime now() override { return time; }
    void advance(qint64 ms)
    {
        time.utcMs += ms;
        time.steadyNs += ms * 1'000'000;
    }
};
