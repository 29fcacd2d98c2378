#pragma once
// Repaints of one window at most once per interval. Under a burst of pump replies every pass of
// the event loop changes the read-outs and the chart, and each pass would repaint them and hand
// the pixels to the display server, hundreds of times between two frames any screen can show.
// A repaint asked for after a quiet interval (every reply at the line rate) goes at once; one
// asked for sooner waits for the interval's end and takes with it whatever changed meanwhile.
// Nothing is lost: Qt keeps the areas to repaint, the pacer only chooses when they are painted.

#include <chrono>
#include <optional>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

class FramePacer final : public QObject
{
public:
    FramePacer(QWidget *window, std::chrono::milliseconds interval);
    ~FramePacer() override;
    FramePacer(const FramePacer &) = delete;
    FramePacer &operator=(const FramePacer &) = delete;

    // How long a repaint asked for `sinceFrame` after the last one has to wait (zero: none);
    // nothing painted yet counts as a quiet interval.
    [[nodiscard]] static std::chrono::nanoseconds
    waitFor(std::optional<std::chrono::nanoseconds> sinceFrame, std::chrono::milliseconds interval);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintWaiting();

    QPointer<QWidget> m_window;
    std::chrono::milliseconds m_interval;
    QElapsedTimer m_sinceFrame; // invalid until the first repaint
    QTimer m_wait;
    bool m_releasing = false;
};
