#pragma once
// Where the monitor's inputs come from: the console's read-outs, its connection and its
// reply path for the panel and the pressures, and the frames on the line for the events.
// Everything that depends on how the console names these lives in this file pair, so that
// the monitor itself does not change when they do.
//
// The events are read off the line here through FrameTap, a port that passes every frame
// through and reports it. Once the console emits its own stream of timed run events (the run
// log's), this file takes them from there instead and FrameTap goes.

#include "control/monitormessages.h"
#include "link/pumpport.h"

#include <QObject>

class PumpConsole;
class PumpMonitor;

// A port that passes everything through to another and reports each frame written, with
// whether it went out.
class FrameTap final : public PumpPort
{
    Q_OBJECT
public:
    explicit FrameTap(PumpPort &port, QObject *parent = nullptr);

    PortStatus open(const QString &device) override { return m_port.open(device); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    QString device() const override { return m_port.device(); }
    QByteArray readAll() override { return m_port.readAll(); }

Q_SIGNALS:
    void frameWritten(const QByteArray &frame, const PortStatus &status);

protected:
    PortStatus writeFrame(const QByteArray &frame) override;

private:
    PumpPort &m_port;
};

class MonitorFeed : public QObject
{
    Q_OBJECT
public:
    // `tap` is the port the console writes through.
    MonitorFeed(const PumpConsole &console, FrameTap &tap, PumpMonitor &monitor,
                QObject *parent = nullptr);

    // The panel as the state topic carries it.
    monitormessages::PanelState panel() const;

private:
    void showPanel();
    void onPressure(std::optional<double> mpa);
    void onFrame(const QByteArray &frame, const PortStatus &status);
    void onConnectedChanged(bool connected);
    void onLineLost(const LineLoss &loss);

    const PumpConsole &m_console;
    FrameTap &m_tap;
    PumpMonitor &m_monitor;
    QString m_flow; // the read-outs as they were before a keypad entry opened
    QString m_pressureLimit;
    std::optional<monitormessages::WallTime> m_pressureAt;
    bool m_replySinceConnect = false;
    bool m_lineWasLost = false;
    qsizetype m_recordSize = 0;
    bool m_recordFullTold = false;
};
