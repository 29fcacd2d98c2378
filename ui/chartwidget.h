#pragma once
// The pressure chart: paints what the sweep has drawn in a ChartDrawing. The lines go into a
// picture of the chart's own as they arrive, each new one drawn once over the ones before it,
// and only the pixels a new line touches are repainted. Covering and uncovering repaint from
// the picture; a new size or a cleared drawing draws it again from the list.

#include "link/chartdrawing.h"

#include <optional>
#include <QImage>
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
    void changeEvent(QEvent *event) override;

private:
    // Where `line` lands in whole pixels, clipped to just beyond the widget. No value when it
    // lies outside or the drawing has no scale.
    std::optional<QLineF> pixelLine(const ChartLine &line) const;
    void drawingChanged();
    // Brings the picture up to the drawing: the lines it lacks, or all of them afresh.
    void updatePicture();

    QPointer<const ChartDrawing> m_model; // the console's, which may go first on shutdown
    QImage m_picture;
    quint64 m_pictureEpoch = 0;
    std::size_t m_pictureLines = 0; // lines of that epoch already in the picture
    bool m_pictureValid = false;
    quint64 m_seenEpoch = 0; // what drawingChanged() has asked to repaint
    std::size_t m_seenLines = 0;
    QRect m_pendingArea; // asked to repaint, not yet painted
};
