#pragma once
// Turns what the console shows and does into messages for the lab's broker: the panel as a
// retained state, the pressures at a capped rate, an event per thing that happened on the
// line, and "online" while the console runs. Tells the operator once per outage when the
// broker cannot be reached; nothing here waits for the network, and nothing from the broker
// reaches the pump.

#include "monitoring/latestthrottle.h"
#include "monitoring/monitormessages.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class OperatorBoxes;
class Publisher;

class PumpMonitor : public QObject
{
    Q_OBJECT
public:
    // At most 2 pressures in any 100 ms, hence at most 20 in any second; the one that waits
    // is always the latest.
    static constexpr int pressuresPerSlice = 2;
    static constexpr qint64 pressureSliceMs = 100;
    // A state that changed only in its pressure is restated at most once a second: the
    // pressure topic carries the series.
    static constexpr qint64 pressureOnlyRestateMs = 1000;

    // `pump` names a pump added beside the panel's (its topics go one level down); empty for
    // the panel's own, which also says the console is online.
    PumpMonitor(Publisher &publisher, OperatorBoxes &boxes, const QString &id,
                const QString &pump = {}, QObject *parent = nullptr);

    // The panel as it is now. A change beyond the pressure and its time goes out at once.
    void showPanel(const monitormessages::PanelState &state);
    // A valid pressure reply and when it arrived.
    void pressureArrived(const monitormessages::WallTime &time, double mpa);
    void eventHappened(const monitormessages::MonitorEvent &event);

private:
    struct Pressure
    {
        monitormessages::WallTime time;
        double mpa;
    };

    void publishState();
    void publishPressure(const Pressure &pressure);
    void releaseWaiting();
    void armWake();
    void brokerTroubled(const BrokerTrouble &trouble);

    Publisher &m_publisher;
    OperatorBoxes &m_boxes;
    const QString m_statusTopic;
    const QString m_stateTopic;
    const QString m_pressureTopic;
    const QString m_eventTopic;

    monitormessages::PanelState m_state;
    bool m_stateShown = false;
    LatestThrottle<Pressure> m_pressures{pressuresPerSlice, pressureSliceMs};
    LatestThrottle<bool> m_restates{1, pressureOnlyRestateMs};
    QElapsedTimer m_clock;
    QTimer m_wake; // releases whatever waits in the throttles
    bool m_troubleTold = false;
};
