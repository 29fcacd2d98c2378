#include "link/serialpumpport.h"

#include <chrono>
#include <QFileInfo>
#include <QStringList>

namespace {

// Long enough for the kernel to take a nine-byte frame from a pty or a USB adapter, short
// enough that the operator never notices the window pause.
constexpr std::chrono::milliseconds writeWait{5};

// The operator's words for a line that went away.
QString lossCause(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
        return QStringLiteral("读取失败（对方已关闭或设备已拔出）");
    case QSerialPort::WriteError:
        return QStringLiteral("写入失败");
    case QSerialPort::ResourceError:
        return QStringLiteral("设备已不可用（可能已被拔出）");
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("设备已不存在");
    case QSerialPort::PermissionError:
        return QStringLiteral("设备拒绝访问");
    default:
        return QStringLiteral("通信错误（代码 %1）").arg(int(error));
    }
}

// Modem-line and some settings calls are refused by a pseudo-terminal (the simulated pump);
// a real line that refuses a setting cannot carry our frames.
bool isPseudoTerminal(const QString &device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

} // namespace

namespace serialline {

std::optional<LineSettings> parseSettings(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    LineSettings s;

    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0) {
        return std::nullopt;
    }

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n") {
        s.parity = QSerialPort::NoParity;
    } else if (parity == u"e") {
        s.parity = QSerialPort::EvenParity;
    } else if (parity == u"o") {
        s.parity = QSerialPort::OddParity;
    } else if (parity == u"m") {
        s.parity = QSerialPort::MarkParity;
    } else if (parity == u"s") {
        s.parity = QSerialPort::SpaceParity;
    } else {
        return std::nullopt;
    }

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) {
        return std::nullopt;
    }
    s.dataBits = QSerialPort::DataBits(bits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1") {
        s.stopBits = QSerialPort::OneStop;
    } else if (stop == u"1.5") {
        s.stopBits = QSerialPort::OneAndHalfStop;
    } else if (stop == u"2") {
        s.stopBits = QSerialPort::TwoStop;
    } else {
        return std::nullopt;
    }
    return s;
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

} // namespace serialline

SerialPumpPort::SerialPumpPort(QObject *parent) : PumpPort(parent), m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPumpPort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPumpPort::onError);
}

SerialPumpPort::~SerialPumpPort()
{
    m_port.disconnect(this);
    m_port.close();
}

PortStatus SerialPumpPort::setCommPort(const QString &device)
{
    if (m_port.isOpen()) {
        return PortStatus::failure(PortError::AlreadyOpen, m_device);
    }
    m_device = device;
    return PortStatus::success();
}

PortStatus SerialPumpPort::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen()) {
            m_port.close();
        }
        m_port.clearError();
        return PortStatus::success();
    }
    if (m_port.isOpen()) {
        return PortStatus::failure(PortError::AlreadyOpen, m_device);
    }
    if (m_device.isEmpty()) {
        return PortStatus::failure(PortError::NoSuchPort);
    }

    m_port.setPortName(m_device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QFileInfo file(m_device);
        const PortError error = serialline::openFailure(m_port.error(), file.exists(),
                                                        file.isReadable() && file.isWritable());
        const QString detail = m_port.errorString();
        m_port.clearError();
        return PortStatus::failure(error, detail);
    }
    m_lossReported = false;
    m_commEvent = 0;
    return PortStatus::success();
}

PortStatus SerialPumpPort::setSettings(const QString &settings)
{
    const auto parsed = serialline::parseSettings(settings);
    if (!parsed) {
        return PortStatus::failure(PortError::BadSettings,
                                   QStringLiteral("“%1”不是有效的串口设置").arg(settings));
    }
    if (!m_port.isOpen()) {
        return PortStatus::failure(PortError::NotOpen);
    }

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
    check(m_port.setBaudRate(parsed->baud));
    check(m_port.setParity(parsed->parity));
    check(m_port.setDataBits(parsed->dataBits));
    check(m_port.setStopBits(parsed->stopBits));
    check(m_port.setFlowControl(QSerialPort::NoFlowControl));
    m_applyingSettings = false;

    if (!refused.isEmpty()) {
        return PortStatus::failure(PortError::BadSettings, refused);
    }
    return PortStatus::success();
}

void SerialPumpPort::setInputLen(int length)
{
    m_inputLen = qMax(0, length);
}

void SerialPumpPort::setRThreshold(int count)
{
    m_rThreshold = qMax(0, count);
}

PortStatus SerialPumpPort::output(const QByteArray &frame)
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

QByteArray SerialPumpPort::input()
{
    if (!m_port.isOpen()) {
        return {};
    }
    return m_inputLen > 0 ? m_port.read(m_inputLen) : m_port.readAll();
}

bool SerialPumpPort::thresholdReached() const
{
    return m_port.isOpen() && m_rThreshold > 0 && m_port.bytesAvailable() >= m_rThreshold;
}

void SerialPumpPort::onReadyRead()
{
    // readyRead may come from inside output() (its short wait also reads); the handler must
    // never run in the middle of a send, so OnComm always goes through the event loop.
    if (m_onCommQueued || !thresholdReached()) {
        return;
    }
    m_onCommQueued = true;
    QMetaObject::invokeMethod(this, &SerialPumpPort::deliverOnComm, Qt::QueuedConnection);
}

void SerialPumpPort::deliverOnComm()
{
    m_onCommQueued = false;
    if (!thresholdReached()) {
        return; // read in the meantime, or the port was closed
    }
    const qint64 waiting = m_port.bytesAvailable();
    m_commEvent = PumpPort::comEvReceive;
    Q_EMIT OnComm();
    // A handler that reads a limited length leaves the rest waiting; without another event it
    // would sit there until the pump's next reply. One that reads nothing is not asked again,
    // or the two would spin.
    if (thresholdReached() && m_port.bytesAvailable() < waiting) {
        onReadyRead();
    }
}

void SerialPumpPort::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen() || m_applyingSettings || !serialline::endsConnection(error)) {
        return;
    }
    // Closing at once matters: Qt keeps raising a read error in a tight loop until it is.
    // Its text for that read error is whatever errno was left over (often an ioctl's), so it
    // is left out rather than shown to the operator as the cause.
    const QString systemText = error == QSerialPort::ReadError ? QString() : m_port.errorString();
    const QString reason =
        QStringLiteral("串口 %1 已断开：%2").arg(m_device, lossCause(error)) +
        (systemText.isEmpty() ? QString() : QStringLiteral("（%1）").arg(systemText));
    m_port.close();
    m_port.clearError();
    if (m_lossReported) {
        return;
    }
    m_lossReported = true;
    QMetaObject::invokeMethod(
        this, [this, reason] { Q_EMIT connectionLost(reason); }, Qt::QueuedConnection);
}
