#include "link/serialpumpport.h"

#ifdef Q_OS_WIN
#include "link/wire/portnames.h"
#endif

#include <QFileInfo>

namespace {

// Modem-line and some settings calls are refused by a pseudo-terminal (the simulated pump);
// a real line that refuses a setting cannot carry our frames.
bool isPseudoTerminal(const QString &device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

} // namespace

namespace serialline {

PortError refusalBeforeOpening(const FileFacts &target) noexcept
{
    switch (target.kind) {
    case FileKind::Missing:
        return PortError::NoSuchPort;
    case FileKind::CharDevice:
    case FileKind::Unknown: // the system would not say; opening it will tell why
        return PortError::None;
    default:
        return PortError::NotASerialLine;
    }
}

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
    if (PortStatus checked = checkDevice(device); !checked.ok()) {
        return checked;
    }
    m_port.setPortName(device);
    m_errorText.clear();
    m_errorCode = {};
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QFileInfo file(device);
        const PortError error = serialline::openFailure(m_port.error(), file.exists(),
                                                        file.isReadable() && file.isWritable());
        const QString detail = m_port.errorString();
        m_port.clearError();
        return PortStatus::failure(error, detail, m_errorCode);
    }
    m_lossReported = false;
    if (PortStatus applied = applyLineSettings(); !applied.ok()) {
        // An open port with the wrong line settings would only garble frames: give it back.
        close();
        return applied;
    }
    return PortStatus::success();
}

PortStatus SerialPumpPort::checkDevice(const QString &device) const
{
    if (device.isEmpty()) {
        return PortStatus::failure(PortError::NoSuchPort);
    }
#ifdef Q_OS_WIN
    // Serial ports are COM names ("COM3", or "\\.\COM10" as the system spells the long ones);
    // a file path is never one.
    const QString name =
        device.startsWith(QLatin1String("\\\\.\\"), Qt::CaseInsensitive) ? device.mid(4) : device;
    if (!portnames::comNumber(name)) {
        return PortStatus::failure(PortError::NotASerialLine);
    }
    return PortStatus::success();
#else
    // Between this look and the open, the path could only be swapped by someone who may write
    // to its folder: never for an alias (its folder is the operator's alone), and for a typed
    // path in somebody else's folder the open itself still fails on anything but a terminal.
    const PortError refusal = serialline::refusalBeforeOpening(systemfacts::describeTarget(device));
    return refusal == PortError::None ? PortStatus::success() : PortStatus::failure(refusal);
#endif
}

PortStatus SerialPumpPort::applyLineSettings()
{
    const bool pty = isPseudoTerminal(m_device);
    QString refused;
    std::error_code refusedCode;
    const auto check = [&](bool applied) {
        if (applied) {
            return;
        }
        const bool tolerated = pty && m_port.error() == QSerialPort::UnsupportedOperationError;
        if (!tolerated && refused.isEmpty()) {
            refused = m_port.errorString();
            refusedCode = m_errorCode;
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
        return PortStatus::failure(PortError::BadSettings, refused, refusedCode);
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

PortStatus SerialPumpPort::writeFrame(const QByteArray &frame)
{
    if (!m_port.isOpen()) {
        return PortStatus::failure(PortError::NotOpen);
    }
    m_errorText.clear();
    m_errorCode = {};
    const qint64 written = m_port.write(frame);
    // QSerialPort only queues the bytes; hand them to the device now, so that a line that has
    // gone away shows up here as a failed write rather than as a success. Not by waiting for
    // them to be written: that wait also reads whatever replies have arrived, and when the
    // event loop had already seen them waiting, Qt's read notifier then finds nothing to read
    // and reports a read error, which would take the line down.
    if (written == frame.size() && m_port.bytesToWrite() > 0) {
        m_port.flush();
    }
    if (written != frame.size() || !m_port.isOpen()) {
        // The error that closed the port was taken down when Qt reported it; the port's own
        // error text is gone with the close.
        return PortStatus::failure(PortError::WriteFailed,
                                   m_errorText.isEmpty() ? m_port.errorString() : m_errorText,
                                   m_errorCode);
    }
    return PortStatus::success();
}

QByteArray SerialPumpPort::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void SerialPumpPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError) {
        return;
    }
    // Qt's text for a read error is whatever errno was left over (often an ioctl's), so
    // neither it nor the code is kept to be shown to the operator as the cause.
    const bool meaningful = error != QSerialPort::ReadError;
    m_errorText = meaningful ? m_port.errorString() : QString();
    m_errorCode = meaningful ? systemfacts::lastError() : std::error_code();
    if (!m_port.isOpen() || m_applyingSettings || !serialline::endsConnection(error)) {
        return;
    }
    // Closing at once matters: Qt keeps raising a read error in a tight loop until it is.
    const LineLoss loss{m_device, serialline::lossCause(error), m_errorText, int(error),
                        m_errorCode};
    m_port.close();
    m_port.clearError();
    if (m_lossReported) {
        return;
    }
    m_lossReported = true;
    QMetaObject::invokeMethod(
        this, [this, loss] { Q_EMIT connectionLost(loss); }, Qt::QueuedConnection);
}
