#pragma once
// Faults the simulated pump shows on request, so that the console's safety stop can be tried
// against them: a pressure that climbs past any limit (a blocked column behind a stuck relief
// valve), one that falls away at once (a leak), and a pump that stops answering (a hung board).
//
// Times count from the run frame. The pressure faults last while the pump runs and start over
// with the next run; the silence counts from the first run frame only and outlives a stop, as a
// hung board does not come back because the console told it to stop.

#include <chrono>
#include <optional>

class FaultScript
{
public:
    using Micros = std::chrono::microseconds;

    struct Ramp
    {
        double to = 0.0; // MPa
        Micros over{0};
    };
    struct Drop
    {
        double to = 0.0; // MPa
        Micros after{0};
    };
    struct Silence
    {
        Micros after{0};
        std::optional<Micros> lasting; // for good when unset
    };
    struct Options
    {
        std::optional<Ramp> ramp;
        std::optional<Drop> drop;
        std::optional<Silence> silence;
    };

    explicit FaultScript(const Options &options) : m_options(options) {}

    // The pump was told to run at `now` while reporting `pressure`. A run frame to a pump
    // already running changes nothing.
    void started(Micros now, double pressure);
    void stopped() { m_runStart.reset(); }

    // What the pump reports at `now` instead of its model's pressure; nothing when the model's.
    [[nodiscard]] std::optional<double> pressure(Micros now) const;
    // Whether the pump sends nothing at all at `now`.
    [[nodiscard]] bool silent(Micros now) const;

private:
    Options m_options;
    std::optional<Micros> m_runStart;
    double m_startPressure = 0.0;
    std::optional<Micros> m_firstRun;
};
