#include "ui/chartwidget.h"

#include <algorithm>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

ChartWidget::ChartWidget(const ChartDrawing &model, QWidget *parent)
    : QWidget(parent), m_model(&model)
{
    // White paper and black ink whatever the desktop's theme: the scale printed beside the
    // chart on the background picture assumes them.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    // The picture covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // A press on the chart belongs to the chart: the window's right-click menu is for its bare
    // surface only.
    setAttribute(Qt::WA_NoMousePropagation);
    connect(&model, &ChartDrawing::changed, this, &ChartWidget::drawingChanged);
}

std::optional<QPointF> ChartWidget::toPixels(const ChartScale &scale, QSizeF size, double x,
                                             double y)
{
    const double width = scale.right - scale.left;
    const double height = scale.bottom - scale.top;
    if (width == 0 || height == 0 || !std::isfinite(width) || !std::isfinite(height)) {
        return std::nullopt;
    }
    return QPointF((x - scale.left) * size.width() / width,
                   (y - scale.top) * size.height() / height);
}

std::optional<QLineF> ChartWidget::clipped(const QLineF &line, const QRectF &bounds)
{
    const double x0 = line.x1(), y0 = line.y1();
    const double dx = line.x2() - x0, dy = line.y2() - y0;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(dx) || !std::isfinite(dy)) {
        return std::nullopt;
    }
    // Liang-Barsky: narrow the parameter range [t0, t1] by each of the four edges.
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - bounds.left(), bounds.right() - x0, y0 - bounds.top(),
                         bounds.bottom() - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return std::nullopt; // parallel to this edge and outside it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return std::nullopt;
        }
    }
    return QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
}

std::optional<QLineF> ChartWidget::pixelLine(const ChartLine &line) const
{
    const auto from = toPixels(m_model->scale(), size(), line.x1, line.y1);
    const auto to = toPixels(m_model->scale(), size(), line.x2, line.y2);
    if (!from || !to) {
        return std::nullopt; // no scale: nothing can be placed
    }
    // One pixel beyond each edge, so a line along an edge or leaving it keeps its slope after
    // rounding; the painter cuts at the widget's edge.
    const auto visible = clipped(QLineF(*from, *to), QRectF(rect()).adjusted(-1, -1, 1, 1));
    if (!visible) {
        return std::nullopt;
    }
    // Whole pixels, so the same list always covers the same pixels.
    return QLineF(std::round(visible->x1()), std::round(visible->y1()), std::round(visible->x2()),
                  std::round(visible->y2()));
}

void ChartWidget::drawingChanged()
{
    if (!m_model) {
        return;
    }
    const auto &lines = m_model->lines();
    if (m_model->epoch() != m_seenEpoch || lines.size() < m_seenLines) {
        m_seenEpoch = m_model->epoch();
        m_seenLines = lines.size();
        m_pendingArea = rect();
        update();
        return;
    }
    if (m_pendingArea == rect()) {
        m_seenLines = lines.size(); // all of it is to be repainted anyway
        return;
    }
    // Only the new lines' pixels, as one rectangle per event-loop pass: a burst of replies
    // between two paints costs one repaint of the area they cover.
    QRect area = m_pendingArea;
    for (; m_seenLines < lines.size(); ++m_seenLines) {
        if (const auto line = pixelLine(lines[m_seenLines])) {
            area |=
                QRectF(line->p1(), line->p2()).normalized().toAlignedRect().adjusted(-2, -2, 2, 2);
        }
    }
    if (area != m_pendingArea) {
        m_pendingArea = area;
        update(area);
    }
}

void ChartWidget::updatePicture()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    const auto &lines = m_model->lines();
    if (!m_pictureValid || m_picture.size() != pixels || m_pictureEpoch != m_model->epoch() ||
        m_pictureLines > lines.size()) {
        m_picture = QImage(pixels, QImage::Format_RGB32);
        m_picture.setDevicePixelRatio(ratio);
        m_picture.fill(palette().color(QPalette::Window));
        m_pictureEpoch = m_model->epoch();
        m_pictureLines = 0;
        m_pictureValid = true;
    }
    if (m_pictureLines == lines.size()) {
        return;
    }
    QPainter painter(&m_picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink = palette().color(foregroundRole());
    QPen pen(ink, 1);
    // Like the line drawing of the original platform, a line stops short of its end point, so
    // consecutive steps do not paint their shared point twice.
    pen.setCapStyle(Qt::FlatCap);
    for (; m_pictureLines < lines.size(); ++m_pictureLines) {
        const ChartLine &line = lines[m_pictureLines];
        const auto snapped = pixelLine(line);
        if (!snapped) {
            continue;
        }
        if (line.colour) {
            const ChartColour c = *line.colour;
            pen.setColor(QColor(int((c >> 16) & 0xff), int((c >> 8) & 0xff), int(c & 0xff)));
        } else {
            pen.setColor(ink);
        }
        painter.setPen(pen);
        painter.drawLine(*snapped);
    }
}

void ChartWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_pendingArea = QRect();
    if (!m_model) {
        painter.fillRect(event->rect(), palette().color(QPalette::Window));
        return;
    }
    updatePicture();
    const qreal ratio = m_picture.devicePixelRatio();
    for (const QRect &r : event->region()) {
        painter.drawImage(r, m_picture,
                          QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    }
}

void ChartWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        m_pictureValid = false; // new paper or ink: draw it all again
        update();
    }
    QWidget::changeEvent(event);
}

void ChartWidget::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}
