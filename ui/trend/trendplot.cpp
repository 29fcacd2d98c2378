#include "ui/trend/trendplot.h"

#include "control/record/trendscale.h"

#include <algorithm>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 shortestSpanMs = 500;
// Four pictures a second: a minute's view moves a few pixels each, and the repaints cost the
// console a tenth of what its replies do, not more.
constexpr int repaintMs = 250;
constexpr int nearMarkPixels = 4;

const QColor pressureColour(0, 0, 200);
const QColor flowColour(0, 140, 0);
const QColor limitColour(200, 0, 0);
const QColor gridColour(225, 225, 225);

QColor markColour(TrendMark::Kind kind)
{
    switch (kind) {
    case TrendMark::Kind::Command:
        return {90, 90, 160};
    case TrendMark::Kind::Line:
        return {230, 130, 0};
    case TrendMark::Kind::Safety:
        return {220, 0, 0};
    case TrendMark::Kind::Operator:
        return {0, 120, 60};
    case TrendMark::Kind::Other:
        break;
    }
    return {128, 128, 128};
}

// A value axis: from `low` to `high` over the plot's height.
struct Scale
{
    double low = 0;
    double high = 1;
    QRect plot;
    double y(double v) const
    {
        return plot.bottom() + 1 - (v - low) / (high - low) * plot.height();
    }
};

Scale fitted(double low, double high, const QRect &plot)
{
    // From zero, as a pump's pressure and setpoints are; a little room above the highest.
    low = std::min(0.0, low);
    high = high > low ? high + (high - low) * 0.08 : low + 1;
    return {low, high, plot};
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

TrendPlot::TrendPlot(const TrendSeries *series, QWidget *parent) : QWidget(parent), m_series(series)
{
    setMouseTracking(true);
    setMinimumSize(480, 260);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(u"压力趋势"_s);
}

void TrendPlot::setSeries(const TrendSeries *series)
{
    m_series = series;
    update();
}

void TrendPlot::seriesChanged()
{
    if (m_following && !m_series->isEmpty()) {
        m_toMs = m_series->lastMs();
        m_fromMs = m_toMs - followSpanMs;
    }
    if (m_repaintDue || !isVisible()) {
        return;
    }
    // Replies come a hundred times a second; the picture follows at its own pace.
    m_repaintDue = true;
    QTimer::singleShot(repaintMs, this, [this] {
        m_repaintDue = false;
        update();
    });
}

void TrendPlot::showAll()
{
    setFollowing(false);
    if (m_series->isEmpty()) {
        return;
    }
    const qint64 span = std::max<qint64>(m_series->lastMs() - m_series->firstMs(), shortestSpanMs);
    setView(m_series->firstMs() - span / 100, m_series->firstMs() + span + span / 100);
}

void TrendPlot::setFollowing(bool following)
{
    if (m_following == following) {
        return;
    }
    m_following = following;
    if (following) {
        seriesChanged();
        update();
    }
    Q_EMIT followingChanged(following);
}

void TrendPlot::setView(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs < shortestSpanMs) {
        const qint64 middle = fromMs + (toMs - fromMs) / 2;
        fromMs = middle - shortestSpanMs / 2;
        toMs = fromMs + shortestSpanMs;
    }
    m_fromMs = fromMs;
    m_toMs = toMs;
    update();
}

QRect TrendPlot::plotArea(const QRect &area, const QFontMetrics &metrics)
{
    const int line = metrics.height();
    return area.adjusted(metrics.horizontalAdvance(u"0000.00"_s) + 10, line + 12,
                         -(metrics.horizontalAdvance(u"0000.0"_s) + 10), -(2 * line + 10));
}

qint64 TrendPlot::timeAt(int x, const QRect &plot) const
{
    return m_fromMs + qint64(double(x - plot.left()) * double(m_toMs - m_fromMs) / plot.width());
}

