#pragma once
// The pump's serial line over QSerialPort: 9600 baud, no parity, 8 data bits, 1 stop bit, no
// flow control, fixed by the pump.
//
// A line whose far end has gone keeps raising errors until it is closed, so the first real
// error closes the port and is reported once, through the event loop.

#include "link/pumpport.h"
#include "link/wire/systemfacts.h"

#include <QSerialPort>

namespace serialline {

// Whether `device` may be opened at all, judged from what its path leads to (links followed)
// before anything opens it: only a character device can be a serial line. A file, a folder, a
// disk or a pipe is refused, so that a mistyped path never opens /etc/passwd read-write.
[[nodiscard]] PortError refusalBeforeOpening(const FileFacts &target) noexcept;

// Whether an error reported on an open port means the line is gone. Unsupported operations
// (modem lines on a pseudo-terminal) and timeouts of our own short waits are not.
[[nodiscard]] bool endsConnection(QSerialPort::SerialPortError error) noexcept;

// How a failed open reads to the operator. `accessible` says whether this user may read and
// write the device: a permission error on a device the user may use can only be another
// program's lock.
[[nodiscard]] PortError openFailure(QSerialPort::SerialPortError error, bool exists,
                                    bool accessible) noexcept;

// What took the line away, in the console's terms.
[[nodiscard]] LossCause lossCause(QSerialPort::SerialPortError error) noexcept;

} // namespace serialline

class SerialPumpPort final : public PumpPort
{
    Q_OBJECT
public:
    explicit SerialPumpPort(QObject *parent = nullptr);
    ~SerialPumpPort() override;

    PortStatus open(const QString &device) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    QString device() const override { return m_device; }
    QByteArray readAll() override;

protected:
    PortStatus writeFrame(const QByteArray &frame) override;

private:
    PortStatus applyLineSettings();
    PortStatus checkDevice(const QString &device) const;
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_device;
    // Qt's words and the system's code for the last error it reported, taken at once: the
    // port's own error is cleared when it closes, and the system's code does not last.
    QString m_errorText;
    std::error_code m_errorCode;
    bool m_applyingSettings = false; // setter errors belong to open(), not to the line
    bool m_lossReported = false;     // per connection
};
