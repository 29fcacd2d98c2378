#include "control/pump/pressurewatch.h"

#include "control/seams/ticker.h"

namespace pressurewatch {

QString staleNote(qint64 seconds)
{
    return QStringLiteral("已有 %1 秒没有收到泵的压力数值，这里显示的是最后收到的压力。")
        .arg(seconds);
}

} // namespace pressurewatch

PressureWatch::PressureWatch(Clock &clock, Ticker &ticker, QObject *parent)
    : QObject(parent), m_clock(clock), m_ticker(ticker)
{
    // Before the first connection the read-out shows its start value, which claims nothing.
    m_ticker.stop();
    connect(&m_ticker, &Ticker::tick, this, &PressureWatch::check);
}

void PressureWatch::lineOpened()
{
    if (!m_pressureSeen) {
        m_since = m_clock.now();
    }
    m_ticker.start();
    check();
}

void PressureWatch::pressureArrived()
{
    m_pressureSeen = true;
    m_since = m_clock.now();
    setStaleSeconds(std::nullopt);
}

QString PressureWatch::note() const
{
    return m_staleSeconds ? pressurewatch::staleNote(*m_staleSeconds) : QString();
}

void PressureWatch::check()
{
    if (m_since) {
        setStaleSeconds(pressurewatch::staleSeconds(m_clock.now() - *m_since));
    }
}

void PressureWatch::setStaleSeconds(std::optional<qint64> seconds)
{
    if (m_staleSeconds == seconds) {
        return;
    }
    m_staleSeconds = seconds;
    Q_EMIT noteChanged(note());
}
