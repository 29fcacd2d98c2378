#pragma once
// The trend's picture: the pressure against local clock time, the flow setpoint and the
// pressure limit as steps on their own axis on the right, and the marks as thin vertical
// lines. Painted with QPainter from at most one minimum/maximum pair per pixel column
// (trendscale::minMaxColumns), so a repaint costs the width, not the rows.
//
// The wheel zooms about the pointer, a drag pans, a drag with Shift or the right button zooms
// to a box, a double-click shows everything; following keeps the newest minute in view.

#include "control/record/trendseries.h"

#include <QPointer>
#include <QWidget>

class QRubberBand;

class TrendPlot : public QWidget
{
    Q_OBJECT
public:
    static constexpr qint64 followSpanMs = 60'000;

    // The series must outlive the plot (or be replaced first).
    explicit TrendPlot(const TrendSeries *series, QWidget *parent = nullptr);
    void setSeries(const TrendSeries *series);

    // The series has more in it: the view follows if it follows, and a repaint is due (at most
    // four a second, whatever the reply rate).
    void seriesChanged();
    void showAll();
    void setFollowing(bool following);
    bool isFollowing() const { return m_following; }
    void setView(qint64 fromMs, qint64 toMs);
    qint64 viewFrom() const { return m_fromMs; }
    qint64 viewTo() const { return m_toMs; }

    // Draws the view into `area` of any device: the screen, a picture, a PDF page.
    void render(QPainter &painter, const QRect &area) const;
    // "2026-12-08 14:00:00 – 16:00:00" (the date again when the range ends on another day).
    QString rangeText() const;
    // What the pointer is over: its time and the pressure there, a mark's words.
    QString hoverText() const { return m_hover; }

Q_SIGNALS:
    void followingChanged(bool following);
    void hoverChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    static QRect plotArea(const QRect &area, const QFontMetrics &metrics);
    QRect plotArea() const { return plotArea(rect(), fontMetrics()); }
    qint64 timeAt(int x, const QRect &plot) const;
    void showHover(const QPoint &at);

    const TrendSeries *m_series;
    qint64 m_fromMs = 0;
    qint64 m_toMs = followSpanMs;
    bool m_following = true;
    bool m_repaintDue = false;
    // A drag: where it started and the view then; a box zoom shows its band.
    QPoint m_dragStart;
    qint64 m_dragFrom = 0;
    qint64 m_dragTo = 0;
    bool m_dragging = false;
    bool m_boxing = false;
    QRubberBand *m_band = nullptr;
    QString m_hover;
};
