#pragma once
// What the operator's actions do, for a window to call and mirror. Each job is a small class
// of its own (the connection, the frame sender, the setpoints, the keypad entry, the timed
// run, the record); this class puts them together, shows the pump's replies in the read-outs
// and records the pressures. It links QtCore only: the port, the boxes and the ticker come from
// outside.

#include "control/framesender.h"
#include "control/keypadentry.h"
#include "control/portconnection.h"
#include "control/pressurerecord.h"
#include "control/pressurewatch.h"
#include "control/readouts.h"
#include "control/reconnector.h"
#include "control/runevents.h"
#include "control/setpoints.h"
#include "control/timedrun.h"
#include "link/pumplink.h"

#include <memory>
#include <optional>
#include <QObject>
#include <QString>

class Clock;
class OperatorBoxes;
class PortInfoSource;
class PumpPort;
class RunLog;
class Ticker;
struct RunLogOptions;

// What the console watches the line with. A part left null gets the real one; without `ports`
// (the system's list needs the serial library, which this layer does not link) the port box
// offers only the aliases and no adapter is reopened.
struct LineWatchParts
{
    PortInfoSource *ports = nullptr;
    Clock *clock = nullptr;
    Ticker *staleTicker = nullptr; // paces the pressure read-out's check, a few times a second
    Ticker *pollTicker = nullptr;  // paces the look for a lost adapter, once a second
};

class PumpConsole : public QObject
{
    Q_OBJECT
public:
    PumpConsole(PumpPort &port, OperatorBoxes &boxes, Ticker &ticker, QObject *parent = nullptr);
    PumpConsole(PumpPort &port, OperatorBoxes &boxes, Ticker &ticker, const LineWatchParts &watch,
                QObject *parent = nullptr);
    ~PumpConsole() override;

    const Readouts &readouts() const { return m_readouts; }
    const ChartDrawing &chart() const { return m_link.chart(); }
    const PressureRecord &record() const { return m_record; }
    const Setpoints &setpoints() const { return m_setpoints; }
    const KeypadEntry &keypad() const { return m_keypad; }
    const TimedRun &timedRun() const { return m_timedRun; }
    const PumpLink &link() const { return m_link; }
    const PressureWatch &pressureWatch() const { return m_pressureWatch; }
    const Reconnector &reconnector() const { return m_reconnector; }
    bool isConnected() const { return m_connection.isConnected(); }

    // A smaller record bound, for tests that want to reach it quickly. Clears the record.
    void setRecordLimit(qsizetype limit);
    // Where saveRecord() writes: the default place unless one was set.
    QString recordPath() const;
    void setRecordPath(const QString &path) { m_recordPath = path; }

    // Everything that happens on the line, timed, for the run log and anyone else to follow.
    const RunEvents &events() const { return m_events; }
    // Tests stamp the events with a clock of their own; it must outlive the console.
    void setRunClock(RunClock &clock) { m_events.setClock(clock); }
    // From now on every connection writes a run log into `options.folder`. Off until called,
    // so that a console in a test writes nothing where the operator keeps logs.
    void startRunLog(const RunLogOptions &options);
    RunLog *runLog() { return m_runLog.get(); }
    // Where the run logs go (the folder the menu opens), whether or not the log is on.
    QString runLogFolder() const;

public Q_SLOTS:
    void choosePort();
    // As if the operator had answered the port box with `answer` (the command line's --port).
    void connectTo(const QString &answer);
    void closeLine();

    void runPump();
    void stopPump();
    // The keypad's RUN and STOP also show what they sent in the run-state read-out.
    void runFromKeypad();
    void stopFromKeypad();

    void askFlow();
    void askPressureLimit();
    void askPumpNumber();

    void beginFlowEntry();
    void beginPressureLimitEntry();
    void pressDigit(int digit);

    void askRunLength();
    void startTimedRun();
    void pauseTimedRun();
    void resumeTimedRun();
    void endTimedRun();

    void saveRecord();

Q_SIGNALS:
    // The menus that talk to the pump follow this.
    void connectedChanged(bool connected);
    // A lost adapter came back and its line is open again, on `device`.
    void lineRestored(const QString &device);

private:
    void showPressure(const QString &text, std::optional<double> mpa);

    PumpPort &m_port;
    OperatorBoxes &m_boxes;
    // The real parts of the line watch where none were given.
    std::unique_ptr<PortInfoSource> m_ownPorts;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<Ticker> m_ownStaleTicker;
    std::unique_ptr<Ticker> m_ownPollTicker;
    PortInfoSource &m_ports;
    RunEvents m_events;
    Readouts m_readouts;
    PumpLink m_link;
    FrameSender m_sender;
    PortConnection m_connection;
    Setpoints m_setpoints;
    KeypadEntry m_keypad;
    TimedRun m_timedRun;
    PressureRecord m_record;
    bool m_recordFullTold = false;
    // Looked up only when needed: finding the documents folder reads the user's settings, and
    // most consoles never save.
    std::optional<QString> m_recordPath;
    PressureWatch m_pressureWatch;
    Reconnector m_reconnector;
    std::unique_ptr<RunLog> m_runLog; // after everything whose events it writes
};
