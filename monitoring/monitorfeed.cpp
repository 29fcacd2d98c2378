#include "monitoring/monitorfeed.h"

#include "control/pumpconsole.h"
#include "monitoring/pumpmonitor.h"

using namespace Qt::StringLiterals;
using namespace monitormessages;

namespace {

WallTime wallTime(const RunTime &time)
{
    return {time.utcMs, time.utcOffsetSeconds};
}

QString programStateName(ProgramRun::State state, ProgramRun::Outcome outcome)
{
    switch (state) {
    case ProgramRun::State::Running:
        return u"running"_s;
    case ProgramRun::State::Paused:
        return u"paused"_s;
    case ProgramRun::State::Idle:
        break;
    }
    return outcome == ProgramRun::Outcome::Ended ? u"ended"_s : u"aborted"_s;
}

} // namespace

MonitorFeed::MonitorFeed(const PumpConsole &console, PumpMonitor &monitor, QObject *parent)
    : QObject(parent), m_view([&console] { return console.view(); }),
      m_pumpNumber([&console] { return console.pump().setpoints().pumpNumber(); }),
      m_monitor(monitor), m_flow(console.view().flow), m_pressureLimit(console.view().pressureLimit)
{
    connect(&console, &PumpConsole::runEvent, this, &MonitorFeed::onRunEvent);
    connect(&console, &PumpConsole::pumpChanged, this, &MonitorFeed::showPanel);
    connect(&console, &PumpConsole::connectedChanged, this, &MonitorFeed::showPanel);
    showPanel();
}

MonitorFeed::MonitorFeed(const PumpLine &line, const Pump &pump, PumpMonitor &monitor,
                         QObject *parent)
    : QObject(parent), m_view([&line, &pump] { return viewOf(pump, line.isConnected()); }),
      m_pumpNumber([&pump] { return pump.setpoints().pumpNumber(); }), m_monitor(monitor),
      m_device(line.device()), m_flow(m_view().flow), m_pressureLimit(m_view().pressureLimit)
{
    connect(&line.events(), &RunEvents::runEvent, this, &MonitorFeed::onRunEvent);
    connect(&pump, &Pump::changed, this, &MonitorFeed::showPanel);
    connect(&pump, &Pump::pressureHandled, this, &MonitorFeed::showPanel);
    connect(&line, &PumpLine::connectedChanged, this, &MonitorFeed::showPanel);
    showPanel();
}

PanelState MonitorFeed::panel() const
{
    const PanelView view = m_view();
    PanelState state;
    state.connected = view.connected;
    state.port = m_device;
    state.runState = view.runState;
    // A half-typed keypad entry is not a setpoint yet.
    state.flow = view.typing == EntryField::Flow ? m_flow : view.flow;
    state.pressureLimit =
        view.typing == EntryField::PressureLimit ? m_pressureLimit : view.pressureLimit;
    state.pressure = view.pressure;
    state.pressureAt = m_pressureAt;
    state.live = state.connected && m_replySinceOpen && !view.stale;
    state.safetyUpper = view.safetyLimits.upper;
    state.safetyLower = view.safetyLimits.lower;
    state.safetySilenceSeconds = view.safetyLimits.silenceSeconds;
    state.safetyArmed = view.safetyArmed;
    state.safetyLatched = view.safetyLatched;
    state.program = view.programName;
    state.programState = programStateName(view.programState, view.programOutcome);
    state.programStep = view.programStep;
    state.programElapsedSeconds = view.programElapsedSeconds;
    return state;
}

void MonitorFeed::showPanel()
{
    const PanelState state = panel();
    m_flow = state.flow;
    m_pressureLimit = state.pressureLimit;
    m_monitor.showPanel(state);
}

