#pragma once
// The byte transport to the pump: a line that opens on a device, carries whole frames out and
// hands over whatever has arrived. It knows nothing of frames or of what they mean, so a
// second transport (a network bridge, a recorded session) only has to move bytes.

#include <QByteArray>
#include <QObject>
#include <QScopedValueRollback>
#include <QString>
#include <system_error>

// Why a port operation failed. Each reason gets its own wording for the operator.
enum class PortError {
    None,
    NoSuchPort,       // the device does not exist
    NotASerialLine,   // a file, a folder, a disk: refused without opening it
    Busy,             // another program holds it
    PermissionDenied, // on Linux: the user is not in the dialout group
    AlreadyOpen,      // the line is open already; it must be closed first
    NotOpen,          // write on a closed port
    BadSettings,      // the device refused the line settings
    WriteFailed,      // the device refused or did not take the whole frame
    Other,
};

struct [[nodiscard]] PortStatus
{
    PortError error = PortError::None;
    QString detail;       // the device's own words
    std::error_code code; // the system's code for the failure, where there was one

    bool ok() const { return error == PortError::None; }
    static PortStatus success() { return {}; }
    static PortStatus failure(PortError e, QString why = {}, std::error_code code = {})
    {
        return {e, std::move(why), code};
    }
};

// What took an open line away.
enum class LossCause { ReadFailed, WriteFailed, DeviceGone, DeviceNotFound, AccessDenied, Other };

struct LineLoss
{
    QString device;
    LossCause cause = LossCause::Other;
    QString systemText;   // the system's words where they mean something; often empty
    int errorCode = 0;    // the transport's own code, for causes it cannot name
    std::error_code code; // the system's code behind systemText, where there was one
};

class PumpPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PumpPort() override = default;

    // Opens `device` with the pump's line settings. Refused while a line is open.
    virtual PortStatus open(const QString &device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device last opened (kept after closing, for messages).
    virtual QString device() const = 0;
    // The whole frame goes out in one write, or the status says why not; never a part
    // silently.
    PortStatus write(const QByteArray &frame)
    {
        const QScopedValueRollback writing(m_writing, true);
        return writeFrame(frame);
    }
    // Whether a write() is under way: a readyRead raised now comes from inside it.
    bool isWriting() const { return m_writing; }
    // Takes everything that has arrived.
    virtual QByteArray readAll() = 0;

Q_SIGNALS:
    // Bytes have arrived. May be raised from inside write() (waiting for a frame to leave also
    // reads): a listener must not act on it synchronously while isWriting(). Raised from the
    // event loop otherwise.
    void readyRead();
    // The open line failed on its own (adapter unplugged, far end gone). The port is closed
    // already; raised once per connection, through the event loop.
    void connectionLost(const LineLoss &loss);

protected:
    // What write() does; write() marks it as under way.
    virtual PortStatus writeFrame(const QByteArray &frame) = 0;

private:
    bool m_writing = false;
};
