#include "sim/faultscript.h"

void FaultScript::started(Micros now, double pressure)
{
    if (m_runStart) {
        return;
    }
    m_runStart = now;
    m_startPressure = pressure;
    if (!m_firstRun) {
        m_firstRun = now;
    }
}

std::optional<double> FaultScript::pressure(Micros now) const
{
    if (!m_runStart) {
        return std::nullopt;
    }
    const Micros running = now - *m_runStart;
    // A leak after a ramp: whatever the ramp had reached, the pressure is gone.
    if (m_options.drop && running >= m_options.drop->after) {
        return m_options.drop->to;
    }
    if (const auto &ramp = m_options.ramp) {
        if (running >= ramp->over) {
            return ramp->to;
        }
        const double done = double(running.count()) / double(ramp->over.count());
        return m_startPressure + (ramp->to - m_startPressure) * done;
    }
    return std::nullopt;
}

bool FaultScript::silent(Micros now) const
{
    const auto &silence = m_options.silence;
    if (!silence || !m_firstRun || now < *m_firstRun + silence->after) {
        return false;
    }
    return !silence->lasting || now < *m_firstRun + silence->after + *silence->lasting;
}
