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
#include "control/readouts.h"
#include "control/runevents.h"
#include "control/setpoints.h"
#include "control/timedrun.h"
#include "link/pumplink.h"

#include <memory>
#include <QObject>
#include <QString>

class OperatorBoxes;
class PumpPort;
class RunLog;
class Ticker;
struct RunLogOptions;

class PumpConsole : public QObject
{
    Q_OBJECT
public:
    PumpConsole(PumpPort &port, OperatorBoxes &boxes, Ticker &ticker, QObject *parent = nullptr);
    ~PumpConsole() override;

    const Readouts &readouts() const { return m_readouts; }
    const ChartDrawing &chart() const { return m_link.chart(); }
    const PressureRecord &record() const { return m_record; }
    const Setpoints &setpoints() const { return m_setpoints; }
    const KeypadEntry &keypad() const { return m_keypad; }
    const TimedRun &timedRun() const { return m_timedRun; }
    const PumpLink &link() const { return m_link; }
    bool isConnected() const { return m_connection.isConnected(); }

    // A smaller record bound, for tests that want to reach it quickly. Clears the record.
    void setRecordLimit(qsizetype limit);
    // Where saveRecord() writes.
    QString recordPath() const { return m_recordPath; }
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

private:
    void showPressure(const QString &text, std::optional<double> mpa);

    PumpPort &m_port;
    OperatorBoxes &m_boxes;
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
    QString m_recordPath;
    std::unique_ptr<RunLog> m_runLog; // after everything whose events it writes
};
