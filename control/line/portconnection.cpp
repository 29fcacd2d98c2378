#include "control/line/portconnection.h"

#include "control/line/framesender.h"
#include "control/line/portmessages.h"
#include "control/seams/operatorboxes.h"
#include "link/pumplink.h"

PortConnection::PortConnection(PumpPort &port, PumpLink &link, FrameSender &sender,
                               OperatorBoxes &boxes, QObject *parent)
    : QObject(parent), m_port(port), m_link(link), m_sender(sender), m_boxes(boxes)
{
}

void PortConnection::choosePort(const QList<PortListEntry> &choices)
{
    const auto answer =
        m_boxes.choose(QStringLiteral("Input communication port"), QStringLiteral("Commport"),
                       portlist::labels(choices), QStringLiteral("1"));
    if (!answer) {
        return; // the operator changed their mind
    }
    connectTo(portlist::answerFor(choices, *answer));
}

void PortConnection::connectTo(const QString &answer)
{
    const auto fail = [this](const QString &prompt) {
        m_boxes.tell(prompt, portmessages::connectTitle);
    };

    const PortChoice choice = m_choices.choose(answer);
    if (!choice.refusal.isEmpty()) {
        fail(choice.refusal);
        return;
    }
    Q_EMIT portChosen(choice.device);
    if (m_port.isOpen()) {
        if (m_link.hasReplied()) {
            fail(portmessages::alreadyConnected(m_port.device()));
            return;
        }
        // Nothing has come back on this line: most likely not the pump's. The operator may
        // put a wrong choice right without restarting the program.
        m_port.close();
        setConnected(false);
    }
    if (!choice.notice.isEmpty()) {
        m_boxes.tell(choice.notice, portmessages::connectTitle);
    }
    if (const PortStatus status = m_port.open(choice.device); !status.ok()) {
        fail(portmessages::openFailed(status, choice.port));
        return;
    }
    m_choices.opened(choice);
    startLine(false);
}

PortStatus PortConnection::reopen(const QString &device)
{
    if (m_port.isOpen()) {
        return PortStatus::failure(PortError::AlreadyOpen, m_port.device());
    }
    if (PortStatus status = m_port.open(device); !status.ok()) {
        return status;
    }
    startLine(true);
    return PortStatus::success();
}

void PortConnection::startLine(bool reopened)
{
    m_link.reset();
    m_sender.startConnection();
    setConnected(true);
    Q_EMIT lineStarted(m_port.device(), reopened);
}

void PortConnection::close()
{
    m_port.close();
}

void PortConnection::lineLost(const LineLoss &loss)
{
    // The port is closed already; go back to Not connected so that the operator can choose
    // the port again without restarting, and say so once, without blocking the event loop.
    setConnected(false);
    m_boxes.notify(portmessages::lineLost(loss), portmessages::connectTitle);
}

void PortConnection::setConnected(bool connected)
{
    if (m_connected == connected) {
        return;
    }
    m_connected = connected;
    Q_EMIT connectedChanged(connected);
}
