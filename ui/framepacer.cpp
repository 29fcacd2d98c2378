#include "ui/framepacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

FramePacer::FramePacer(QWidget *window, std::chrono::milliseconds interval)
    : m_window(window), m_interval(interval)
{
    m_wait.setSingleShot(true);
    // A coarse timer may fire a few milliseconds late, which is the lag a flood would show.
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &FramePacer::paintWaiting);
    if (m_window) {
        m_window->installEventFilter(this);
    }
}

FramePacer::~FramePacer()
{
    if (m_window) {
        m_window->removeEventFilter(this);
    }
    // A held-back request would otherwise be the window's last: Qt asks again only once it has
    // been answered.
    if (m_wait.isActive()) {
        m_wait.stop();
        paintWaiting();
    }
}

std::chrono::nanoseconds FramePacer::waitFor(std::optional<std::chrono::nanoseconds> sinceFrame,
                                             std::chrono::milliseconds interval)
{
    if (!sinceFrame || *sinceFrame >= interval || *sinceFrame < std::chrono::nanoseconds::zero()) {
        return std::chrono::nanoseconds::zero();
    }
    return interval - *sinceFrame;
}

bool FramePacer::eventFilter(QObject *watched, QEvent *event)
{
    // The window's repaint request gathers every widget's changes of the pass; anything else,
    // and the request this pacer sends itself, passes untouched.
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_releasing) {
        return false;
    }
    if (m_wait.isActive()) {
        return true; // already waiting: the repaint at the interval's end takes this one along
    }
    const auto since = m_sinceFrame.isValid()
                           ? std::optional(std::chrono::nanoseconds(m_sinceFrame.nsecsElapsed()))
                           : std::nullopt;
    const auto wait = waitFor(since, m_interval);
    if (wait == std::chrono::nanoseconds::zero()) {
        m_sinceFrame.start();
        return false;
    }
    // Rounded up, so that the repaint never comes before the interval is over.
    m_wait.start(std::chrono::ceil<std::chrono::milliseconds>(wait));
    return true;
}

void FramePacer::paintWaiting()
{
    if (!m_window) {
        return;
    }
    m_sinceFrame.start();
    // The window paints what it has gathered since the request that was held back; Qt posts no
    // new request while one is outstanding, so this one has to be sent.
    m_releasing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
