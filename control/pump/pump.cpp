#include "control/pump/pump.h"

#include "control/line/framesender.h"
#include "control/runlog/runevents.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/wire/commandframes.h"

Pump::Pump(FrameSender &sender, RunEvents &events, OperatorBoxes &boxes, const PumpTimers &timers,
           QObject *parent)
    : QObject(parent), m_sender(sender), m_events(events), m_boxes(boxes),
      m_setpoints(boxes, sender, events),
      m_timedRun(timers.second, sender, m_readouts, boxes, m_setpoints),
      m_pressureWatch(timers.clock, timers.staleCheck),
      m_safety(sender, events, boxes, timers.clock, timers.safetyCheck,
               [this] { return commandframes::stop(m_setpoints.pumpNumber()); })
{
    // One pump on the line: every command that goes out is this pump's.
    sender.setSentWatcher([this](PumpCommand command) { m_safety.commandSent(command); });
    // Stopped by the envelope: the timed run is over, as if ended, without a second stop.
    connect(&m_safety, &SafetyEnvelope::tripped, this, [this] { m_timedRun.abandon(); });
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

bool Pump::run()
{
    if (m_safety.refusesRun()) {
        return false;
    }
    return m_sender.send(commandframes::run(m_setpoints.pumpNumber()), PumpCommand::Run);
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
    return m_sender.send(commandframes::stop(m_setpoints.pumpNumber()), PumpCommand::Stop);
}

void Pump::recordPressure(double mpa)
{
    if (m_record.add(mpa) || m_recordFullTold) {
        return;
    }
    m_recordFullTold = true;
    m_events.recordFull(m_record.limit());
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