void MonitorFeed::onRunEvent(const RunEvent &event)
{
    // The panel's line may carry pumps added beside the panel's: their events are theirs.
    if (event.pump && *event.pump != m_pumpNumber()) {
        return;
    }
    switch (event.kind) {
    case RunEventKind::Pressure:
        // A reply that is no number has no value: shown, but no pressure to publish.
        if (event.mpa) {
            m_pressureAt = wallTime(event.time);
            m_replySinceOpen = true;
            m_monitor.pressureArrived(*m_pressureAt, *event.mpa);
        }
        return; // the panel follows once the read-out shows the reply
    case RunEventKind::FlowSetpoint:
    case RunEventKind::PressureLimit:
    case RunEventKind::PumpNumber:
        return; // the read-outs carry these into the panel
    case RunEventKind::CommandSent:
        tell(EventKind::CommandSent, event);
        break;
    case RunEventKind::CommandNotSent:
        tell(EventKind::CommandNotSent, event);
        break;
    case RunEventKind::LineOpened:
    case RunEventKind::LineBack:
        lineOpened(event);
        break;
    case RunEventKind::LineLost:
        m_lineWasLost = true;
        tell(EventKind::LineLost, event);
        break;
    case RunEventKind::LineClosed:
        m_lineWasLost = false; // closed on purpose: whatever opens next is a new line
        break;
    case RunEventKind::RecordFull:
        tell(EventKind::RecordFull, event);
        break;
    case RunEventKind::SafetyStop:
        tell(EventKind::SafetyStop, event);
        break;
    case RunEventKind::SafetyStopNotSent:
        tell(EventKind::SafetyStopNotSent, event);
        break;
    case RunEventKind::SafetyAcknowledged:
        tell(EventKind::SafetyAcknowledged, event);
        break;
    case RunEventKind::Mark:
        tell(EventKind::Mark, event);
        return; // a mark changes nothing on the panel
    case RunEventKind::ProgramStart:
        tell(EventKind::ProgramStart, event);
        break;
    case RunEventKind::ProgramStep:
        tell(EventKind::ProgramStep, event);
        break;
    case RunEventKind::ProgramPause:
        tell(EventKind::ProgramPause, event);
        break;
    case RunEventKind::ProgramContinue:
        tell(EventKind::ProgramContinue, event);
        break;
    case RunEventKind::ProgramAbort:
        tell(EventKind::ProgramAbort, event);
        break;
    case RunEventKind::ProgramEnd:
        tell(EventKind::ProgramEnd, event);
        break;
    }
    showPanel();
}

void MonitorFeed::lineOpened(const RunEvent &event)
{
    m_device = event.note;
    m_replySinceOpen = false;
    // Opened again by hand after it was lost, or reopened by itself: either way it is back.
    if (std::exchange(m_lineWasLost, false) || event.kind == RunEventKind::LineBack) {
        tell(EventKind::LineBack, event);
    }
}

void MonitorFeed::tell(EventKind kind, const RunEvent &event)
{
    MonitorEvent told;
    told.kind = kind;
    told.time = wallTime(event.time);
    switch (kind) {
    case EventKind::CommandSent:
    case EventKind::CommandNotSent:
        told.command = pumpcommand::logName(event.command);
        told.frame = event.frame;
        told.reason = event.note;
        break;
    case EventKind::LineLost:
        told.port = m_device;
        told.reason = event.note;
        break;
    case EventKind::LineBack:
        told.port = m_device;
        break;
    case EventKind::RecordFull:
        told.limit = m_view().recordLimit;
        break;
    case EventKind::SafetyStop:
    case EventKind::SafetyStopNotSent:
        told.frame = event.frame;
        told.value = event.value;
        told.reason = event.note;
        break;
    case EventKind::SafetyAcknowledged:
        break;
    case EventKind::Mark:
        told.note = event.note;
        break;
    case EventKind::ProgramStart:
    case EventKind::ProgramStep:
    case EventKind::ProgramPause:
    case EventKind::ProgramContinue:
    case EventKind::ProgramAbort:
    case EventKind::ProgramEnd: {
        // The program as it stands at this event: the events come while it changes.
        const PanelView view = m_view();
        told.program = view.programName;
        told.programStep = view.programStep;
        told.programElapsedSeconds = view.programElapsedSeconds;
        told.value = event.value;
        told.reason = event.note;
        break;
    }
    }
    m_monitor.eventHappened(told);
}
