#include "ui/program/flowpreview.h"

#include <algorithm>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;
using program::Ms;

FlowPreview::FlowPreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"programPreview"_s);
    setAccessibleName(u"流量预览"_s);
    setMinimumSize(320, 140);
}

void FlowPreview::setSteps(const program::Steps &steps)
{
    // The window hands the running program's steps over on every second it shows.
    if (steps == m_steps) {
        return;
    }
    m_steps = steps;
    const bool runnable = !program::problem(steps).has_value();
    m_bounds = runnable ? program::boundaries(steps) : std::vector<Ms>{};
    setAccessibleDescription(runnable ? u"总长 %1"_s.arg(lengthText(m_bounds.back())) : QString());
    update();
}

void FlowPreview::setMarker(std::optional<Ms> at)
{
    if (at != m_marker) {
        m_marker = at;
        update();
    }
}

QString FlowPreview::lengthText(Ms length)
{
    const qint64 seconds = (length.count() + 500) / 1000;
    QStringList parts;
    if (seconds >= 3600) {
        parts << u"%1 小时"_s.arg(seconds / 3600);
    }
    if (seconds % 3600 >= 60) {
        parts << u"%1 分"_s.arg(seconds % 3600 / 60);
    }
    if (seconds % 60 != 0 || parts.isEmpty()) {
        parts << u"%1 秒"_s.arg(seconds % 60);
    }
    return parts.join(u' ');
}

void FlowPreview::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QFontMetrics metrics = p.fontMetrics();
    const int line = metrics.height();
    const QRect plot =
        rect().adjusted(metrics.horizontalAdvance(u"50.0"_s) + 10, line + 6, -12, -line - 8);
    p.setPen(Qt::gray);
    p.drawRect(plot);
    if (m_bounds.empty()) {
        p.setPen(Qt::darkGray);
        p.drawText(plot, Qt::AlignCenter, u"步骤填写完整后显示流量曲线"_s);
        return;
    }
    const double length = double(m_bounds.back().count());
    double top = 0;
    for (const program::Step &step : m_steps) {
        top = std::max(top, step.flow);
    }
    top = top > 0 ? top * 1.1 : 1.0;
    const auto x = [&](Ms at) {
        return plot.left() + plot.width() * (double(at.count()) / length);
    };
    const auto y = [&](double flow) { return plot.bottom() - plot.height() * (flow / top); };

    // Held steps are flat, ramps run straight to the next step's flow.
    QPainterPath path;
    path.moveTo(x(Ms(0)), y(m_steps.front().flow));
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        const program::Step &step = m_steps[i];
        path.lineTo(x(m_bounds[i]), y(step.flow));
        const bool ramp = step.mode == program::Mode::Ramp && i + 1 < m_steps.size();
        path.lineTo(x(m_bounds[i + 1]), y(ramp ? m_steps[i + 1].flow : step.flow));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::blue, 2));
    p.drawPath(path);

    p.setPen(Qt::black);
    p.drawText(QRect(0, plot.top() - line / 2, plot.left() - 4, line), Qt::AlignRight,
               QString::number(top, 'f', 1));
    p.drawText(QRect(0, plot.bottom() - line / 2, plot.left() - 4, line), Qt::AlignRight, u"0"_s);
    p.drawText(QRect(plot.left(), 0, plot.width(), line), Qt::AlignLeft, u"流量 ml/min"_s);
    p.drawText(QRect(plot.left(), plot.bottom() + 4, plot.width(), line), Qt::AlignRight,
               u"总长 %1"_s.arg(lengthText(m_bounds.back())));

    if (m_marker) {
        const double at = x(std::min(*m_marker, m_bounds.back()));
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    }
}
