#include "control/ticktimer.h"

#include <QTimer>

QtTickTimer::QtTickTimer(QObject *parent) : TickTimer(parent), m_timer(new QTimer(this))
{
    // The timed run counts ticks, not clock time: keep each tick as close to its second as Qt
    // allows.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TickTimer::Timer);
}

void QtTickTimer::setInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}

int QtTickTimer::interval() const
{
    return m_timer->interval();
}

void QtTickTimer::start()
{
    // QTimer::start() restarts a running timer, which would drop the part-second counted so far.
    if (!m_timer->isActive()) {
        m_timer->start();
    }
}

void QtTickTimer::stop()
{
    m_timer->stop();
}

bool QtTickTimer::isActive() const
{
    return m_timer->isActive();
}
