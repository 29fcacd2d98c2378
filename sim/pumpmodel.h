#pragma once
// The simulated pump's hydraulics: what the console sees of a real pump, no more.
//
// Running at a flow, the pressure climbs towards a level proportional to the flow (the column's
// resistance) with a first-order lag. The pressure limit caps it: at the limit the pump holds
// the pressure and lets the flow give way (constant-pressure mode). Stopped, it bleeds to zero.

class PumpModel
{
public:
    static constexpr double mpaPerMlPerMin = 0.04; // column resistance
    static constexpr double lagSeconds = 3.0;      // time constant of the pressure lag
    static constexpr double defaultLimit = 5.0;    // MPa
    // The largest value a four-character "00.0" field can carry.
    static constexpr double maxValue = 99.9;

    void run() { m_running = true; }
    void stop() { m_running = false; }
    bool running() const { return m_running; }

    // Both refuse values the pump's panel could not show (negative, above 99.9, not a number);
    // a refused value leaves the setting as it was.
    bool setFlow(double mlPerMin);
    double flow() const { return m_flow; }
    bool setPressureLimit(double mpa);
    double pressureLimit() const { return m_limit; }

    double pressure() const { return m_pressure; }
    // Something outside the model (a blocked column, a leak) put the pressure at `mpa`; the
    // model carries on from there. Unlike a setting, this may lie above the limit: the relief
    // only catches up with it at the next advance().
    void setPressure(double mpa);
    // The level the pressure is heading for now.
    double targetPressure() const;
    // Running, and the flow's pressure would exceed the limit.
    bool holdingLimit() const;

    // Lets `seconds` of pump time pass.
    void advance(double seconds);

private:
    bool m_running = false;
    double m_flow = 0.0;
    double m_limit = defaultLimit;
    double m_pressure = 0.0;
};
