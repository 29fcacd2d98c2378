#include "control/portconnection.h"

#include "control/framesender.h"
#include "control/operatorboxes.h"
#include "control/portmessages.h"
#include "link/pumplink.h"
#include "link/wire/numbertext.h"
#include "link/wire/portnames.h"

PortConnection::PortConnection(PumpPort &port, PumpLink &link, FrameSender &sender,
                               OperatorBoxes &boxes, QObject *parent)
    : QObject(parent), m_port(port), m_link(link), m_sender(sender), m_boxes(boxes)
{
    connect(&m_link, &PumpLink::lineLost, this, &PortConnection::onLineLost);
}

void PortConnection::choosePort(const QList<PortChoice> &choices)
{
    const auto answer =
        m_boxes.choose(QStringLiteral("Input communication port"), QStringLiteral("Commport"),
                       portchoices::labels(choices), QStringLiteral("1"));
    if (!answer) {
        return; // the operator changed their mind
    }
    connectTo(portchoices::answerFor(choices, *answer));
}

void PortConnection::connectTo(const QString &answer)
{
    const auto fail = [this](const QString &prompt) {
        m_boxes.tell(prompt, portmessages::connectTitle);
    };

    QString device;
    QString port; // the port as the operator will recognise it in a message
    if (const auto number = numbertext::toInt16(answer)) {
        const auto mapped = portnames::deviceForPortNumber(*number);
        if (!mapped) {
            fail(portmessages::invalidPortNumber(*number));
            return;
        }
        device = *mapped;
        port = QStringLiteral("%1（%2）").arg(*number).arg(device);
    } else if (const auto named = portnames::deviceFromName(answer)) {
        device = *named;
        port = device;
    } else {
        fail(portmessages::notAPort(answer));
        return;
    }

    Q_EMIT portChosen(device);
    if (m_port.isOpen()) {
        fail(portmessages::alreadyConnected(m_port.device()));
        return;
    }
    if (const PortStatus status = m_port.open(device); !status.ok()) {
        fail(portmessages::openFailed(status, port));
        return;
    }
    startLine();
}

PortStatus PortConnection::reopen(const QString &device)
{
    if (m_port.isOpen()) {
        return PortStatus::failure(PortError::AlreadyOpen, m_port.device());
    }
    if (PortStatus status = m_port.open(device); !status.ok()) {
        return status;
    }
    startLine();
    return PortStatus::success();
}

void PortConnection::startLine()
{
    m_link.reset();
    m_sender.startConnection();
    setConnected(true);
}

void PortConnection::close()
{
    m_port.close();
}

void PortConnection::onLineLost(const LineLoss &loss)
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
