#pragma once
// One pump on a line, by its number: what its read-outs show, its setpoints, the record of its
// pressures, the watch on its pressure going stale, its timed run and its safety stop. It speaks to
// the pump through the line's frame sender; a second pump is a second Pump on the same or another
// line.

#include "control/pump/pressurewatch.h"
#include "control/pump/readouts.h"
#include "control/pump/safetyenvelope.h"
#include "control/pump/setpoints.h"
#include "control/pump/timedrun.h"
#include "control/record/pressurerecord.h"
#include "link/pumplink.h"

#include <optional>
#include <QObject>

class Clock;
class FrameSender;
class OperatorBoxes;
class RunEvents;
class Ticker;

// The clocks a pump keeps its time with; they must outlive it.
struct PumpTimers
{
    Ticker &second;      // the timed run's tick, once a second while it runs
    Ticker &staleCheck;  // paces the pressure read-out's check, a few times a second
    Ticker &safetyCheck; // paces the safety stop's silence check, ten or more times a second
    Clock &clock;
};

// How a pump's frames name it. The panel's pump writes its run, stop and dialog frames with
// "Q0" and the number as it always has; a pump added by its number writes the two-digit number
// in every frame, so that pumps sharing a line each read nine characters.
enum class FrameForm { Panel, Numbered };

struct PortStatus;

class Pump : public QObject
{
    Q_OBJECT
public:
    Pump(FrameSender &sender, RunEvents &events, OperatorBoxes &boxes, const PumpTimers &timers,
         FrameForm form = FrameForm::Panel, QObject *parent = nullptr);
    ~Pump() override;

    const Readouts &readouts() const { return m_readouts; }
    Readouts &readouts() { return m_readouts; }
    const Setpoints &setpoints() const { return m_setpoints; }
    Setpoints &setpoints() { return m_setpoints; }
    const TimedRun &timedRun() const { return m_timedRun; }
    TimedRun &timedRun() { return m_timedRun; }
    const PressureRecord &record() const { return m_record; }
    const PressureWatch &pressureWatch() const { return m_pressureWatch; }
    const SafetyEnvelope &safety() const { return m_safety; }
    void setSafetyLimits(const safety::Limits &limits) { m_safety.setLimits(limits); }

    // Returns whether the frame went out; a failure has been told. Run commands are refused
    // while a safety stop is unacknowledged.
    bool run();
    bool stop();
    // The stop frame, reported to the run's events but not told: the caller gathers failures
    // of several pumps into one message.
    [[nodiscard]] PortStatus stopQuietly();
    // Whether the last run or stop command that went out for this pump was a run, and no
    // safety stop came since. What the console asked for; the pump's own state is not known.
    bool isRunning() const { return m_running; }

    // One reply of this pump, in this order: the safety band (a pressure outside it stops the
    // pump before anything else happens), the run's event, the read-out (not `keptReadout`,
    // which the keypad is typing into), the record, the stale watch.
    void handleReply(const PumpReply &reply, std::optional<Readout> keptReadout = std::nullopt);
    // A run command is about to go out from elsewhere (a program): refused, with a box, while a
    // safety stop is unacknowledged.
    [[nodiscard]] bool refusesRun() { return m_safety.refusesRun(); }
    void startTimedRun();
    void resumeTimedRun();

    // A pressure reply's value, judged against the safety band before anything else is done
    // with it. Returns whether it stopped the pump.
    bool guardPressure(double mpa) { return m_safety.pressureArrived(mpa); }

    // Keeps a pressure the pump reported; the first one that no longer fits is told, once.
    void recordPressure(double mpa);
    // The pump reported its pressure: the read-out is live.
    void pressureArrived() { m_pressureWatch.pressureArrived(); }
    // A line to the pump has been opened.
    void lineOpened();
    // The line closed or went away.
    void lineEnded() { m_safety.lineEnded(); }
    // A smaller record bound, for tests that want to reach it quickly. Clears the record.
    void setRecordLimit(qsizetype limit);

Q_SIGNALS:
    // Something the panel shows of this pump changed, other than the pressure read-out, which
    // moves with every reply (its reply is announced when handled).
    void changed();
    // The safety stop's limits or state changed.
    void safetyChanged();
    // The safety stop has just stopped this pump.
    void safetyTripped();
    // A pressure reply of this pump has been handled; `mpa` is empty when it was no number.
    void pressureHandled(std::optional<double> mpa);

private:
    QByteArray frame(char letter) const;

    FrameSender &m_sender;
    RunEvents &m_events;
    FrameForm m_form;
    int m_watcherKey;
    bool m_running = false;
    OperatorBoxes &m_boxes;
    Readouts m_readouts;
    Setpoints m_setpoints;
    TimedRun m_timedRun;
    PressureRecord m_record;
    bool m_recordFullTold = false;
    PressureWatch m_pressureWatch;
    SafetyEnvelope m_safety;
};
