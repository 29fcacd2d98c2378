#pragma once
// Running the pump for a set number of minutes, counted in one-second ticks, with pause,
// continue and end. The elapsed time shows in the time display while the run counts.

#include <cmath>
#include <limits>
#include <QtGlobal>

class FrameSender;
class OperatorBoxes;
class Readouts;
class Setpoints;
class Ticker;

namespace timedrun {

// The elapsed count is a 16-bit number of seconds: 9 h 6 min 7 s at most.
inline constexpr qint16 maxElapsed = std::numeric_limits<qint16>::max();

// Whether a run of `minutes` is over after `elapsed` seconds. A run of no minutes (or fewer
// than none) is over at once.
[[nodiscard]] constexpr bool isUp(double minutes, qint16 elapsed) noexcept
{
    return !(minutes * 60.0 > elapsed);
}

// Whether the count can ever reach `minutes`; a longer run would never stop the pump.
[[nodiscard]] inline bool lengthFits(double minutes) noexcept
{
    const double seconds = minutes * 60.0;
    return std::isfinite(seconds) && seconds <= maxElapsed;
}

// Why a length is refused. A negative length is a run that is over at once and is taken as
// such, unless it is so far below zero that it cannot be counted in seconds at all.
enum class LengthProblem { None, TooLong, TooFarBelowZero };

[[nodiscard]] inline LengthProblem lengthProblem(double minutes) noexcept
{
    if (lengthFits(minutes)) {
        return LengthProblem::None;
    }
    return minutes < 0 ? LengthProblem::TooFarBelowZero : LengthProblem::TooLong;
}

} // namespace timedrun

class TimedRun
{
public:
    TimedRun(Ticker &ticker, FrameSender &sender, Readouts &readouts, OperatorBoxes &boxes,
             const Setpoints &setpoints);

    // Ticks go on while the box is open; the new time counts from the first tick after it.
    void askLength();
    void start();
    void pause();
    void resume();
    void end();
    // Ends a run the pump has already been stopped for (the safety stop): no frame.
    void abandon();
    void tick();

    double minutes() const { return m_minutes; }
    // Started or continued, and neither ended nor over: paused counts as in progress.
    bool isInProgress() const { return m_inProgress; }
    qint16 elapsedSeconds() const { return m_elapsed; }

private:
    Ticker &m_ticker;
    FrameSender &m_sender;
    Readouts &m_readouts;
    OperatorBoxes &m_boxes;
    const Setpoints &m_setpoints;
    double m_minutes = 0;
    qint16 m_elapsed = 0;
    bool m_inProgress = false;
};
