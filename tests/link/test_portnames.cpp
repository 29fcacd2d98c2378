// How the operator's answer in the port box becomes a device.

#include "link/portnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

struct NumberCase
{
    int number;
    const char *device; // nullptr: no device; a leading '@' stands for the alias folder
};

struct NameCase
{
    const char *answer;
    const char *device;
};

QString expected(const char *device, const QString &aliases)
{
    const QString text = QString::fromUtf8(device);
    return text.startsWith(u'@') ? aliases + text.mid(1) : text;
}

#ifndef Q_OS_WIN

TEST_F(PortNames, PortNumberPrefersALiveAliasOverTheBuiltInPort)
{
    makeAliases();
    const NumberCase cases[] = {
        {0, nullptr},        {-1, nullptr},     {1, "/dev/ttyS0"},
        {2, "@/COM2"},       {3, "/dev/ttyS2"}, // the alias points at nothing
        {16, "/dev/ttyS15"},
    };
    for (const NumberCase &c : cases) {
        const auto device = portnames::deviceForPortNumber(c.number);
        if (!c.device) {
            EXPECT_FALSE(device.has_value()) << c.number;
            continue;
        }
        ASSERT_TRUE(device.has_value()) << c.number;
        EXPECT_EQ(*device, expected(c.device, m_aliases)) << c.number;
    }
}

TEST_F(PortNames, NamedDevices)
{
    makeAliases();
    const NameCase cases[] = {
        {"COM2", "@/COM2"},
        {" com2 ", "@/COM2"},
        {"COM1", "/dev/ttyS0"},
        {"Com03", "/dev/ttyS2"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"  /dev/ttyACM1\t", "/dev/ttyACM1"},
        {"/dev/serial/by-id/usb-FTDI-if00", "/dev/serial/by-id/usb-FTDI-if00"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyS1", "/dev/ttyS1"},
        {"COM0", nullptr},
        {"COM", nullptr},
        {"COMx", nullptr},
        {"COM3x", nullptr},
        {"COM 3", nullptr},
        {"COM-1", nullptr},
        {"COM99999999999", nullptr},
        {"tty", nullptr},
        {"tty/../sda", nullptr},
        {"dev/ttyUSB0", nullptr},
        {"USB0", nullptr},
        {"", nullptr},
        {"   ", nullptr},
    };
    for (const NameCase &c : cases) {
        const auto device = portnames::deviceFromName(QString::fromUtf8(c.answer));
        if (!c.device) {
            EXPECT_FALSE(device.has_value()) << c.answer << " gave " << qPrintable(*device);
            continue;
        }
        ASSERT_TRUE(device.has_value()) << c.answer;
        EXPECT_EQ(*device, expected(c.device, m_aliases)) << c.answer;
    }
}

#else

TEST_F(PortNames, WindowsNamesArePortsOnly)
{
    const NameCase cases[] = {
        {"COM3", "COM3"},  {" com3 ", "COM3"},        {"COM03", "COM3"},    {"COM0", nullptr},
        {"COMx", nullptr}, {"/dev/ttyUSB0", nullptr}, {"ttyUSB0", nullptr}, {"", nullptr},
    };
    for (const NameCase &c : cases) {
        const auto device = portnames::deviceFromName(QString::fromUtf8(c.answer));
        EXPECT_EQ(device.has_value(), c.device != nullptr) << c.answer;
        if (device && c.device) {
            EXPECT_EQ(*device, QString::fromUtf8(c.device)) << c.answer;
        }
    }
    EXPECT_EQ(portnames::deviceForPortNumber(7), QStringLiteral("COM7"));
    EXPECT_FALSE(portnames::deviceForPortNumber(0).has_value());
}

#endif

} // namespace
