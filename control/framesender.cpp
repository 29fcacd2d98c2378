#include "control/framesender.h"

#include "control/operatorboxes.h"
#include "control/portmessages.h"
#include "link/pumpport.h"

FrameSender::FrameSender(PumpPort &port, OperatorBoxes &boxes) : m_port(port), m_boxes(boxes) {}

bool FrameSender::send(const QByteArray &frame, const QString &command)
{
    const PortStatus status = m_port.write(frame);
    if (status.ok()) {
        m_repeatFailureTold = false;
        return true;
    }
    tellFailure(portmessages::commandNotSent(command, status));
    return false;
}

bool FrameSender::sendRepeated(const QByteArray &frame, const QString &command)
{
    const PortStatus status = m_port.write(frame);
    if (status.ok()) {
        m_repeatFailureTold = false;
        return true;
    }
    if (!m_repeatFailureTold) {
        m_repeatFailureTold = tellFailure(portmessages::commandNotSent(command, status));
    }
    return false;
}

bool FrameSender::tellFailure(const QString &prompt)
{
    // A tick or a reply can fail again while the first box is still open (the box keeps the
    // event loop running); one box at a time is enough for the operator to act on.
    if (m_boxOpen) {
        return false;
    }
    m_boxOpen = true;
    m_boxes.tell(prompt, portmessages::sendTitle);
    m_boxOpen = false;
    return true;
}
