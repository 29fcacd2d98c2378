#include "link/pumplink.h"

#include "link/wire/numbertext.h"
#include "link/wire/replyframes.h"

PumpLink::PumpLink(PumpPort &port, QObject *parent) : QObject(parent), m_port(port)
{
    // A notification from the event loop is read at once: no posted call, no extra wake-up per
    // reply. One from inside a write is read after the handler that wrote has finished, and a
    // run of those costs one read.
    connect(&m_port, &PumpPort::readyRead, this, [this] {
        if (!m_port.isWriting()) {
            readPort();
        } else if (!m_readQueued) {
            m_readQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_readQueued = false;
                    readPort();
                },
                Qt::QueuedConnection);
        }
    });
    // The port tells a loss through the event loop already: never inside a write.
    connect(&m_port, &PumpPort::connectionLost, this, &PumpLink::onConnectionLost);
}

void PumpLink::readPort()
{
    if (m_reading) {
        m_readAgain = true; // in order: after the replies of the read that is being handled
        return;
    }
    m_reading = true;
    do {
        m_readAgain = false;
        // Every complete reply in this read counts: two replies waiting at once, or one split
        // across reads, must not cost the operator a pressure reading. Each is handled where it
        // lies in the read, so a burst costs no copy per reply.
        m_reader.feed(m_port.readAll(), [this](QByteArrayView frame) { handleReply(frame); });
    } while (m_readAgain);
    m_reading = false;
}

void PumpLink::handleReply(QByteArrayView frame)
{
    const auto reply = replyframes::parseView(frame);
    if (!reply) {
        return;
    }
    // What the pump answers with; a line that echoes the console's own run and stop frames
    // (a terminal, a loop-back plug) has not answered.
    m_replied = m_replied || reply->letter == 'N' || reply->letter == 'P' || reply->letter == 'L';
    const bool charted = !m_chartFilter || m_chartFilter(reply->pump);
    switch (reply->letter) {
    case 'N': {
        const QString text = QString::fromLatin1(reply->value);
        const std::optional<double> mpa = numbertext::toDouble(text);
        if (charted) {
            m_lastPressure = mpa;
        }
        Q_EMIT replyReceived(
            {PumpReply::Kind::Pressure, text, mpa, frame.toByteArray(), reply->pump});
        break;
    }
    case 'P':
        Q_EMIT replyReceived({PumpReply::Kind::PressureLimit,
                              replyframes::setpointReadout(reply->value.toByteArray()),
                              std::nullopt, frame.toByteArray(), reply->pump});
        break;
    case 'L':
        Q_EMIT replyReceived({PumpReply::Kind::FlowSetpoint,
                              replyframes::setpointReadout(reply->value.toByteArray()),
                              std::nullopt, frame.toByteArray(), reply->pump});
        break;
    default:
        break;
    }
    if (charted) {
        m_sweep.step(m_lastPressure);
    }
}

void PumpLink::onConnectionLost(const LineLoss &loss)
{
    m_reader.clear();
    Q_EMIT lineLost(loss);
}
