#include "link/pumplink.h"

#include "link/wire/numbertext.h"
#include "link/wire/replyframes.h"

PumpLink::PumpLink(PumpPort &port, QObject *parent) : QObject(parent), m_port(port)
{
    // Replies are handled after the handler that is running has finished (readyRead can come
    // from inside a write), and a run of notifications costs one read.
    connect(&m_port, &PumpPort::readyRead, this, [this] {
        if (!m_readQueued) {
            m_readQueued = true;
            QMetaObject::invokeMethod(this, &PumpLink::readPort, Qt::QueuedConnection);
        }
    });
    connect(&m_port, &PumpPort::connectionLost, this, &PumpLink::onConnectionLost,
            Qt::QueuedConnection);
}

void PumpLink::readPort()
{
    m_readQueued = false;
    // Every complete reply in this read counts: two replies waiting at once, or one split
    // across reads, must not cost the operator a pressure reading.
    for (const QByteArray &frame : m_reader.feed(m_port.readAll())) {
        handleReply(frame);
    }
}

void PumpLink::handleReply(const QByteArray &frame)
{
    const auto reply = replyframes::parse(frame);
    if (!reply) {
        return;
    }
    switch (reply->letter) {
    case 'N': {
        const QString text = QString::fromLatin1(reply->value);
        m_lastPressure = numbertext::toDouble(text);
        Q_EMIT pressureReported(text, m_lastPressure, frame);
        break;
    }
    case 'P':
        Q_EMIT pressureLimitReported(replyframes::setpointReadout(reply->value), frame);
        break;
    case 'L':
        Q_EMIT flowSetpointReported(replyframes::setpointReadout(reply->value), frame);
        break;
    default:
        break;
    }
    m_sweep.step(m_lastPressure);
}

void PumpLink::onConnectionLost(const LineLoss &loss)
{
    m_reader.clear();
    Q_EMIT lineLost(loss);
}