void TrendPlot::render(QPainter &p, const QRect &area) const
{
    p.save();
    // The widget's font at the device's resolution: a PDF page has more dots to the point.
    p.setFont(QFont(font(), p.device()));
    p.fillRect(area, Qt::white);
    const QFontMetrics metrics(p.font(), p.device());
    const QRect plot = plotArea(area, metrics);
    const auto xOf = [&](qint64 t) {
        return plot.left() + double(t - m_fromMs) * plot.width() / double(m_toMs - m_fromMs);
    };

    const auto columns =
        trendscale::minMaxColumns(m_series->times(), m_series->pressures(),
                                  m_series->segmentStarts(), m_fromMs, m_toMs, plot.width());
    double low = 0;
    double high = 0;
    for (const auto &c : columns) {
        if (c.x >= 0 && c.x < plot.width()) {
            low = std::min<double>(low, c.min);
            high = std::max<double>(high, c.max);
        }
    }
    const Scale pressure = fitted(low, high, plot);
    double highestSetpoint = 0;
    for (const auto *steps : {&m_series->flow(), &m_series->limit()}) {
        for (const TrendStep &s : *steps) {
            if (std::isfinite(s.value)) {
                highestSetpoint = std::max<double>(highestSetpoint, s.value);
            }
        }
    }
    const Scale setpoint = fitted(0, highestSetpoint, plot);

    // Grid, ticks and their labels.
    p.setPen(gridColour);
    const auto timeTicks =
        trendscale::timeTicks(m_fromMs, m_toMs, std::max(2, plot.width() / 110),
                              [this](qint64 t) { return m_series->offsetAt(t); });
    for (const auto &tick : timeTicks) {
        const double x = xOf(tick.utcMs);
        p.setPen(gridColour);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(Qt::black);
        const QRectF label(x - 60, plot.bottom() + 4, 120, metrics.height());
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop, tick.time);
        if (!tick.date.isEmpty()) {
            p.drawText(label.translated(0, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                       tick.date);
        }
    }
    const int valueTickCount = std::max(2, plot.height() / 45);
    for (const double v : trendscale::valueTicks(pressure.low, pressure.high, valueTickCount)) {
        const double y = pressure.y(v);
        p.setPen(gridColour);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(pressureColour);
        p.drawText(QRectF(area.left(), y - metrics.height() / 2.0, plot.left() - area.left() - 5,
                          metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, number(v));
    }
    p.setPen(Qt::black);
    for (const double v : trendscale::valueTicks(setpoint.low, setpoint.high, valueTickCount)) {
        const double y = setpoint.y(v);
        p.drawText(QRectF(plot.right() + 5, y - metrics.height() / 2.0,
                          area.right() - plot.right() - 5, metrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, number(v));
    }
    p.setPen(Qt::gray);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // The legend, above the plot.
    int legendX = plot.left();
    const auto legend = [&](const QColor &colour, Qt::PenStyle style, const QString &text) {
        const int y = area.top() + 4 + metrics.height() / 2;
        p.setPen(QPen(colour, 2, style));
        p.drawLine(legendX, y, legendX + 24, y);
        p.setPen(Qt::black);
        p.drawText(QPoint(legendX + 30, area.top() + 4 + metrics.ascent()), text);
        legendX += 30 + metrics.horizontalAdvance(text) + 24;
    };
    legend(pressureColour, Qt::SolidLine, u"压力 (MPa，左轴)"_s);
    legend(flowColour, Qt::SolidLine, u"流量设定 (ml/min，右轴)"_s);
    legend(limitColour, Qt::DashLine, u"压力上限 (MPa，右轴)"_s);

    p.setClipRect(plot);
    // The setpoints as steps, each held until the next.
    const auto drawSteps = [&](const std::vector<TrendStep> &steps, const QPen &pen) {
        p.setPen(pen);
        QList<QLineF> lines;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const qint64 until = i + 1 < steps.size() ? steps[i + 1].utcMs : m_series->lastMs();
            if (until < m_fromMs || steps[i].utcMs > m_toMs || !std::isfinite(steps[i].value)) {
                continue;
            }
            const double y = setpoint.y(steps[i].value);
            lines.append({xOf(steps[i].utcMs), y, xOf(until), y});
            if (i > 0 && std::isfinite(steps[i - 1].value)) {
                lines.append(
                    {xOf(steps[i].utcMs), setpoint.y(steps[i - 1].value), xOf(steps[i].utcMs), y});
            }
        }
        p.drawLines(lines);
    };
    drawSteps(m_series->flow(), QPen(flowColour, 1.5));
    drawSteps(m_series->limit(), QPen(limitColour, 1.5, Qt::DashLine));

    // The pressure: per column its range, joined to the column before.
    QList<QLineF> curve;
    curve.reserve(qsizetype(columns.size()) * 2);
    const trendscale::Column *previous = nullptr;
    for (const auto &c : columns) {
        const double x = plot.left() + c.x + 0.5;
        if (previous && c.joinsPrevious) {
            curve.append({plot.left() + previous->x + 0.5, pressure.y(previous->last), x,
                          pressure.y(c.first)});
        }
        const double top = pressure.y(c.max);
        const double bottom = pressure.y(c.min);
        curve.append(
            {x, bottom + (bottom - top < 1 ? 0.5 : 0), x, top - (bottom - top < 1 ? 0.5 : 0)});
        previous = &c;
    }
    p.setPen(QPen(pressureColour, 1)); // a whole pixel: the raster engine's quick lines
    p.drawLines(curve);

    // The marks, thin and on top; the operator's with its words.
    for (const TrendMark &mark : m_series->marks()) {
        if (mark.utcMs < m_fromMs || mark.utcMs > m_toMs) {
            continue;
        }
        const double x = xOf(mark.utcMs);
        p.setPen(QPen(markColour(mark.kind), mark.kind == TrendMark::Kind::Operator ? 2 : 1));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (mark.kind == TrendMark::Kind::Operator) {
            p.drawText(QPointF(x + 3, plot.top() + metrics.ascent() + 2),
                       metrics.elidedText(mark.text, Qt::ElideRight, 200));
        }
    }
    if (m_series->times().empty()) {
        p.setPen(Qt::darkGray);
        p.drawText(plot, Qt::AlignCenter, u"还没有压力数据"_s);
    }
    p.restore();
}

QString TrendPlot::rangeText() const
{
    const QString from = trendscale::clockText(m_fromMs, m_series->offsetAt(m_fromMs)).left(19);
    const QString to = trendscale::clockText(m_toMs, m_series->offsetAt(m_toMs)).left(19);
    return u"%1 – %2"_s.arg(from, to.left(10) == from.left(10) ? to.mid(11) : to);
}

void TrendPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    render(p, rect());
}

