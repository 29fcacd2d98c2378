#include "monitoring/pumpmonitor.h"

#include "control/seams/operatorboxes.h"
#include "monitoring/publisher.h"

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace monitormessages;

namespace {

QString leafTopic(const QString &id, const QString &pump, const QString &leaf)
{
    return pump.isEmpty() ? topic(id, leaf) : pumpTopic(id, pump, leaf);
}

} // namespace

PumpMonitor::PumpMonitor(Publisher &publisher, OperatorBoxes &boxes, const QString &id,
                         const QString &pump, QObject *parent)
    : QObject(parent), m_publisher(publisher), m_boxes(boxes),
      m_statusTopic(topic(id, u"status"_s)), m_stateTopic(leafTopic(id, pump, u"state"_s)),
      m_pressureTopic(leafTopic(id, pump, u"pressure"_s)),
      m_eventTopic(leafTopic(id, pump, u"event"_s))
{
    m_clock.start();
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer); // a coarse timer would stretch the 100 ms slices
    connect(&m_wake, &QTimer::timeout, this, &PumpMonitor::releaseWaiting);

    connect(&m_publisher, &Publisher::connected, this, [this] { m_troubleTold = false; });
    connect(&m_publisher, &Publisher::troubled, this, &PumpMonitor::brokerTroubled);

    // Retained, so the publisher says it again on every connection; the broker says "offline"
    // for us (the last will) when we vanish. Said once, for the whole console.
    if (pump.isEmpty()) {
        m_publisher.publish(m_statusTopic, online, Delivery::AtLeastOnce, true);
    }
}

void PumpMonitor::showPanel(const PanelState &state)
{
    if (m_stateShown && state == m_state) {
        return;
    }
    PanelState withOldPressure = state;
    withOldPressure.pressure = m_state.pressure;
    withOldPressure.pressureAt = m_state.pressureAt;
    const bool pressureOnly = m_stateShown && withOldPressure == m_state;
    m_state = state;
    m_stateShown = true;
    if (!pressureOnly) {
        m_restates.discardWaiting();
        publishState();
        return;
    }
    if (m_restates.offer(true, m_clock.elapsed())) {
        publishState();
    }
    armWake();
}

void PumpMonitor::pressureArrived(const WallTime &time, double mpa)
{
    if (const auto now = m_pressures.offer({time, mpa}, m_clock.elapsed())) {
        publishPressure(*now);
    }
    armWake();
}

void PumpMonitor::eventHappened(const MonitorEvent &event)
{
    m_publisher.publish(m_eventTopic, eventPayload(event), Delivery::AtLeastOnce, false);
}

void PumpMonitor::publishState()
{
    m_publisher.publish(m_stateTopic, statePayload(m_state), Delivery::AtLeastOnce, true);
}

void PumpMonitor::publishPressure(const Pressure &pressure)
{
    m_publisher.publish(m_pressureTopic, pressurePayload(pressure.time, pressure.mpa),
                        Delivery::AtMostOnce, false);
}

void PumpMonitor::releaseWaiting()
{
    const qint64 now = m_clock.elapsed();
    if (const auto pressure = m_pressures.release(now)) {
        publishPressure(*pressure);
    }
    if (m_restates.release(now)) {
        publishState();
    }
    armWake();
}

void PumpMonitor::armWake()
{
    const auto pressureAt = m_pressures.wakeAt();
    const auto stateAt = m_restates.wakeAt();
    if (!pressureAt && !stateAt) {
        m_wake.stop();
        return;
    }
    const qint64 at = std::min(pressureAt.value_or(stateAt.value_or(0)),
                               stateAt.value_or(pressureAt.value_or(0)));
    const auto due = std::chrono::milliseconds(std::max<qint64>(0, at - m_clock.elapsed()));
    // Re-armed only when the time moves earlier, so a flood of replies does not keep pushing
    // the release away.
    if (!m_wake.isActive() || due < m_wake.remainingTimeAsDuration()) {
        m_wake.start(due);
    }
}

void PumpMonitor::brokerTroubled(const BrokerTrouble &trouble)
{
    if (m_troubleTold) {
        return;
    }
    m_troubleTold = true;
    m_boxes.notify(brokerTroubleNotice(m_publisher.brokerName(), trouble), noticeTitle);
}
