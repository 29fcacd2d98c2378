#include "control/line/framesender.h"

#include "control/line/portmessages.h"
#include "control/runlog/runevents.h"
#include "control/seams/operatorboxes.h"
#include "link/pumpport.h"

FrameSender::FrameSender(PumpPort &port, OperatorBoxes &boxes, RunEvents &events)
    : m_port(port), m_boxes(boxes), m_events(events)
{
}

PortStatus FrameSender::writeAndReport(const QByteArray &frame, PumpCommand command,
                                       const QString &value)
{
    PortStatus status = m_port.write(frame);
    if (status.ok()) {
        m_repeatFailureTold = false;
        m_events.commandSent(command, frame, value);
        // A copy: a watcher may remove itself (a pump taken off while its command goes out).
        const auto watchers = m_sentWatchers;
        for (const auto &[key, watcher] : watchers) {
            watcher(command, frame);
        }
    } else {
        // Before the box: a modal box holds this call, and the log's time is the failure's.
        m_events.commandNotSent(command, frame, portmessages::sendFailure(status));
    }
    return status;
}

int FrameSender::addSentWatcher(SentWatcher watcher)
{
    m_sentWatchers.emplace(m_nextWatcherKey, std::move(watcher));
    return m_nextWatcherKey++;
}

PortStatus FrameSender::sendQuietly(const QByteArray &frame, PumpCommand command)
{
    return writeAndReport(frame, command, {});
}

PortStatus FrameSender::writeOnly(const QByteArray &frame)
{
    PortStatus status = m_port.write(frame);
    if (status.ok()) {
        m_repeatFailureTold = false;
    }
    return status;
}

bool FrameSender::send(const QByteArray &frame, PumpCommand command, const QString &value)
{
    const PortStatus status = writeAndReport(frame, command, value);
    if (status.ok()) {
        return true;
    }
    tellFailure(portmessages::commandNotSent(pumpcommand::operatorName(command), status));
    return false;
}

bool FrameSender::sendRepeated(const QByteArray &frame, PumpCommand command, const QString &value)
{
    const PortStatus status = writeAndReport(frame, command, value);
    if (status.ok()) {
        return true;
    }
    if (!m_repeatFailureTold) {
        m_repeatFailureTold =
            tellFailure(portmessages::commandNotSent(pumpcommand::operatorName(command), status));
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
