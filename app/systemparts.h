#pragma once
// The console's real outside world: the serial port, the system's list of serial ports, the
// clock and the tickers. The program builds one set; tests and benchmarks that drive the real
// line build their own, and may put doubles beside it (their own boxes, a ticker they move).

#include "control/pumpconsole.h"
#include "control/rig/rigparts.h"
#include "control/seams/clock.h"
#include "control/seams/ticker.h"
#include "link/serialportinfosource.h"
#include "link/serialpumpport.h"

#include <chrono>

// Real ports and tickers for pumps added beside the panel's.
class SystemRigParts final : public RigParts
{
public:
    std::unique_ptr<PumpPort> newPort() override { return std::make_unique<SerialPumpPort>(); }
    std::unique_ptr<Ticker> newTicker(std::chrono::milliseconds interval) override
    {
        return std::make_unique<QtTicker>(interval);
    }
};

struct SystemParts
{
    SerialPumpPort port;
    SerialPortInfoSource ports;
    SystemClock clock;
    QtTicker runTicker{std::chrono::seconds(1)};
    QtTicker staleTicker{std::chrono::milliseconds(250)};
    QtTicker pollTicker{std::chrono::seconds(1)};
    // A silence trip comes at most this late after its deadline.
    QtTicker safetyTicker{std::chrono::milliseconds(50)};
    QtTicker programTicker{std::chrono::milliseconds(20)};
    SystemRigParts rigParts;

    ConsoleSeams seams(OperatorBoxes &boxes)
    {
        return {port,        boxes,      ports,        clock,         runTicker,
                staleTicker, pollTicker, safetyTicker, programTicker, &rigParts};
    }
};
