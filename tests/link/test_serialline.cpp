// The serial line's decisions, without a port: settings text, which errors end a connection,
// and how a failed open reads to the operator.

#include "link/serialpumpport.h"

#include <gtest/gtest.h>

namespace {

struct SettingsCase
{
    const char *text;
    bool ok;
    qint32 baud;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

TEST(SerialLine, SettingsText)
{
    using P = QSerialPort;
    const SettingsCase cases[] = {
        {"9600,n,8,1", true, 9600, P::NoParity, P::Data8, P::OneStop},
        {"9600,N,8,1", true, 9600, P::NoParity, P::Data8, P::OneStop},
        {" 19200 , e , 7 , 2 ", true, 19200, P::EvenParity, P::Data7, P::TwoStop},
        {"1200,o,5,1.5", true, 1200, P::OddParity, P::Data5, P::OneAndHalfStop},
        {"4800,m,6,1", true, 4800, P::MarkParity, P::Data6, P::OneStop},
        {"115200,s,8,1", true, 115200, P::SpaceParity, P::Data8, P::OneStop},
        {"", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,8", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,8,1,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"fast,n,8,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"0,n,8,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"-9600,n,8,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,x,8,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,no,8,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,4,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,9,1", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,8,3", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600,n,8,0", false, 0, P::NoParity, P::Data8, P::OneStop},
        {"9600;n;8;1", false, 0, P::NoParity, P::Data8, P::OneStop},
    };
    for (const SettingsCase &c : cases) {
        const auto s = serialline::parseSettings(QString::fromUtf8(c.text));
        ASSERT_EQ(s.has_value(), c.ok) << c.text;
        if (!c.ok) {
            continue;
        }
        EXPECT_EQ(s->baud, c.baud) << c.text;
        EXPECT_EQ(s->parity, c.parity) << c.text;
        EXPECT_EQ(s->dataBits, c.dataBits) << c.text;
        EXPECT_EQ(s->stopBits, c.stopBits) << c.text;
    }
}

TEST(SerialLine, WhichErrorsEndAConnection)
{
    using P = QSerialPort;
    const std::pair<P::SerialPortError, bool> cases[] = {
        {P::NoError, false},
        {P::UnsupportedOperationError, false}, // modem lines on a pseudo-terminal
        {P::TimeoutError, false},              // our own short wait after a write
        {P::ReadError, true},                  // what Qt reports when the far end goes
        {P::WriteError, true},
        {P::ResourceError, true}, // an unplugged adapter
        {P::DeviceNotFoundError, true},
        {P::PermissionError, true},
        {P::UnknownError, true},
    };
    for (const auto &[error, ends] : cases) {
        EXPECT_EQ(serialline::endsConnection(error), ends) << int(error);
    }
}

TEST(SerialLine, WhyAnOpenFailed)
{
    using P = QSerialPort;
    struct Case
    {
        P::SerialPortError error;
        bool exists;
        bool accessible;
        PortError expected;
    };
    const Case cases[] = {
        {P::DeviceNotFoundError, false, false, PortError::NoSuchPort},
        {P::PermissionError, true, true, PortError::Busy},              // another program's lock
        {P::PermissionError, true, false, PortError::PermissionDenied}, // not in dialout
        {P::PermissionError, false, false, PortError::PermissionDenied},
        {P::OpenError, true, true, PortError::Busy},
        {P::ResourceError, true, true, PortError::Other},
        {P::UnknownError, true, true, PortError::Other},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(serialline::openFailure(c.error, c.exists, c.accessible), c.expected)
            << int(c.error) << ' ' << c.exists << ' ' << c.accessible;
    }
}

TEST(SerialLine, ClosedPortRefusesWorkButTakesSettingsOfItsOwn)
{
    SerialPumpPort port;
    EXPECT_FALSE(port.portOpen());
    EXPECT_EQ(port.output("Q01R0000Y").error, PortError::NotOpen);
    EXPECT_EQ(port.setSettings(QStringLiteral("9600,n,8,1")).error, PortError::NotOpen);
    EXPECT_EQ(port.setSettings(QStringLiteral("9600,n,8")).error, PortError::BadSettings);
    EXPECT_TRUE(port.input().isEmpty());
    EXPECT_TRUE(port.setPortOpen(false).ok()); // closing a closed port is harmless
    EXPECT_EQ(port.setPortOpen(true).error, PortError::NoSuchPort); // no device chosen yet

    ASSERT_TRUE(port.setCommPort(QStringLiteral("/nonexistent/ttyNothing")).ok());
    EXPECT_EQ(port.commPort(), QStringLiteral("/nonexistent/ttyNothing"));
    const PortStatus status = port.setPortOpen(true);
    EXPECT_EQ(status.error, PortError::NoSuchPort);
    EXPECT_FALSE(status.detail.isEmpty());
    EXPECT_FALSE(port.portOpen());
}

} // namespace
