#include "control/line/reconnector.h"

#include "control/line/portconnection.h"
#include "control/line/portmessages.h"
#include "control/seams/operatorboxes.h"
#include "control/seams/ticker.h"
#include "link/pumpport.h"

#include <algorithm>
#include <QFileInfo>

namespace reconnect {

bool sameDevice(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    if (a == b) {
        return true;
    }
    // /dev/serial/by-id/usb-FTDI_… and /dev/ttyUSB0 are one device.
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
#endif
}

std::optional<PortIdentity> identify(const QString &device, const QList<SystemPort> &ports)
{
    const auto it = std::find_if(ports.begin(), ports.end(), [&](const SystemPort &port) {
        return port.identity && sameDevice(port.device, device);
    });
    return it == ports.end() ? std::nullopt : it->identity;
}

std::optional<QString> whereNow(const PortIdentity &identity, const QString &lastDevice,
                                const QList<SystemPort> &ports)
{
    QStringList alike;
    for (const SystemPort &port : ports) {
        if (port.identity == identity) {
            alike.append(port.device);
        }
    }
    if (alike.size() == 1) {
        return alike.front();
    }
    const auto it = std::find_if(alike.begin(), alike.end(), [&](const QString &device) {
        return sameDevice(device, lastDevice);
    });
    return it == alike.end() ? std::nullopt : std::optional(*it);
}

} // namespace reconnect

Reconnector::Reconnector(PortConnection &connection, const PumpPort &port, PortInfoSource &ports,
                         Ticker &poll, OperatorBoxes &boxes, QObject *parent)
    : QObject(parent), m_connection(connection), m_port(port), m_ports(ports), m_poll(poll),
      m_boxes(boxes)
{
    m_poll.stop();
    connect(&m_poll, &Ticker::tick, this, &Reconnector::poll);
    connect(&m_connection, &PortConnection::connectedChanged, this,
            &Reconnector::onConnectedChanged);
    connect(&m_connection, &PortConnection::portChosen, this, &Reconnector::onPortChosen);
}

void Reconnector::onConnectedChanged(bool connected)
{
    if (connected) {
        // Learnt now, while the adapter is certainly present: once it is gone, the system
        // no longer says what it was.
        stopAwaiting();
        m_device = m_port.device();
        m_identity = reconnect::identify(m_device, m_ports.availablePorts());
        return;
    }
    if (!m_identity) {
        return; // nothing to recognise it by when it comes back
    }
    m_awaiting = true;
    m_goneSeen = false;
    m_poll.start();
    poll();
}

void Reconnector::onPortChosen(const QString &device)
{
    // The operator's own choice takes over; choosing the same adapter again (before it is
    // back, say) leaves the wait as it was.
    if (m_awaiting && !reconnect::sameDevice(device, m_device)) {
        stopAwaiting();
        m_identity.reset();
    }
}

void Reconnector::poll()
{
    if (!m_awaiting) {
        m_poll.stop();
        return;
    }
    const QList<SystemPort> ports = m_ports.availablePorts();
    const bool present = std::any_of(ports.begin(), ports.end(), [this](const SystemPort &port) {
        return port.identity == m_identity;
    });
    if (!present) {
        m_goneSeen = true;
        return;
    }
    if (!m_goneSeen) {
        return;
    }
    const auto device = reconnect::whereNow(*m_identity, m_device, ports);
    if (!device) {
        return;
    }
    const QString previous = m_device;
    // A refusal is tried again on the next poll: a freshly plugged adapter may not be ready
    // for this user until the system has set its permissions.
    if (!m_connection.reopen(*device).ok()) {
        return;
    }
    m_boxes.notify(portmessages::lineBack(*device, previous), portmessages::connectTitle);
    Q_EMIT lineRestored(*device);
}

void Reconnector::stopAwaiting()
{
    m_awaiting = false;
    m_poll.stop();
}
