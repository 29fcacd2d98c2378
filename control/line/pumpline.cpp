#include "control/line/pumpline.h"

#include "control/line/portlist.h"
#include "control/line/portmessages.h"
#include "control/runlog/runlog.h"
#include "link/portinfo.h"
#include "link/wire/portaliases.h"

PumpLine::PumpLine(PumpPort &port, OperatorBoxes &boxes, PortInfoSource &ports, Clock &clock,
                   Ticker &poll, QObject *parent)
    : QObject(parent), m_port(port), m_boxes(boxes), m_ports(ports), m_events(clock), m_link(port),
      m_sender(port, boxes, m_events), m_connection(port, m_link, m_sender, boxes),
      m_reconnector(m_connection, port, ports, poll, boxes)
{
    connect(&m_link, &PumpLink::replyReceived, this, &PumpLine::replyReceived);
    connect(&m_link, &PumpLink::lineLost, this, &PumpLine::onLineLost);
    connect(&m_connection, &PortConnection::connectedChanged, this, &PumpLine::connectedChanged);
    connect(&m_reconnector, &Reconnector::lineRestored, this, &PumpLine::lineRestored);
    // An adapter reopened on its own is logged as the line coming back.
    connect(&m_connection, &PortConnection::lineStarted, this,
            [this](const QString &device, bool reopened) {
                if (reopened) {
                    m_events.lineBack(device);
                } else {
                    m_events.lineOpened(device);
                }
            });
}

PumpLine::~PumpLine()
{
    if (m_port.isOpen()) {
        m_events.lineClosed();
    }
}

QString PumpLine::device() const
{
    return m_port.device();
}

void PumpLine::choosePort()
{
    m_connection.choosePort(portlist::build(portaliases::list(), m_ports.availablePorts()));
}

void PumpLine::connectTo(const QString &answer)
{
    m_connection.connectTo(answer);
}

void PumpLine::close()
{
    if (m_port.isOpen()) {
        m_events.lineClosed();
    }
    m_connection.close();
}

void PumpLine::startRunLog(const RunLogOptions &options)
{
    m_runLog = std::make_unique<RunLog>(m_events, m_boxes, options);
}

QString PumpLine::runLogFolder() const
{
    return m_runLog ? m_runLog->options().folder : runlog::defaultFolder();
}

void PumpLine::onLineLost(const LineLoss &loss)
{
    // The console is Not connected by the time the loss is logged and published.
    m_connection.lineLost(loss);
    m_events.lineLost(portmessages::lossCause(loss));
}
