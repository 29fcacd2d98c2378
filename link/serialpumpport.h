#pragma once
// The console's serial line over QSerialPort.
//
// Two things QSerialPort does differently from the line the handlers were written for, and
// which this class hides:
// - its signals can fire from inside a write (a short wait for the frame to leave also reads
//   what has arrived), so OnComm and connectionLost are always delivered through the event
//   loop, never from inside output();
// - a line whose far end has gone keeps raising errors until it is closed, so the first real
//   error closes the port and is reported once.

#include "link/pumpport.h"

#include <optional>
#include <QSerialPort>

namespace serialline {

// Parsed "9600,n,8,1": baud, parity letter (n, e, o, m, s), data bits (5-8), stop bits (1, 1.5,
// 2). No value for any text the line could not take.
struct LineSettings
{
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
std::optional<LineSettings> parseSettings(const QString &text);

// Whether an error reported on an open port means the line is gone. Unsupported operations
// (modem lines on a pseudo-terminal) and timeouts of our own short waits are not.
[[nodiscard]] bool endsConnection(QSerialPort::SerialPortError error) noexcept;

// How a failed open reads to the operator. `accessible` says whether this user may read and
// write the device: a permission error on a device the user may use can only be another
// program's lock.
[[nodiscard]] PortError openFailure(QSerialPort::SerialPortError error, bool exists,
                                    bool accessible) noexcept;

} // namespace serialline

class SerialPumpPort final : public PumpPort
{
    Q_OBJECT
public:
    explicit SerialPumpPort(QObject *parent = nullptr);
    ~SerialPumpPort() override;

    PortStatus setCommPort(const QString &device) override;
    QString commPort() const override { return m_device; }
    PortStatus setPortOpen(bool open) override;
    bool portOpen() const override { return m_port.isOpen(); }
    PortStatus setSettings(const QString &settings) override;
    void setInputLen(int length) override;
    void setRThreshold(int count) override;
    PortStatus output(const QByteArray &frame) override;
    QByteArray input() override;
    int commEvent() const override { return m_commEvent; }

private:
    void onReadyRead();
    void deliverOnComm();
    void onError(QSerialPort::SerialPortError error);
    bool thresholdReached() const;

    QSerialPort m_port;
    QString m_device;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_commEvent = 0;
    bool m_onCommQueued = false;
    bool m_applyingSettings = false; // setter errors belong to setSettings, not to the line
    bool m_lossReported = false;     // per connection
};
