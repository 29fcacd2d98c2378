#include "control/pump/pump.h"

#include "control/line/framesender.h"
#include "control/runlog/runevents.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/pumpport.h"
#include "link/wire/commandframes.h"

namespace {

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

} // namespace

Pump::Pump(FrameSender &sender, RunEvents &events, OperatorBoxes &boxes, const PumpTimers &timers,
           FrameForm form, QObject *parent)
    : QObject(parent), m_sender(sender), m_events(events), m_form(form), m_boxes(boxes),
      m_setpoints(boxes, sender, events),
      m_timedRun(timers.second, sender, m_readouts, boxes, m_setpoints),
      m_pressureWatch(timers.clock, timers.staleCheck),
      m_safety(sender, events, boxes, timers.clock, timers.safetyCheck,
               [this] { return frame('S'); })
{
    // Only this pump's commands arm and disarm its envelope: others may share the line.
    m_watcherKey = sender.addSentWatcher([this](PumpCommand command, const QByteArray &sent) {
        if (commandframes::pumpOf(sent) != m_setpoints.pumpNumber()) {
            return;
        }
        if (pumpcommand::runs(command) || pumpcommand::stops(command)) {
            const bool running = pumpcommand::runs(command);
            if (running != m_running) {
                m_running = running;
                Q_EMIT changed();
            }
        }
        m_safety.commandSent(command);
    });
    // Stopped by the envelope: the timed run is over, as if ended, without a second stop.
    connect(&m_safety, &SafetyEnvelope::tripped, this, [this] {
        m_running = false;
        m_timedRun.abandon();
        Q_EMIT safetyTripped();
    });
    connect(&m_safety, &SafetyEnvelope::stateChanged, this, &Pump::safetyChanged);
    connect(&m_safety, &SafetyEnvelope::stateChanged, this, &Pump::changed);
    timers.second.stop();
    connect(&timers.second, &Ticker::tick, this, [this] { m_timedRun.tick(); });
    connect(&m_readouts, &Readouts::captionChanged, this, [this](Readout readout) {
        if (readout != Readout::Pressure) {
            Q_EMIT changed();
        }
    });
    connect(&m_pressureWatch, &PressureWatch::noteChanged, this, &Pump::changed);
}

Pump::~Pump()
{
    m_sender.removeSentWatcher(m_watcherKey);
}

QByteArray Pump::frame(char letter) const
{
    const qint16 number = m_setpoints.pumpNumber();
    if (m_form == FrameForm::Numbered) {
        return commandframes::numbered(number, letter);
    }
    return letter == 'R' ? commandframes::run(number) : commandframes::stop(number);
}

void Pump::handleReply(const PumpReply &reply, std::optional<Readout> keptReadout)
{
    const bool pressure = reply.kind == PumpReply::Kind::Pressure;
    // 0. The safety band.
    if (pressure && reply.mpa) {
        (void)guardPressure(*reply.mpa);
    }
    // 1. The run's event, with the frame as it came: before whatever the reply causes (the
    //    record filling up), so that the log and the monitor tell them in that order. A
    //    pressure that is not a number has no value.
    const ReplyPlace place = placeOf(reply.kind);
    m_events.reply(m_setpoints.pumpNumber(), place.event,
                   pressure && !reply.mpa ? QString() : reply.text, reply.frame, reply.mpa);
    // 2. The read-out. An entry typed on the keypad lives in its read-out; overwriting it
    //    half-way would leave the entry at a length that never completes and lock the keypad.
    if (keptReadout != place.readout) {
        m_readouts.setCaption(place.readout, reply.text);
    }
    if (pressure) {
        // 3. The record, of the pressures that are numbers.
        if (reply.mpa) {
            recordPressure(*reply.mpa);
        }
        // 4. The stale watch: any pressure reply shows the pump is talking.
        pressureArrived();
        Q_EMIT pressureHandled(reply.mpa);
    }
}

bool Pump::run()
{
    if (m_safety.refusesRun()) {
        return false;
    }
    return m_sender.send(frame('R'), PumpCommand::Run);
}

void Pump::startTimedRun()
{
    if (!m_safety.refusesRun()) {
        m_timedRun.start();
    }
}

void Pump::resumeTimedRun()
{
    if (!m_safety.refusesRun()) {
        m_timedRun.resume();
    }
}

void Pump::lineOpened()
{
    m_pressureWatch.lineOpened();
    m_safety.lineOpened();
}

bool Pump::stop()
{
    return m_sender.send(frame('S'), PumpCommand::Stop);
}

PortStatus Pump::stopQuietly()
{
    return m_sender.sendQuietly(frame('S'), PumpCommand::Stop);
}

void Pump::recordPressure(double mpa)
{
    if (m_record.add(mpa) || m_recordFullTold) {
        return;
    }
    m_recordFullTold = true;
    m_events.recordFull(m_setpoints.pumpNumber(), m_record.limit());
    m_boxes.notify(QStringLiteral("压力记录已满（%1 个数值），此后的压力数值不再记录。\r\n"
                                  "已记录的数值可以用“文件”菜单中的“保存”存储。")
                       .arg(m_record.limit()),
                   QStringLiteral("压力记录"));
}

void Pump::setRecordLimit(qsizetype limit)
{
    m_record = PressureRecord(limit);
    m_recordFullTold = false;
}
