#include "sim/pumpmodel.h"

#include <algorithm>
#include <cmath>

namespace {

bool showable(double value)
{
    return std::isfinite(value) && value >= 0.0 && value <= PumpModel::maxValue;
}

} // namespace

bool PumpModel::setFlow(double mlPerMin)
{
    if (!showable(mlPerMin)) {
        return false;
    }
    m_flow = mlPerMin;
    return true;
}

bool PumpModel::setPressureLimit(double mpa)
{
    if (!showable(mpa)) {
        return false;
    }
    m_limit = mpa;
    // A lowered limit opens the relief at once; the pressure does not linger above it.
    m_pressure = std::min(m_pressure, m_limit);
    return true;
}

void PumpModel::setPressure(double mpa)
{
    if (showable(mpa)) {
        m_pressure = mpa;
    }
}

double PumpModel::targetPressure() const
{
    if (!m_running) {
        return 0.0;
    }
    return std::min(m_flow * mpaPerMlPerMin, m_limit);
}

bool PumpModel::holdingLimit() const
{
    return m_running && m_flow * mpaPerMlPerMin >= m_limit;
}

void PumpModel::advance(double seconds)
{
    if (!(seconds > 0.0)) {
        return;
    }
    const double target = targetPressure();
    // Exact step of the lag, so the result does not depend on how often the caller ticks.
    m_pressure = target + (m_pressure - target) * std::exp(-seconds / lagSeconds);
    m_pressure = std::clamp(m_pressure, 0.0, m_limit);
}
