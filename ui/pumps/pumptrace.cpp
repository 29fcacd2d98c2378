#include "ui/pumps/pumptrace.h"

#include <algorithm>
#include <QPainter>
#include <QPolygonF>

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
    const double dx = double(width() - 2) / double(span - 1);
    const double h = height() - 3;
    QPolygonF line;
    line.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const double value = m_values[std::size_t((m_next + i) % count)];
        line << QPointF(1 + double(span - count + i) * dx,
                        1 + h - std::clamp(value, 0.0, top) / top * h);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().highlight().color(), 1.2));
    painter.drawPolyline(line);
}
