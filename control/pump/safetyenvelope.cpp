#include "control/pump/safetyenvelope.h"

#include "control/line/framesender.h"
#include "control/line/portmessages.h"
#include "control/runlog/runevents.h"
#include "control/seams/clock.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/wire/commandframes.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace {

const QString title = u"安全停泵"_s;

} // namespace

SafetyEnvelope::SafetyEnvelope(FrameSender &sender, RunEvents &events, OperatorBoxes &boxes,
                               Clock &clock, Ticker &check, std::function<QByteArray()> stopFrame,
                               QObject *parent)
    : QObject(parent), m_sender(sender), m_events(events), m_boxes(boxes), m_clock(clock),
      m_check(check), m_stopFrame(std::move(stopFrame))
{
    m_check.stop();
    connect(&m_check, &Ticker::tick, this, &SafetyEnvelope::checkSilence);
}

void SafetyEnvelope::setLimits(const safety::Limits &limits)
{
    if (limits == m_limits) {
        return;
    }
    m_limits = limits;
    // A lower limit raised while running counts only once the pressure has reached it.
    m_lowerReached = false;
    paceSilenceCheck();
    Q_EMIT stateChanged();
}

void SafetyEnvelope::paceSilenceCheck()
{
    // Only a running pump with a silence limit is checked: without one the console wakes no
    // more often than it always has.
    if (m_armed && m_limits.silenceSeconds) {
        m_check.start();
    } else {
        m_check.stop();
    }
}

SafetyEnvelope::State SafetyEnvelope::state() const
{
    if (m_latched) {
        return State::Latched;
    }
    return m_armed && m_limits.any() ? State::Armed : State::Off;
}

void SafetyEnvelope::commandSent(PumpCommand command)
{
    if (pumpcommand::runs(command)) {
        const bool was = m_armed;
        m_armed = true;
        m_lowerReached = false;
        m_lastPressure = m_clock.now(); // silence counts from the run frame
        paceSilenceCheck();
        if (!was) {
            Q_EMIT stateChanged();
        }
    } else if (pumpcommand::stops(command)) {
        m_stopOwed = false; // the operator's own stop went out
        disarm();
    }
}

bool SafetyEnvelope::pressureArrived(double mpa)
{
    if (!m_armed) {
        return false;
    }
    m_lastPressure = m_clock.now();
    const safety::Cause cause = safety::judgePressure(m_limits, mpa, m_lowerReached);
    if (cause != safety::Cause::None) {
        trip(cause, mpa);
        return true;
    }
    m_lowerReached = m_lowerReached || safety::reachesLower(m_limits, mpa);
    return false;
}

void SafetyEnvelope::checkSilence()
{
    if (!m_armed) {
        m_check.stop();
        return;
    }
    if (safety::silenceTrips(m_limits, m_clock.now() - m_lastPressure)) {
        trip(safety::Cause::Silence, 0.0);
    }
}

void SafetyEnvelope::trip(safety::Cause cause, double mpa)
{
    // The stop first, then the latch, then the words: nothing may stand between the reply and
    // the stop frame.
    const QString note = safety::causeNote(cause, m_limits);
    const QByteArray frame = m_stopFrame();
    const PortStatus status = m_sender.writeOnly(frame);
    if (!status.ok()) {
        m_stopOwed = true;
        m_owedNote = note;
    }
    disarm();
    m_latched = true;
    Q_EMIT stateChanged();

    const RunTime now = m_clock.stamp();
    const QTime at =
        QDateTime::fromMSecsSinceEpoch(now.utcMs, Qt::OffsetFromUTC, now.utcOffsetSeconds).time();
    QString prompt = safety::tripMessage(cause, m_limits, mpa, at);
    const QString value =
        cause == safety::Cause::Silence ? QString() : QString::number(mpa, 'f', 1);
    if (status.ok()) {
        m_events.safetyStop(frame, value, note);
    } else {
        const QString why = portmessages::sendFailure(status);
        m_events.safetyStopNotSent(frame, value, note + u"；"_s + why);
        prompt += u"\r\n停泵指令未能发出：%1，请立即手动停泵"_s.arg(why);
    }
    Q_EMIT tripped();
    m_boxes.alarm(prompt, title, [this] { acknowledge(); });
}

void SafetyEnvelope::lineEnded()
{
    disarm();
}

void SafetyEnvelope::lineOpened()
{
    if (!m_stopOwed) {
        return;
    }
    const QByteArray frame = m_stopFrame();
    if (m_sender.writeOnly(frame).ok()) {
        m_stopOwed = false;
        m_events.safetyStop(frame, {}, m_owedNote + u"（线路恢复后补发）"_s);
    }
}

bool SafetyEnvelope::refusesRun()
{
    if (!m_latched) {
        return false;
    }
    m_boxes.tell(u"安全停泵尚未确认"_s, title);
    return true;
}

void SafetyEnvelope::acknowledge()
{
    if (!m_latched) {
        return;
    }
    m_latched = false;
    // The stop frame names the pump, in whichever form this pump's frames take.
    m_events.safetyAcknowledged(commandframes::pumpOf(m_stopFrame()).value_or(0));
    Q_EMIT stateChanged();
}

void SafetyEnvelope::disarm()
{
    m_check.stop();
    if (std::exchange(m_armed, false)) {
        Q_EMIT stateChanged();
    }
}
