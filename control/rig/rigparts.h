#pragma once
// What a pump added beside the panel's needs from the outside world: a port of its own when it
// is on a line of its own, and tickers for its timed run, stale watch and safety stop. The
// program makes real ones; tests make doubles.

#include <chrono>
#include <memory>

class PumpPort;
class Ticker;

class RigParts
{
public:
    virtual ~RigParts() = default;
    virtual std::unique_ptr<PumpPort> newPort() = 0;
    virtual std::unique_ptr<Ticker> newTicker(std::chrono::milliseconds interval) = 0;
};
