// How the operator's answer in the port box becomes a device. Nothing here opens a device.

#include "link/wire/portnames.h"
#include "support/files.h"
#include "support/printto.h"
#include "support/runtimedir.h"

#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

class PortNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        m_aliases = m_runtime.path() + QStringLiteral("/pumpconsole");
    }

    // COM2 -> a file that exists, COM3 -> nothing (a pump that went away).
    void makeAliases()
    {
        ASSERT_TRUE(QDir().mkpath(m_aliases));
        const QString device = m_runtime.path() + QStringLiteral("/device");
        ASSERT_TRUE(writeBytes(device, {}));
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

    PrivateRuntimeDir m_runtime;
    QString m_aliases;
};

// The trust decisions alone, over made-up facts about the folder and the link.
TEST(AliasTrust, OnlyTheUsersOwnClosedFolderAndOwnLinkAreTrusted)
{
    using T = portnames::AliasTrust;
    const uint me = 1000;
    const uint other = 1001;
    const FileFacts myFolder{FileKind::Directory, me, false};
    const FileFacts myLink{FileKind::SymLink, me, false};
    struct Case
    {
        const char *what;
        FileFacts folder;
        FileFacts alias;
        T trust;
    };
    const Case cases[] = {
        {"mine, closed, my link", myFolder, myLink, T::Trusted},
        {"my link may be writable: a link's mode means nothing",
         myFolder,
         {FileKind::SymLink, me, true},
         T::Trusted},
        {"my own plain file", myFolder, {FileKind::RegularFile, me, false}, T::Trusted},
        {"another user's link", myFolder, {FileKind::SymLink, other, false}, T::AliasNotOwned},
        {"root's link", myFolder, {FileKind::SymLink, 0, false}, T::AliasNotOwned},
        {"another user's folder", {FileKind::Directory, other, false}, myLink, T::FolderNotOwned},
        {"root's folder", {FileKind::Directory, 0, false}, myLink, T::FolderNotOwned},
        {"open to the group or others",
         {FileKind::Directory, me, true},
         myLink,
         T::FolderOpenToOthers},
        {"another user's open folder",
         {FileKind::Directory, other, true},
         myLink,
         T::FolderNotOwned},
        {"folder is a link, even my own",
         {FileKind::SymLink, me, false},
         myLink,
         T::FolderNotAFolder},
        {"folder is a file", {FileKind::RegularFile, me, false}, myLink, T::FolderNotAFolder},
        {"folder unreadable", {FileKind::Unknown, 0, false}, myLink, T::FolderNotAFolder},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(portnames::judgeAlias(k.folder, k.alias, me), k.trust) << k.what;
    }
    EXPECT_EQ(portnames::judgeAlias(myFolder, myLink, 0), T::FolderNotOwned) << "root is not me";
    EXPECT_EQ(portnames::judgeFolder(myFolder, me), T::Trusted);
    EXPECT_EQ(portnames::judgeFolder({FileKind::Directory, me, true}, me), T::FolderOpenToOthers);
}

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

TEST_F(PortNames, AnAliasIsFollowedOnlyFromTheUsersOwnClosedFolder)
{
    using T = portnames::AliasTrust;
    struct Case
    {
        const char *what;
        std::function<void(const QString &folder)> tamper;
        std::optional<T> refused;
    };
    const auto mode = [](QFileDevice::Permissions extra) {
        return [extra](const QString &folder) {
            ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner | extra));
        };
    };
    const Case cases[] = {
        {"0700", mode({}), std::nullopt},
        {"0755",
         mode(QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
              QFileDevice::ExeOther),
         std::nullopt},
        {"0770", mode(QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup),
         T::FolderOpenToOthers},
        {"0703", mode(QFileDevice::WriteOther | QFileDevice::ExeOther), T::FolderOpenToOthers},
        {"0777",
         mode(QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther),
         T::FolderOpenToOthers},
        {"the folder is a link to a closed folder of mine",
         [this](const QString &folder) {
             const QString real = m_runtime.path() + QStringLiteral("/elsewhere");
             ASSERT_TRUE(QDir().rename(folder, real));
             ASSERT_TRUE(QFile::link(real, folder));
         },
         T::FolderNotAFolder},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_NO_FATAL_FAILURE(makeAliases());
        k.tamper(m_aliases);

        const auto port = portnames::resolvePortNumber(2);
        ASSERT_TRUE(port.has_value());
        EXPECT_EQ(port->aliasPath, m_aliases + QStringLiteral("/COM2"));
        EXPECT_EQ(port->refusedAlias, k.refused);
        EXPECT_EQ(port->viaAlias, !k.refused);
        EXPECT_EQ(port->device, k.refused ? QStringLiteral("/dev/ttyS1") : port->aliasPath);
        EXPECT_EQ(portnames::deviceForPortNumber(2), port->device);
        // A dangling alias in the same folder says nothing unless the folder is suspect.
        EXPECT_EQ(portnames::resolvePortNumber(3)->refusedAlias, k.refused);

        QFile::remove(m_aliases);
        QDir(m_runtime.path() + QStringLiteral("/elsewhere")).removeRecursively();
        QDir(m_aliases).removeRecursively();
    }
}

// Belonging to another user can only be arranged by root; CI runs as root.
TEST_F(PortNames, AnAliasOrFolderOfAnotherUserIsNotFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    makeAliases();
    const QByteArray link = QFile::encodeName(m_aliases + QStringLiteral("/COM2"));
    ASSERT_EQ(::lchown(link.constData(), 65534, 65534), 0);
    auto port = portnames::resolvePortNumber(2);
    EXPECT_EQ(port->refusedAlias, portnames::AliasTrust::AliasNotOwned);
    EXPECT_EQ(port->device, QStringLiteral("/dev/ttyS1"));

    ASSERT_EQ(::lchown(link.constData(), 0, 0), 0);
    EXPECT_TRUE(portnames::resolvePortNumber(2)->viaAlias);

    ASSERT_EQ(::chown(QFile::encodeName(m_aliases).constData(), 65534, 65534), 0);
    port = portnames::resolvePortNumber(2);
    EXPECT_EQ(port->refusedAlias, portnames::AliasTrust::FolderNotOwned);
    EXPECT_EQ(port->device, QStringLiteral("/dev/ttyS1"));
}

// Qt gives no runtime folder when the one it would fall back to belongs to somebody else (as
// another user could arrange in /tmp): then there is no alias folder at all, rather than one
// at the root of the file system.
TEST_F(PortNames, NoRuntimeFolderMeansNoAliases)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the fallback runtime folder to another user";
    }
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString planted = tmp.path() + QStringLiteral("/runtime-root"); // Qt's fallback
    ASSERT_TRUE(QDir().mkdir(planted));
    ASSERT_EQ(::chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);

    const QString folder = portnames::aliasDirectory();
    const auto port = portnames::resolvePortNumber(1);
    savedTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTmp);

    EXPECT_TRUE(folder.isEmpty()) << folder.toStdString();
    ASSERT_TRUE(port.has_value());
    EXPECT_TRUE(port->aliasPath.isEmpty()) << port->aliasPath.toStdString();
    EXPECT_EQ(port->device, QStringLiteral("/dev/ttyS0"));
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
