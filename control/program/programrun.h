#pragma once
// Running a program on a pump, unattended: each step's frames at its start, a ramp's frames
// as its value changes, the stop frame at the end; with pause, continue and abort. The
// program's clock is the console's steady clock, less the time spent paused: a tick only looks
// at it, so a late or missed tick never shifts a step. A timed run and a program never drive
// the pump at once; a stop frame for its pump from anywhere else (menu, popup, keypad, the timed
// run, the pumps window) or a lost line pauses the program, a safety stop ends it.

#include "control/program/programsteps.h"

#include <QObject>
#include <QString>

class Clock;
class FrameSender;
class OperatorBoxes;
class Pump;
class RunEvents;
class Ticker;

class ProgramRun : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Running, Paused };
    // How the last run ended, for whoever shows it.
    enum class Outcome { None, Ended, Aborted, SafetyStopped };

    // `ticker` paces the look at the clock, ten or more times a second, while running.
    ProgramRun(Pump &pump, FrameSender &sender, RunEvents &events, OperatorBoxes &boxes,
               Clock &clock, Ticker &ticker, QObject *parent = nullptr);
    ~ProgramRun() override;

    State state() const { return m_state; }
    bool isActive() const { return m_state != State::Idle; }
    Outcome outcome() const { return m_outcome; }
    // The program last started, and where it is (or stopped): its name, steps, the step
    // (from 0; -1 before any), the time on its clock and its length.
    const QString &name() const { return m_name; }
    const program::Steps &steps() const { return m_steps; }
    qsizetype step() const { return m_step; }
    program::Ms elapsed() const;
    program::Ms length() const;

    // Refused with a box, nothing written, when the steps cannot be run, a timed run is in
    // progress, a safety stop is unacknowledged or a program is already running. Returns
    // whether it started.
    bool start(const program::Steps &steps, const QString &name);
    void pause();
    void resume();
    void abort();
    // Ends it with its stop frame, `note` telling the run log why.
    void abortFor(const QString &note);

    // The line closed or went away.
    void lineEnded();
    void tick();

Q_SIGNALS:
    // The state, the step or the elapsed second changed.
    void changed();

private:
    void enterStep(qsizetype step);
    // The current step's frames after `after`, from the value it has then.
    void planRestOfStep(program::Ms after);
    // Pauses at `at` on its clock, `note` telling the run log why: a frame that did not go out
    // pauses it at the time it was due, not after the box that told it.
    void pauseFor(const QString &note, program::Ms at);
    void finish();
    void close(Outcome outcome, const QString &note);
    bool write(const program::Write &w, bool operatorCommand);
    void onSafetyStop();
    void tell(const QString &text);

    Pump &m_pump;
    FrameSender &m_sender;
    RunEvents &m_events;
    OperatorBoxes &m_boxes;
    Clock &m_clock;
    Ticker &m_ticker;

    State m_state = State::Idle;
    Outcome m_outcome = Outcome::None;
    QString m_name;
    program::Steps m_steps;
    std::vector<program::Ms> m_bounds;
    qsizetype m_step = -1;
    std::vector<program::Write> m_writes; // the current step's frames still to come
    std::size_t m_next = 0;
    program::Ms m_banked{0};    // the program's time up to the last pause
    program::Ms m_resumedAt{0}; // the steady clock when it last started or continued
    // The steady clock before which the stop owed at the end is not tried again.
    program::Ms m_nextStopTry = program::Ms::min();
    qint64 m_shownSecond = -1;
    bool m_inTick = false;
    bool m_writing = false; // a frame of the program's own is going out
    int m_watcherKey = 0;
};
