#include "link/serialpumpport.h"

#include <chrono>
#include <QFileInfo>

namespace {

// Long enough for the kernel to take a nine-byte frame from a pty or a USB adapter, short
// enough that the operator never notices the window pause.
constexpr std::chrono::milliseconds writeWait{5};

// Modem-line and some settings calls are refused by a pseudo-terminal (the simulated pump);
// a real line that refuses a setting cannot carry our frames.
bool isPseudoTerminal(const QString &device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

} // namespace

namespace serialline {

bool endsConnection(QSerialPort::SerialPortError error) noexcept
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::TimeoutError:
        return false;
    default:
        return true;
    }
}

PortError openFailure(QSerialPort::SerialPortError error, bool exists, bool accessible) noexcept
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return PortError::NoSuchPort;
    case QSerialPort::PermissionError:
        // Qt reports another program's lock (and a device held exclusively) as a permission
        // error too. The error text cannot tell them apart (it is translated), but the file
        // can: if this user may read and write the device, the refusal was the lock.
        return exists && accessible ? PortError::Busy : PortError::PermissionDenied;
    case QSerialPort::OpenError:
        return PortError::Busy;
    default:
        return PortError::Other;
    }
}

LossCause lossCause(QSerialPort::SerialPortError error) noexcept
{
    switch (error) {
    case QSerialPort::ReadError:
        return LossCause::ReadFailed;
    case QSerialPort::WriteError:
        return LossCause::WriteFailed;
    case QSerialPort::ResourceError:
        return LossCause::DeviceGone;
    case QSerialPort::DeviceNotFoundError:
        return LossCause::DeviceNotFound;
    case QSerialPort::PermissionError:
        return LossCause::AccessDenied;
    default:
        return LossCause::Other;
    }
}

} // namespace serialline

SerialPumpPort::SerialPumpPort(QObject *parent) : PumpPort(parent), m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &PumpPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPumpPort::onError);
}

SerialPumpPort::~SerialPumpPort()
{
    m_port.disconnect(this);
    m_port.close();
}

PortStatus SerialPumpPort::open(const QString &device)
{
    if (m_port.isOpen()) {
        return PortStatus::failure(PortError::AlreadyOpen, m_device);
    }
    m_device = device;
    if (device.isEmpty()) {
        return PortStatus::failure(PortError::NoSuchPort);
    }
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QFileInfo file(device);
        const PortError error = serialline::openFailure(m_port.error(), file.exists(),
                                                        file.isReadable() && file.isWritable());
        const QString detail = m_port.errorString();
        m_port.clearError();
        return PortStatus::failure(error, detail);
    }
    m_lossReported = false;
    if (PortStatus applied = applyLineSettings(); !applied.ok()) {
        // An open port with the wrong line settings would only garble frames: give it back.
        close();
        return applied;
    }
    return PortStatus::success();
}

PortStatus SerialPumpPort::applyLineSettings()
{
    const bool pty = isPseudoTerminal(m_device);
    QString refused;
    const auto check = [&](bool applied) {
        if (applied) {
            return;
        }
        const bool tolerated = pty && m_port.error() == QSerialPort::UnsupportedOperationError;
        if (!tolerated && refused.isEmpty()) {
            refused = m_port.errorString();
        }
        m_port.clearError();
    };
    m_applyingSettings = true;
    check(m_port.setBaudRate(QSerialPort::Baud9600));
    check(m_port.setParity(QSerialPort::NoParity));
    check(m_port.setDataBits(QSerialPort::Data8));
    check(m_port.setStopBits(QSerialPort::OneStop));
    check(m_port.setFlowControl(QSerialPort::NoFlowControl));
    m_applyingSettings = false;

    if (!refused.isEmpty()) {
        return PortStatus::failure(PortError::BadSettings, refused);
    }
    return PortStatus::success();
}

void SerialPumpPort::close()
{
    if (m_port.isOpen()) {
        m_port.close();
    }
    m_port.clearError();
}

PortStatus SerialPumpPort::write(const QByteArray &frame)
{
    if (!m_port.isOpen()) {
        return PortStatus::failure(PortError::NotOpen);
    }
    const qint64 written = m_port.write(frame);
    if (written != frame.size()) {
        return PortStatus::failure(PortError::WriteFailed, m_port.errorString());
    }
    // QSerialPort only queues the bytes; give them a moment to reach the device so that a
    // line that has gone away shows up here as a failed write rather than as a success.
    if (m_port.bytesToWrite() > 0) {
        m_port.waitForBytesWritten(int(writeWait.count()));
    }
    if (!m_port.isOpen()) {
        return PortStatus::failure(PortError::WriteFailed, m_port.errorString());
    }
    return PortStatus::success();
}

QByteArray SerialPumpPort::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void SerialPumpPort::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen() || m_applyingSettings || !serialline::endsConnection(error)) {
        return;
    }
    // Closing at once matters: Qt keeps raising a read error in a tight loop until it is.
    // Its text for that read error is whatever errno was left over (often an ioctl's), so it
    // is left out rather than shown to the operator as the cause.
    const LineLoss loss{m_device, serialline::lossCause(error),
                        error == QSerialPort::ReadError ? QString() : m_port.errorString(),
                        int(error)};
    m_port.close();
    m_port.clearError();
    if (m_lossReported) {
        return;
    }
    m_lossReported = true;
    QMetaObject::invokeMethod(
        this, [this, loss] { Q_EMIT connectionLost(loss); }, Qt::QueuedConnection);
}
