// How the operator's answer in the port box becomes a device. Nothing here opens a device.

#include "link/wire/portnames.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class PortNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_aliases = m_runtime.path() + QStringLiteral("/pumpconsole");
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_savedRuntime); }

    // COM2 -> a file that exists, COM3 -> nothing (a pump that went away).
    void makeAliases()
    {
        ASSERT_TRUE(QDir().mkpath(m_aliases));
        const QString device = m_runtime.path() + QStringLiteral("/device");
        QFile file(device);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QFile::link(device, m_aliases + QStringLiteral("/COM2")));
        ASSERT_TRUE(QFile::link(m_runtime.path() + QStringLiteral("/gone"),
                                m_aliases + QStringLiteral("/COM3")));
    }

    // `expected` nullptr: no device; a leading '@' stands for the alias folder.
    void expectDevice(const std::optional<QString> &device, const char *expected,
                      const std::string &asked) const
    {
        if (!expected) {
            EXPECT_FALSE(device.has_value()) << asked << " gave " << qPrintable(*device);
            return;
        }
        const QString text = QString::fromUtf8(expected);
        EXPECT_EQ(device, text.startsWith(u'@') ? m_aliases + text.mid(1) : text) << asked;
    }

    QTemporaryDir m_runtime;
    QByteArray m_savedRuntime;
    QString m_aliases;
};

TEST_F(PortNames, AliasDirectoryIsPerUserAndNotCreatedByAsking)
{
    EXPECT_EQ(portnames::aliasDirectory(), m_aliases);
    portnames::deviceForPortNumber(1);
    portnames::deviceFromName(QStringLiteral("COM1"));
    EXPECT_FALSE(QFileInfo::exists(m_aliases));
}

#ifndef Q_OS_WIN

TEST_F(PortNames, PortNumberPrefersALiveAliasOverTheBuiltInPort)
{
    makeAliases();
    const std::pair<int, const char *> cases[] = {
        {0, nullptr},        {-1, nullptr},     {1, "/dev/ttyS0"},
        {2, "@/COM2"},       {3, "/dev/ttyS2"}, // the alias points at nothing
        {16, "/dev/ttyS15"},
    };
    for (const auto &[number, device] : cases) {
        expectDevice(portnames::deviceForPortNumber(number), device, std::to_string(number));
    }
}

TEST_F(PortNames, NamedDevices)
{
    makeAliases();
    const std::pair<const char *, const char *> cases[] = {
        {"COM2", "@/COM2"},
        {" com2 ", "@/COM2"},
        {"COM1", "/dev/ttyS0"},
        {"Com03", "/dev/ttyS2"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"  /dev/ttyACM1\t", "/dev/ttyACM1"},
        {"/dev/serial/by-id/usb-FTDI-if00", "/dev/serial/by-id/usb-FTDI-if00"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyS1", "/dev/ttyS1"},
    };
    for (const auto &[answer, device] : cases) {
        expectDevice(portnames::deviceFromName(QString::fromUtf8(answer)), device, answer);
    }
    for (const char *answer : {"COM0", "COM", "COMx", "COM3x", "COM 3", "COM-1", "COM99999999999",
                               "tty", "tty/../sda", "dev/ttyUSB0", "USB0", "", "   "}) {
        expectDevice(portnames::deviceFromName(QString::fromUtf8(answer)), nullptr, answer);
    }
}

#else

TEST_F(PortNames, WindowsNamesArePortsOnly)
{
    const std::pair<const char *, const char *> cases[] = {
        {"COM3", "COM3"},  {" com3 ", "COM3"},        {"COM03", "COM3"},    {"COM0", nullptr},
        {"COMx", nullptr}, {"/dev/ttyUSB0", nullptr}, {"ttyUSB0", nullptr}, {"", nullptr},
    };
    for (const auto &[answer, device] : cases) {
        expectDevice(portnames::deviceFromName(QString::fromUtf8(answer)), device, answer);
    }
    expectDevice(portnames::deviceForPortNumber(7), "COM7", "7");
    expectDevice(portnames::deviceForPortNumber(0), nullptr, "0");
}

#endif

} // namespace