void TrendPlot::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) {
        return;
    }
    setFollowing(false);
    const qint64 at = timeAt(int(event->position().x()), plotArea());
    const double factor = std::pow(0.8, notches);
    setView(at - qint64(double(at - m_fromMs) * factor), at + qint64(double(m_toMs - at) * factor));
    event->accept();
}

void TrendPlot::mousePressEvent(QMouseEvent *event)
{
    m_dragStart = event->position().toPoint();
    m_dragFrom = m_fromMs;
    m_dragTo = m_toMs;
    m_boxing = event->button() == Qt::RightButton ||
               (event->button() == Qt::LeftButton && event->modifiers() & Qt::ShiftModifier);
    m_dragging = event->button() == Qt::LeftButton && !m_boxing;
    if (m_boxing) {
        if (!m_band) {
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        }
        m_band->setGeometry(QRect(m_dragStart, QSize()));
        m_band->show();
    }
    event->accept();
}

void TrendPlot::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_dragging) {
        const QRect plot = plotArea();
        const qint64 shift =
            qint64(double(at.x() - m_dragStart.x()) * double(m_dragTo - m_dragFrom) / plot.width());
        if (shift != 0) {
            setFollowing(false);
        }
        setView(m_dragFrom - shift, m_dragTo - shift);
    } else if (m_boxing) {
        const QRect plot = plotArea();
        m_band->setGeometry(
            QRect(QPoint(m_dragStart.x(), plot.top()), QPoint(at.x(), plot.bottom())).normalized());
    }
    showHover(at);
}

void TrendPlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_boxing) {
        m_band->hide();
        const int left = std::min(m_dragStart.x(), event->position().toPoint().x());
        const int right = std::max(m_dragStart.x(), event->position().toPoint().x());
        if (right - left > 4) {
            setFollowing(false);
            const QRect plot = plotArea();
            setView(timeAt(left, plot), timeAt(right, plot));
        }
    }
    m_dragging = m_boxing = false;
}

void TrendPlot::mouseDoubleClickEvent(QMouseEvent *event)
{
    showAll();
    event->accept();
}

void TrendPlot::leaveEvent(QEvent *)
{
    m_hover.clear();
    Q_EMIT hoverChanged(m_hover);
}

void TrendPlot::showHover(const QPoint &at)
{
    const QRect plot = plotArea();
    if (!plot.contains(at)) {
        m_hover.clear();
        Q_EMIT hoverChanged(m_hover);
        return;
    }
    const qint64 t = timeAt(at.x(), plot);
    QString text = trendscale::clockText(t, m_series->offsetAt(t));
    // The pressure nearest in time, when it is near on the screen too.
    const auto times = m_series->times();
    const auto next = std::lower_bound(times.begin(), times.end(), t);
    auto nearest = next;
    if (next == times.end() || (next != times.begin() && t - *(next - 1) < *next - t)) {
        nearest = next == times.begin() ? next : next - 1;
    }
    const double msPerPixel = double(m_toMs - m_fromMs) / plot.width();
    if (nearest != times.end() && std::abs(double(*nearest - t)) <= 8 * msPerPixel) {
        const qsizetype i = nearest - times.begin();
        text = u"%1   压力 %2 MPa"_s.arg(
            trendscale::clockText(*nearest, m_series->offsetAt(*nearest)),
            QString::number(m_series->pressures()[std::size_t(i)], 'f', 2));
    }
    QString markText;
    for (const TrendMark &mark : m_series->marks()) {
        if (std::abs(double(mark.utcMs - t)) <= nearMarkPixels * msPerPixel) {
            markText += (markText.isEmpty() ? QString() : u"\n"_s) +
                        trendscale::clockText(mark.utcMs, m_series->offsetAt(mark.utcMs)).mid(11) +
                        u"  "_s + mark.text;
        }
    }
    if (markText.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(mapToGlobal(at), markText, this);
        text += u"   "_s + QString(markText).replace(u'\n', u"；"_s);
    }
    m_hover = text;
    Q_EMIT hoverChanged(m_hover);
}
