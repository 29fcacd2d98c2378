#pragma once
// What the operator's actions do, for a window to call and mirror: the panel. It holds the line
// and the pump the panel is set to, routes each of the pump's replies through one handler in a
// written order, and types keypad entries into that pump's read-outs. It links QtCore only:
// the port, the boxes, the tickers, the clock and the system's port list come from outside.

#include "control/keypadentry.h"
#include "control/line/pumpline.h"
#include "control/program/programrun.h"
#include "control/pump/pump.h"
#include "control/rig/pumprig.h"

#include <optional>
#include <QObject>
#include <QString>

class Clock;
class OperatorBoxes;
class PortInfoSource;
class PumpPort;
class Ticker;
struct RunLogOptions;

// Everything the console is driven through. Each must outlive the console.
struct ConsoleSeams
{
    PumpPort &port;
    OperatorBoxes &boxes;
    PortInfoSource &ports; // the system's serial ports, offered in the port box
    Clock &clock;
    Ticker &runTicker;     // the timed run's second
    Ticker &staleTicker;   // paces the pressure read-out's check, a few times a second
    Ticker &pollTicker;    // paces the look for a lost adapter, once a second
    Ticker &safetyTicker;  // paces the safety stop's silence check, ten or more times a second
    Ticker &programTicker; // paces a program's look at the clock, ten or more times a second
    // Ports and tickers for pumps added beside the panel's; without them none can be added.
    RigParts *rigParts = nullptr;
};

// The panel as a monitor sees it, read from the console at one instant.
struct PanelView
{
    bool connected = false;
    QString runState;
    QString flow;          // the flow read-out: a setpoint, or the keypad entry typed into it
    QString pressureLimit; // likewise
    QString pressure;
    EntryField typing = EntryField::None; // the keypad entry open, if any
    bool stale = false;                   // no pressure for a while
    qsizetype recordLimit = 0;            // how many pressures the record holds when full
    safety::Limits safetyLimits;
    bool safetyArmed = false;   // the pump runs with a limit set
    bool safetyLatched = false; // stopped by the safety stop, not yet acknowledged
    // The program last started (empty name: none yet), how it stands, its step from 1 and
    // the time on its clock.
    QString programName;
    ProgramRun::State programState = ProgramRun::State::Idle;
    ProgramRun::Outcome programOutcome = ProgramRun::Outcome::None;
    qsizetype programStep = 0;
    qint64 programElapsedSeconds = 0;
};

// What a monitor sees of `pump` on a line that is `connected`; no keypad entry is open.
PanelView viewOf(const Pump &pump, bool connected);

class PumpConsole : public QObject
{
    Q_OBJECT
public:
    explicit PumpConsole(const ConsoleSeams &seams, QObject *parent = nullptr);

    // The pump the panel is set to and the line it is on.
    const Pump &pump() const { return m_pump; }
    Pump &pump() { return m_pump; }
    const PumpLine &line() const { return m_line; }
    PumpLine &line() { return m_line; }
    const KeypadEntry &keypad() const { return m_keypad; }
    // Every pump the console drives, the panel's among them.
    PumpRig &rig() { return m_rig; }
    const PumpRig &rig() const { return m_rig; }
    const ProgramRun &program() const { return m_program; }
    ProgramRun &program() { return m_program; }

    const Readouts &readouts() const { return m_pump.readouts(); }
    const ChartDrawing &chart() const { return m_line.chart(); }
    bool isConnected() const { return m_line.isConnected(); }
    PanelView view() const;

    const safety::Limits &safetyLimits() const { return m_pump.safety().limits(); }
    SafetyEnvelope::State safetyState() const { return m_pump.safety().state(); }

    // Where saveRecord() writes: the default place unless one was set.
    QString recordPath() const;
    void setRecordPath(const QString &path) { m_recordPath = path; }

    // From now on every connection writes a run log into `options.folder`. Off until called,
    // so that a console in a test writes nothing where the operator keeps logs.
    void startRunLog(const RunLogOptions &options);
    QString runLogFolder() const { return m_line.runLogFolder(); }

public Q_SLOTS:
    void choosePort() { m_line.choosePort(); }
    // As if the operator had answered the port box with `answer` (the command line's --port).
    void connectTo(const QString &answer) { m_line.connectTo(answer); }
    void closeLine();

    void runPump() { (void)m_pump.run(); }
    void stopPump() { (void)m_pump.stop(); }
    // The keypad's RUN and STOP also show what they sent in the run-state read-out.
    void runFromKeypad();
    void stopFromKeypad();

    void askFlow() { m_pump.setpoints().askFlow(); }
    void askPressureLimit() { m_pump.setpoints().askPressureLimit(); }
    // Refused, with a box, while a program runs: its frames go to the pump it started on.
    void askPumpNumber();

    void beginFlowEntry() { m_keypad.begin(EntryField::Flow); }
    void beginPressureLimitEntry() { m_keypad.begin(EntryField::PressureLimit); }
    void pressDigit(int digit) { m_keypad.pressDigit(digit); }

    void askRunLength() { m_pump.timedRun().askLength(); }
    // Refused, with a box, while a program runs.
    void startTimedRun();
    void pauseTimedRun() { m_pump.timedRun().pause(); }
    void resumeTimedRun();
    void endTimedRun() { m_pump.timedRun().end(); }

    void saveRecord();
    // 标记: asks for a short note and writes the mark, timed when asked, to the run's events.
    void markMoment();
    // The safety band, from the dialog or the settings at start; empty fields are off.
    void setSafetyLimits(const safety::Limits &limits) { m_pump.setSafetyLimits(limits); }

Q_SIGNALS:
    // The menus that talk to the pump follow this.
    void connectedChanged(bool connected);
    // A lost adapter came back and its line is open again, on `device`.
    void lineRestored(const QString &device);
    // Everything that happens on the line, timed: the run log's rows, the monitor's events.
    void runEvent(const RunEvent &event);
    // Something the panel shows changed: after each reply once it has been handled, and
    // whenever a read-out other than the pressure or the stale note changes.
    void pumpChanged();
    // The safety stop's limits or state changed.
    void safetyChanged();

private:
    void handleReply(PumpLine &line, const PumpReply &reply);
    void onConnectedChanged(bool connected);
    // Nothing else may drive the pump or change its number while a program does; `what` is
    // what was refused, as the box names it.
    bool programRefuses(const QString &what, const QString &title);

    OperatorBoxes &m_boxes;
    PumpLine m_line;
    Pump m_pump;
    KeypadEntry m_keypad;
    PumpRig m_rig; // after the panel's line and pump, which it routes replies to
    ProgramRun m_program;
    // Looked up only when needed: finding the documents folder reads the user's settings, and
    // most consoles never save.
    std::optional<QString> m_recordPath;
};
