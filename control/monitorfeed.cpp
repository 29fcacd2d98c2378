#include "control/monitorfeed.h"

#include "control/portmessages.h"
#include "control/pumpconsole.h"
#include "control/pumpmonitor.h"
#include "link/wire/commandframes.h"

#include <limits>
#include <QDateTime>

using namespace Qt::StringLiterals;
using namespace monitormessages;

namespace {

// The command of a frame, from its letter (the line carries no more than that), in the run
// log's words.
QString commandWord(const QByteArray &frame)
{
    const auto command = commandframes::parse(frame);
    switch (command ? command->letter : 0) {
    case 'R':
        return u"run"_s;
    case 'S':
        return u"stop"_s;
    case 'L':
        return u"flow"_s;
    case 'P':
        return u"limit"_s;
    default:
        return u"command"_s;
    }
}

// Now, with the local offset looked up once a minute: the time zone costs more to ask than
// the rest of a reply's handling.
WallTime wallNow()
{
    static qint64 minute = std::numeric_limits<qint64>::min();
    static int offset = 0;
    const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
    if (utcMs / 60000 != minute) {
        minute = utcMs / 60000;
        offset = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc();
    }
    return {utcMs, offset};
}

MonitorEvent happenedNow(EventKind kind)
{
    MonitorEvent event;
    event.kind = kind;
    event.time = wallNow();
    return event;
}

} // namespace

FrameTap::FrameTap(PumpPort &port, QObject *parent) : PumpPort(parent), m_port(port)
{
    connect(&m_port, &PumpPort::readyRead, this, &PumpPort::readyRead);
    connect(&m_port, &PumpPort::connectionLost, this, &PumpPort::connectionLost);
}

PortStatus FrameTap::writeFrame(const QByteArray &frame)
{
    PortStatus status = m_port.write(frame);
    Q_EMIT frameWritten(frame, status);
    return status;
}

MonitorFeed::MonitorFeed(const PumpConsole &console, FrameTap &tap, PumpMonitor &monitor,
                         QObject *parent)
    : QObject(parent), m_console(console), m_tap(tap), m_monitor(monitor),
      m_flow(console.readouts().caption(Readout::Flow)),
      m_pressureLimit(console.readouts().caption(Readout::PressureLimit))
{
    connect(&console.readouts(), &Readouts::captionChanged, this, [this](Readout readout) {
        // The pressure's read-out moves with each reply, which onPressure handles.
        if (readout == Readout::Flow || readout == Readout::PressureLimit ||
            readout == Readout::RunState || readout == Readout::EntryMode) {
            showPanel();
        }
    });
    connect(&console.link(), &PumpLink::pressureReported, this,
            [this](const QString &, std::optional<double> mpa) { onPressure(mpa); });
    connect(&console.link(), &PumpLink::lineLost, this, &MonitorFeed::onLineLost);
    connect(&console, &PumpConsole::connectedChanged, this, &MonitorFeed::onConnectedChanged);
    connect(&tap, &FrameTap::frameWritten, this, &MonitorFeed::onFrame);
    showPanel();
}

PanelState MonitorFeed::panel() const
{
    const Readouts &readouts = m_console.readouts();
    const EntryField open = m_console.keypad().field();
    PanelState state;
    state.connected = m_console.isConnected();
    state.port = m_tap.device();
    state.runState = readouts.caption(Readout::RunState);
    // A half-typed keypad entry is not a setpoint yet.
    state.flow = open == EntryField::Flow ? m_flow : readouts.caption(Readout::Flow);
    state.pressureLimit = open == EntryField::PressureLimit
                              ? m_pressureLimit
                              : readouts.caption(Readout::PressureLimit);
    state.pressure = readouts.caption(Readout::Pressure);
    state.pressureAt = m_pressureAt;
    state.live = state.connected && m_replySinceConnect;
    return state;
}

void MonitorFeed::showPanel()
{
    const PanelState state = panel();
    m_flow = state.flow;
    m_pressureLimit = state.pressureLimit;
    m_monitor.showPanel(state);
}

void MonitorFeed::onPressure(std::optional<double> mpa)
{
    if (mpa) {
        const WallTime now = wallNow();
        m_pressureAt = now;
        m_replySinceConnect = true;
        m_monitor.pressureArrived(now, *mpa);

        // Told when the first value finds no room, as the operator is.
        const PressureRecord &record = m_console.record();
        if (record.size() < m_recordSize) {
            m_recordFullTold = false; // a new record
        }
        if (record.isFull() && record.size() == m_recordSize && !m_recordFullTold) {
            m_recordFullTold = true;
            MonitorEvent full = happenedNow(EventKind::RecordFull);
            full.limit = record.limit();
            m_monitor.eventHappened(full);
        }
        m_recordSize = record.size();
    }
    showPanel();
}

void MonitorFeed::onFrame(const QByteArray &frame, const PortStatus &status)
{
    MonitorEvent sent =
        happenedNow(status.ok() ? EventKind::CommandSent : EventKind::CommandNotSent);
    sent.command = commandWord(frame);
    sent.frame = frame;
    if (!status.ok()) {
        sent.reason = status.error == PortError::NotOpen ? u"串口尚未打开"_s : status.detail;
    }
    m_monitor.eventHappened(sent);
}

void MonitorFeed::onConnectedChanged(bool connected)
{
    if (connected) {
        m_replySinceConnect = false;
        if (std::exchange(m_lineWasLost, false)) {
            MonitorEvent back = happenedNow(EventKind::LineBack);
            back.port = m_tap.device();
            m_monitor.eventHappened(back);
        }
    }
    showPanel();
}

void MonitorFeed::onLineLost(const LineLoss &loss)
{
    m_lineWasLost = true;
    MonitorEvent lost = happenedNow(EventKind::LineLost);
    lost.port = loss.device;
    lost.reason = portmessages::lineLost(loss).replace(u"\r\n"_s, u" "_s).trimmed();
    m_monitor.eventHappened(lost);
}
