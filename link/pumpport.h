#pragma once
// The serial line to the pump as the console's handlers use it. The operations mirror the
// serial control the console was designed around (CommPort, PortOpen, Settings, InputLen,
// RThreshold, Output, Input, CommEvent, OnComm) so that the handlers read like their
// description; SerialPumpPort implements them over QSerialPort and the tests use a recording
// double.

#include <QByteArray>
#include <QObject>
#include <QString>

// Why a port operation failed. Each reason gets its own wording for the operator.
enum class PortError {
    None,
    NoSuchPort,       // the device does not exist
    Busy,             // another program holds it
    PermissionDenied, // on Linux: the user is not in the dialout group
    AlreadyOpen,      // a port number cannot change while the port is open
    NotOpen,          // write or configure on a closed port
    BadSettings,      // a settings text the line cannot take
    WriteFailed,      // the device refused or did not take the whole frame
    Other,
};

struct PortStatus
{
    PortError error = PortError::None;
    QString detail; // the device's own words, for the message box

    bool ok() const { return error == PortError::None; }
    static PortStatus success() { return {}; }
    static PortStatus failure(PortError e, QString why = {}) { return {e, std::move(why)}; }
};

class PumpPort : public QObject
{
    Q_OBJECT
public:
    // CommEvent value for "characters received".
    static constexpr int comEvReceive = 2;

    using QObject::QObject;
    ~PumpPort() override = default;

    // CommPort: chooses the device to open. Refused while the port is open.
    virtual PortStatus setCommPort(const QString &device) = 0;
    virtual QString commPort() const = 0;
    // PortOpen
    virtual PortStatus setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Settings, e.g. "9600,n,8,1"; applied to the open port.
    virtual PortStatus setSettings(const QString &settings) = 0;
    // InputLen: 0 means a read takes everything waiting.
    virtual void setInputLen(int length) = 0;
    // RThreshold: OnComm fires once this many received bytes are waiting.
    virtual void setRThreshold(int count) = 0;
    // Output: writes the whole frame in one write; fails rather than writing a part silently.
    virtual PortStatus output(const QByteArray &frame) = 0;
    // Input: takes what is waiting (up to InputLen) out of the receive buffer.
    virtual QByteArray input() = 0;
    // CommEvent: the cause of the latest OnComm.
    virtual int commEvent() const = 0;

Q_SIGNALS:
    // Raised on the event loop for each port event (always queued behind the current handler).
    void OnComm();
    // The open port failed on its own (adapter unplugged, far end gone). The port is already
    // closed when this is emitted; `reason` is for the operator.
    void connectionLost(const QString &reason);
};
