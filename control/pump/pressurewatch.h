#pragma once
// Whether the pressure read-out still shows the pump's pressure of now. The pump reports its
// pressure several times a second on its own; when those reports stop (a cable out between the
// adapter and the pump, a pump switched off) the read-out would keep the last value forever, as
// if it were live. After a few silent seconds it is marked stale, with a note saying for how
// long nothing has come, and the next pressure report makes it current again at once.

#include "control/seams/clock.h"

#include <chrono>
#include <optional>
#include <QObject>
#include <QString>

class Ticker;

namespace pressurewatch {

inline constexpr std::chrono::seconds staleAfter{3};

// For how many whole seconds no pressure has come, once that makes the read-out stale; nothing
// while it is current.
[[nodiscard]] constexpr std::optional<qint64>
staleSeconds(std::chrono::milliseconds silence) noexcept
{
    if (silence < staleAfter) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<std::chrono::seconds>(silence).count();
}

// What the read-out's tooltip and accessible description say while it is stale.
QString staleNote(qint64 seconds);

} // namespace pressurewatch

class PressureWatch : public QObject
{
    Q_OBJECT
public:
    // `ticker` paces the checks (a few times a second); it runs from the first connection on.
    PressureWatch(Clock &clock, Ticker &ticker, QObject *parent = nullptr);

    // A line has been opened. Silence counts from the last pressure report, or from now if
    // none has ever come. It goes on counting after the line is lost: the value shown is no
    // newer for that.
    void lineOpened();
    // The pump reported its pressure.
    void pressureArrived();

    // Seconds without a pressure report while the read-out is stale.
    std::optional<qint64> staleSeconds() const { return m_staleSeconds; }
    // Empty while the read-out is current.
    QString note() const;

Q_SIGNALS:
    // The note changed: the read-out became stale, stayed so for another second, or became
    // current again.
    void noteChanged(const QString &note);

private:
    void check();
    void setStaleSeconds(std::optional<qint64> seconds);

    Clock &m_clock;
    Ticker &m_ticker;
    std::optional<std::chrono::milliseconds> m_since; // what silence counts from
    bool m_pressureSeen = false;
    std::optional<qint64> m_staleSeconds;
};
