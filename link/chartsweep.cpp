#include "link/chartsweep.h"

namespace {
constexpr ChartColour lightRed = chartRgb(255, 0, 0);
} // namespace

ChartSweep::ChartSweep()
{
    // x counts steps, y is the pressure in MPa, 0 to 2 from the bottom up.
    m_drawing.setScale(0, 2, length, -0.8);
}

void ChartSweep::step(std::optional<double> pressure)
{
    // The grid: the zero line and ticks at 0.5, 1 and 1.5 MPa, with the first step on a clean
    // sheet. (Drawing it on every step would add nothing: a line drawn again changes nothing.)
    if (m_drawing.lines().empty()) {
        m_drawing.drawLine(0, 0, length, 0);
        m_drawing.drawLine(0, 0.5f, 1.5f, 0.5f);
        m_drawing.drawLine(0, 1, 1.5f, 1);
        m_drawing.drawLine(0, 1.5f, 1.5f, 1.5f);
    }

    if (pressure) {
        m_samples[std::size_t(m_position)] = *pressure;
    }
    const double previous = m_position == 0 ? 0.0 : m_samples[std::size_t(m_position - 1)];
    m_drawing.drawLine(float(m_position - 1), float(previous), float(m_position),
                       float(m_samples[std::size_t(m_position)]), lightRed);
    ++m_position;
    if (m_position == length) {
        m_position = 0;
        m_drawing.clear();
    }
}
