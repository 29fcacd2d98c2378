#pragma once
// The safety stop of one pump: while the pump runs, a pressure outside the band the operator
// set, or no pressure at all for too long, stops it at once. The stop is latched until the
// operator acknowledges it: run commands are refused meanwhile, stop always goes. A stop that
// could not be written is owed, and goes out as soon as a line is open again.

#include "control/pump/safety.h"
#include "control/runlog/pumpcommand.h"

#include <chrono>
#include <functional>
#include <QByteArray>
#include <QObject>
#include <QString>

class Clock;
class FrameSender;
class OperatorBoxes;
class RunEvents;
class Ticker;

class SafetyEnvelope : public QObject
{
    Q_OBJECT
public:
    enum class State { Off, Armed, Latched };

    // `check` paces the silence check, several times a second, while armed. `stopFrame` makes
    // this pump's stop frame.
    SafetyEnvelope(FrameSender &sender, RunEvents &events, OperatorBoxes &boxes, Clock &clock,
                   Ticker &check, std::function<QByteArray()> stopFrame, QObject *parent = nullptr);

    const safety::Limits &limits() const { return m_limits; }
    void setLimits(const safety::Limits &limits);
    // Off also while limits are set but the pump is not running.
    State state() const;
    bool isArmed() const { return m_armed; }
    bool isLatched() const { return m_latched; }
    bool owesStop() const { return m_stopOwed; }

    // A frame went out: a run command arms, any stop disarms.
    void commandSent(PumpCommand command);
    // The pump reported `mpa`. Returns whether it tripped the stop (already written).
    bool pressureArrived(double mpa);
    // The line closed or went away: nothing runs that the console could watch.
    void lineEnded();
    // A line is open again: an owed stop goes out now.
    void lineOpened();
    // A run command is about to go out: refused, with a box, while a stop is unacknowledged.
    [[nodiscard]] bool refusesRun();
    // The operator has seen the stop.
    void acknowledge();

Q_SIGNALS:
    void stateChanged();
    // The pump was stopped by the envelope (also when the stop could not be written): a timed
    // run in progress ends.
    void tripped();

private:
    void paceSilenceCheck();
    void checkSilence();
    void trip(safety::Cause cause, double mpa);
    bool writeStop(const QString &note);
    void disarm();

    FrameSender &m_sender;
    RunEvents &m_events;
    OperatorBoxes &m_boxes;
    Clock &m_clock;
    Ticker &m_check;
    std::function<QByteArray()> m_stopFrame;
    safety::Limits m_limits;
    bool m_armed = false;
    bool m_latched = false;
    bool m_lowerReached = false;
    bool m_stopOwed = false;
    QString m_owedNote;
    std::chrono::milliseconds m_lastPressure{0}; // or the run frame, when none came since
};
