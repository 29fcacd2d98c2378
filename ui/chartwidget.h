#pragma once
// The pressure chart: paints what the sweep has drawn in a ChartDrawing. It holds no
// picture of its own, so covering, uncovering or resizing it paints the same lines again.

#include "link/chartdrawing.h"

#include <optional>
#include <QLineF>
#include <QPointer>
#include <QWidget>

class ChartWidget final : public QWidget
{
    Q_OBJECT
public:
    explicit ChartWidget(const ChartDrawing &model, QWidget *parent = nullptr);

    // Where the user point (x, y) of `scale` lands on an area of `size` pixels: the scale's
    // left/top edge at pixel 0, its right/bottom edge at the area's width/height. No value when
    // the scale has no extent in one direction.
    static std::optional<QPointF> toPixels(const ChartScale &scale, QSizeF size, double x,
                                           double y);

    // The part of `line` inside `bounds` (edges included). No value when it misses `bounds` or
    // has a coordinate that is not finite.
    static std::optional<QLineF> clipped(const QLineF &line, const QRectF &bounds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPointer<const ChartDrawing> m_model; // the console's, which may go first on shutdown
};
