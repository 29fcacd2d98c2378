#pragma once
// One serial line to the pumps: the port, its reply path, choosing and opening it, reopening
// a USB adapter that came back, every frame that goes out, and the run's events of that line
// with its run log. Whatever the pumps on it say is passed on as parsed replies; what a reply
// means for a pump is not this class's business.

#include "control/line/framesender.h"
#include "control/line/portconnection.h"
#include "control/line/reconnector.h"
#include "control/runlog/runevents.h"
#include "link/pumplink.h"

#include <memory>
#include <QObject>

class Clock;
class OperatorBoxes;
class PortInfoSource;
class PumpPort;
class RunLog;
class Ticker;
struct RunLogOptions;

class PumpLine : public QObject
{
    Q_OBJECT
public:
    // `poll` paces the look for a lost adapter (about once a second).
    PumpLine(PumpPort &port, OperatorBoxes &boxes, PortInfoSource &ports, Clock &clock,
             Ticker &poll, QObject *parent = nullptr);
    // The line goes with it: the log says so and closes its file.
    ~PumpLine() override;

    bool isConnected() const { return m_connection.isConnected(); }
    // The device the line is on, or was last on.
    QString device() const;
    const ChartDrawing &chart() const { return m_link.chart(); }
    const PumpLink &link() const { return m_link; }
    // The replies the chart follows when pumps share the line (PumpLink::setChartFilter).
    void setChartFilter(std::function<bool(std::optional<qint16> pump)> filter)
    {
        m_link.setChartFilter(std::move(filter));
    }
    const Reconnector &reconnector() const { return m_reconnector; }
    FrameSender &sender() { return m_sender; }
    RunEvents &events() { return m_events; }
    const RunEvents &events() const { return m_events; }

    // Asks for the port in the port box, offering the aliases and the system's ports.
    void choosePort();
    // As if the operator had answered the port box with `answer`.
    void connectTo(const QString &answer);
    // Closing the window: the line goes, logged as closed, no stop frame on the way out.
    void close();

    // From now on every connection writes a run log into `options.folder`.
    void startRunLog(const RunLogOptions &options);
    RunLog *runLog() { return m_runLog.get(); }
    QString runLogFolder() const;

Q_SIGNALS:
    void replyReceived(const PumpReply &reply);
    void connectedChanged(bool connected);
    // A lost adapter came back and its line is open again, on `device`.
    void lineRestored(const QString &device);

private:
    void onLineLost(const LineLoss &loss);

    PumpPort &m_port;
    OperatorBoxes &m_boxes;
    PortInfoSource &m_ports;
    RunEvents m_events;
    PumpLink m_link;
    FrameSender m_sender;
    PortConnection m_connection;
    Reconnector m_reconnector;
    std::unique_ptr<RunLog> m_runLog; // after everything whose events it writes
};
