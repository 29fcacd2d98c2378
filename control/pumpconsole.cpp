#include "control/pumpconsole.h"

#include "control/record/recordfile.h"
#include "control/seams/operatorboxes.h"

#include <QDir>

namespace {

const QString saveTitle = QStringLiteral("存储数据");

// Where each kind of reply goes: its event in the run, and the read-out that shows it.
struct ReplyPlace
{
    RunEventKind event;
    Readout readout;
};

ReplyPlace placeOf(PumpReply::Kind kind)
{
    switch (kind) {
    case PumpReply::Kind::PressureLimit:
        return {RunEventKind::PressureLimit, Readout::PressureLimit};
    case PumpReply::Kind::FlowSetpoint:
        return {RunEventKind::FlowSetpoint, Readout::Flow};
    case PumpReply::Kind::Pressure:
        break;
    }
    return {RunEventKind::Pressure, Readout::Pressure};
}

// The read-out the keypad entry `field` is being typed into, if any.
std::optional<Readout> typedInto(EntryField field)
{
    switch (field) {
    case EntryField::Flow:
        return Readout::Flow;
    case EntryField::PressureLimit:
        return Readout::PressureLimit;
    case EntryField::None:
        break;
    }
    return std::nullopt;
}

} // namespace

PumpConsole::PumpConsole(const ConsoleSeams &seams, QObject *parent)
    : QObject(parent), m_boxes(seams.boxes),
      m_line(seams.port, seams.boxes, seams.ports, seams.clock, seams.pollTicker),
      m_pump(m_line.sender(), m_line.events(), seams.boxes,
             PumpTimers{seams.runTicker, seams.staleTicker, seams.safetyTicker, seams.clock}),
      m_keypad(m_pump.readouts(), m_line.sender(), seams.boxes, m_pump.setpoints())
{
    connect(&m_line, &PumpLine::replyReceived, this, &PumpConsole::handleReply);
    connect(&m_line, &PumpLine::connectedChanged, this, &PumpConsole::onConnectedChanged);
    connect(&m_line, &PumpLine::lineRestored, this, &PumpConsole::lineRestored);
    connect(&m_line.events(), &RunEvents::runEvent, this, &PumpConsole::runEvent);
    connect(&m_pump, &Pump::changed, this, &PumpConsole::pumpChanged);
    connect(&m_pump, &Pump::safetyChanged, this, &PumpConsole::safetyChanged);
}

// Every pump number on the line is the one pump's, as the console has always taken them.
void PumpConsole::handleReply(const PumpReply &reply)
{
    Pump &pump = m_pump;
    // 0. The safety band: a pressure outside it stops the pump before anything else happens.
    if (reply.kind == PumpReply::Kind::Pressure && reply.mpa) {
        (void)pump.guardPressure(*reply.mpa);
    }
    // 1. The run's event, with the frame as it came: before whatever the reply causes (the
    //    record filling up), so that the log and the monitor tell them in that order. A
    //    pressure that is not a number has no value.
    const ReplyPlace place = placeOf(reply.kind);
    const bool noNumber = reply.kind == PumpReply::Kind::Pressure && !reply.mpa;
    m_line.events().reply(place.event, noNumber ? QString() : reply.text, reply.frame, reply.mpa);
    // 2. The read-out. An entry typed on the keypad lives in its read-out; overwriting it
    //    half-way would leave the entry at a length that never completes and lock the keypad.
    if (typedInto(m_keypad.field()) != place.readout) {
        pump.readouts().setCaption(place.readout, reply.text);
    }
    if (reply.kind == PumpReply::Kind::Pressure) {
        // 3. The record, of the pressures that are numbers.
        if (reply.mpa) {
            pump.recordPressure(*reply.mpa);
        }
        // 4. The stale watch: any pressure reply shows the pump is talking.
        pump.pressureArrived();
    }
    // 5. Whoever mirrors the panel, once the reply is in it.
    Q_EMIT pumpChanged();
}

void PumpConsole::onConnectedChanged(bool connected)
{
    Q_EMIT connectedChanged(connected);
    if (connected) {
        m_pump.lineOpened();
    } else {
        m_pump.lineEnded();
    }
}

void PumpConsole::closeLine()
{
    m_pump.lineEnded();
    m_line.close();
}

PanelView PumpConsole::view() const
{
    const Readouts &readouts = m_pump.readouts();
    PanelView view;
    view.connected = isConnected();
    view.runState = readouts.caption(Readout::RunState);
    view.flow = readouts.caption(Readout::Flow);
    view.pressureLimit = readouts.caption(Readout::PressureLimit);
    view.pressure = readouts.caption(Readout::Pressure);
    view.typing = m_keypad.field();
    view.stale = m_pump.pressureWatch().staleSeconds().has_value();
    view.recordLimit = m_pump.record().limit();
    view.safetyLimits = m_pump.safety().limits();
    view.safetyArmed = m_pump.safety().isArmed();
    view.safetyLatched = m_pump.safety().isLatched();
    return view;
}

void PumpConsole::runFromKeypad()
{
    // The read-out tells what the keypad last sent, so it changes only once the frame is out.
    if (m_pump.run()) {
        m_pump.readouts().setCaption(Readout::RunState, readoutText::running);
    }
}

void PumpConsole::stopFromKeypad()
{
    if (m_pump.stop()) {
        m_pump.readouts().setCaption(Readout::RunState, readoutText::stopped);
    }
}

QString PumpConsole::recordPath() const
{
    return m_recordPath ? *m_recordPath : recordfile::defaultRecordPath();
}

void PumpConsole::saveRecord()
{
    const QString path = recordPath();
    const recordfile::SaveResult saved = recordfile::saveRecord(path, m_pump.record().values());
    if (!saved.ok) {
        m_boxes.tell(QStringLiteral("压力记录未能保存到 %1：%2")
                         .arg(QDir::toNativeSeparators(path), saved.error),
                     saveTitle);
        return;
    }
    // Only now: the operator takes this box as the word that the record is safe on disk.
    m_boxes.tell(QStringLiteral("当前压力数值以存储"), saveTitle);
}
