#include "ui/pumps/pumptrace.h"

#include <algorithm>
#include <optional>
#include <QPainter>

PumpTrace::PumpTrace(QWidget *parent) : QWidget(parent)
{
    m_values.reserve(span);
    setMinimumSize(sizeHint());
}

void PumpTrace::add(double mpa)
{
    if (qsizetype(m_values.size()) < span) {
        m_values.push_back(mpa);
    } else {
        m_values[std::size_t(m_next)] = mpa;
        m_next = (m_next + 1) % span;
    }
    update();
}

void PumpTrace::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_values.size() < 2) {
        return;
    }
    const double top = std::max(1.0, *std::max_element(m_values.begin(), m_values.end()));
    const qsizetype count = qsizetype(m_values.size());
    const qsizetype columns = std::max(1, width() - 2);
    const double h = height() - 3;
    const auto y = [&](double mpa) { return 1 + h - std::clamp(mpa, 0.0, top) / top * h; };
    const auto value = [&](qsizetype j) { return m_values[std::size_t((m_next + j) % count)]; };
    // The newest value at the right edge; older ones leftwards, `span` values across.
    const auto columnOf = [&](qsizetype j) { return (span - count + j) * columns / span; };

    // One stroke per pixel column, from its lowest value to its highest, joined to the column
    // before: every peak shows, and a full ring costs a stroke per column, not one per value.
    painter.setPen(palette().highlight().color());
    qsizetype column = columnOf(0);
    double first = value(0), low = first, high = first, last = first;
    std::optional<QPointF> previous;
    const auto drawColumn = [&] {
        const double x = 1 + double(column);
        if (previous) {
            painter.drawLine(*previous, QPointF(x, y(first)));
        }
        painter.drawLine(QPointF(x, y(low)), QPointF(x, y(high)));
        previous = QPointF(x, y(last));
    };
    for (qsizetype j = 1; j < count; ++j) {
        const double v = value(j);
        if (const qsizetype c = columnOf(j); c != column) {
            drawColumn();
            column = c;
            first = low = high = v;
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        last = v;
    }
    drawColumn();
}
