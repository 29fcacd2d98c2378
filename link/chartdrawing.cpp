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
    if (std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end()) {
        return; // drawn over itself: nothing visible changes
    }
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
    ++m_epoch;
    Q_EMIT changed();
}
