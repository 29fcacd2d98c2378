#pragma once
// The sweeping pressure chart: one step to the right per reply, a light red segment from the
// previous sample to this one, and a clean sheet after the hundredth step.

#include "link/chartdrawing.h"

#include <array>
#include <optional>

class ChartSweep
{
public:
    static constexpr int length = 100; // steps per sweep

    ChartSweep();

    // One step at `pressure` (MPa). Without a value, the sample this position had in the
    // previous sweep is drawn again, so a garbled read-out never draws a spike to zero.
    void step(std::optional<double> pressure);

    // The next step's position, 0..length-1.
    int position() const { return m_position; }
    const ChartDrawing &drawing() const { return m_drawing; }

private:
    ChartDrawing m_drawing;
    std::array<double, length> m_samples{}; // by position; the step before position 0 is at 0
    int m_position = 0;
};
