#pragma once
// Where the monitor's inputs come from: the console's stream of timed events (the run log's)
// for the pressures and for what happened on the line, and the console's view of its panel.
// Everything that depends on how the console names these lives in this file pair, so that the
// monitor itself does not change when they do.

#include "control/runlog/runevents.h"
#include "monitoring/monitormessages.h"

#include <functional>
#include <QObject>

class Pump;
class PumpConsole;
class PumpLine;
class PumpMonitor;
struct PanelView;

class MonitorFeed : public QObject
{
    Q_OBJECT
public:
    // The panel's pump, as the panel shows it.
    MonitorFeed(const PumpConsole &console, PumpMonitor &monitor, QObject *parent = nullptr);
    // A pump added beside the panel's, on `line`.
    MonitorFeed(const PumpLine &line, const Pump &pump, PumpMonitor &monitor,
                QObject *parent = nullptr);

    // The panel as the state topic carries it.
    monitormessages::PanelState panel() const;

private:
    void showPanel();
    void onRunEvent(const RunEvent &event);
    void lineOpened(const RunEvent &event);
    void tell(monitormessages::EventKind kind, const RunEvent &event);

    std::function<PanelView()> m_view;
    std::function<qint16()> m_pumpNumber;
    PumpMonitor &m_monitor;
    QString m_device; // the line last opened
    QString m_flow;   // the read-outs as they were before a keypad entry opened
    QString m_pressureLimit;
    std::optional<monitormessages::WallTime> m_pressureAt;
    bool m_replySinceOpen = false;
    bool m_lineWasLost = false;
};
