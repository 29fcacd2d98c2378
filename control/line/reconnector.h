#pragma once
// Reopens a USB serial adapter that went away while it was open (pulled out for a moment) as
// soon as it is back, even under another device name, so that the pump's replies are shown and
// recorded again without the operator noticing first. It is recognised by vendor, product and
// serial number, which only USB adapters have: a pseudo-terminal or a built-in port is never
// reopened, nor an adapter the operator has since turned away from by choosing another port.
// Nothing is sent to the pump on reopening; the operator is told once, without blocking.

#include "link/portinfo.h"

#include <optional>
#include <QObject>
#include <QString>

class OperatorBoxes;
class PortConnection;
class PumpPort;
class Ticker;

namespace reconnect {

// Whether two names stand for the same device: the same name, a link and what it leads to,
// or "COM7" and "com7" on Windows.
[[nodiscard]] bool sameDevice(const QString &a, const QString &b);

// The identity `device` is known by, if the system lists it as a USB adapter.
[[nodiscard]] std::optional<PortIdentity> identify(const QString &device,
                                                   const QList<SystemPort> &ports);

// Where the adapter `identity`, last open as `lastDevice`, is now: the one port listed with its
// identity, or of several alike the one under its old name. Nothing when it is absent, or when
// several are alike and none has the old name (guessing could open another pump's line).
[[nodiscard]] std::optional<QString>
whereNow(const PortIdentity &identity, const QString &lastDevice, const QList<SystemPort> &ports);

} // namespace reconnect

class Reconnector : public QObject
{
    Q_OBJECT
public:
    // `poll` paces the look at the system's ports (about once a second) while a lost adapter
    // is awaited, and only then.
    Reconnector(PortConnection &connection, const PumpPort &port, PortInfoSource &ports,
                Ticker &poll, OperatorBoxes &boxes, QObject *parent = nullptr);

    // A lost adapter is being waited for.
    bool isAwaiting() const { return m_awaiting; }

Q_SIGNALS:
    // The adapter came back and the line is open again on `device`.
    void lineRestored(const QString &device);

private:
    void onConnectedChanged(bool connected);
    void onPortChosen(const QString &device);
    void poll();
    void stopAwaiting();

    PortConnection &m_connection;
    const PumpPort &m_port;
    PortInfoSource &m_ports;
    Ticker &m_poll;
    OperatorBoxes &m_boxes;
    QString m_device; // the line last opened
    std::optional<PortIdentity> m_identity;
    bool m_awaiting = false;
    // The adapter has been seen missing since the line was lost. Only then is its return a
    // return: a line lost with the adapter still plugged in has some other fault, and
    // reopening it at once could only fail again.
    bool m_goneSeen = false;
};
