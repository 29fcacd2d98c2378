#include "link/chartdrawing.h"

#include <algorithm>

void ChartDrawing::setScale(double left, double top, double right, double bottom)
{
    m_scale = {left, top, right, bottom};
    ++m_epoch;
    Q_EMIT changed();
}

void ChartDrawing::drawLine(float x1, float y1, float x2, float y2,
                            std::optional<ChartColour> colour)
{
    const ChartLine line{x1, y1, x2, y2, colour};
    if (!(x1 > m_rightmostStart) &&
        std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end()) {
        return; // drawn over itself: nothing visible changes
    }
    // A start that is not a number leaves the bound as it was; such a line equals no other.
    m_rightmostStart = std::max(m_rightmostStart, x1);
    if (m_lines.size() >= maxLines) {
        m_lines.erase(m_lines.begin());
        ++m_epoch;
    }
    m_lines.push_back(line);
    Q_EMIT changed();
}

void ChartDrawing::clear()
{
    m_lines.clear();
    m_rightmostStart = -std::numeric_limits<float>::infinity();
    ++m_epoch;
    Q_EMIT changed();
}
