#include "control/seams/ticker.h"

#include <QTimer>

QtTicker::QtTicker(QObject *parent) : QtTicker(std::chrono::seconds(1), parent) {}

QtTicker::QtTicker(std::chrono::milliseconds interval, QObject *parent)
    : Ticker(parent), m_timer(new QTimer(this))
{
    // The timed run counts ticks, not clock time: keep each tick as close to its second as Qt
    // allows.
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(interval);
    connect(m_timer, &QTimer::timeout, this, &Ticker::tick);
}

void QtTicker::start()
{
    // QTimer::start() restarts a running timer, which would drop the part-second counted so far.
    if (!m_timer->isActive()) {
        m_timer->start();
    }
}

void QtTicker::stop()
{
    m_timer->stop();
}

bool QtTicker::isActive() const
{
    return m_timer->isActive();
}
