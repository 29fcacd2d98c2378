// The serial line: which errors end a connection and how they read to the operator, then
// SerialPumpPort itself on a pseudo-terminal that the test plays the pump on.

#include "link/serialpumpport.h"
#include "support/files.h"
#include "support/printto.h"
#include "support/pty.h"
#include "support/wait.h"

#include <atomic>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

using P = QSerialPort;

TEST(SerialLine, WhichErrorsEndAConnectionAndWhatTookTheLine)
{
    struct Case
    {
        P::SerialPortError error;
        bool ends;
        LossCause cause;
    };
    const Case cases[] = {
        {P::NoError, false, LossCause::Other},
        {P::UnsupportedOperationError, false, LossCause::Other}, // modem lines on a pty
        {P::TimeoutError, false, LossCause::Other},              // our own short wait
        {P::ReadError, true, LossCause::ReadFailed}, // what Qt reports when the far end goes
        {P::WriteError, true, LossCause::WriteFailed},
        {P::ResourceError, true, LossCause::DeviceGone}, // an unplugged adapter
        {P::DeviceNotFoundError, true, LossCause::DeviceNotFound},
        {P::PermissionError, true, LossCause::AccessDenied},
        {P::OpenError, true, LossCause::Other},
        {P::UnknownError, true, LossCause::Other},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(serialline::endsConnection(c.error), c.ends) << int(c.error);
        if (c.ends) {
            EXPECT_EQ(serialline::lossCause(c.error), c.cause) << int(c.error);
        }
    }
}

TEST(SerialLine, WhyAnOpenFailed)
{
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

TEST(SerialPumpPort, ClosedPortRefusesWork)
{
    SerialPumpPort port;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.write("Q01R0000Y"_ba).error, PortError::NotOpen);
    EXPECT_TRUE(port.readAll().isEmpty());
    port.close(); // closing a closed port is harmless
    EXPECT_EQ(port.open(QString()).error, PortError::NoSuchPort); // no device chosen

    const QString missing = u"/nonexistent/ttyNothing"_s;
    const PortStatus status = port.open(missing);
    EXPECT_EQ(status.error, PortError::NoSuchPort);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.device(), missing);
}

TEST(SerialLine, OnlyACharacterDeviceIsOpened)
{
    const std::pair<FileKind, PortError> cases[] = {
        {FileKind::CharDevice, PortError::None},
        {FileKind::Unknown, PortError::None}, // the open itself will say why it fails
        {FileKind::Missing, PortError::NoSuchPort},
        {FileKind::RegularFile, PortError::NotASerialLine},
        {FileKind::Directory, PortError::NotASerialLine},
        {FileKind::SymLink, PortError::NotASerialLine},
        {FileKind::Other, PortError::NotASerialLine}, // a disk, a pipe, a socket
    };
    for (const auto &[kind, error] : cases) {
        EXPECT_EQ(serialline::refusalBeforeOpening(FileFacts{kind, 0, false}), error) << int(kind);
    }
}

#ifdef Q_OS_LINUX
// Notices anything opening a file in a folder, or the folder itself.
class OpenWatch
{
public:
    explicit OpenWatch(const QStringList &folders) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        for (const QString &folder : folders) {
            inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN);
        }
    }
    ~OpenWatch() { ::close(m_fd); }
    bool isValid() const { return m_fd >= 0; }
    bool anythingOpened() const
    {
        alignas(inotify_event) char buffer[4096];
        return ::read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};

TEST(SerialPumpPort, WhatIsNotASerialLineIsRefusedWithoutOpeningIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"passwd"_s);
    ASSERT_TRUE(writeBytes(file, "root:x:0:0\n"));
    const QString folder = dir.filePath(u"folder"_s);
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString pipe = dir.filePath(u"pipe"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString link = dir.filePath(u"COM1"_s);
    ASSERT_TRUE(QFile::link(file, link));

    OpenWatch watch({dir.path(), folder});
    ASSERT_TRUE(watch.isValid());
    SerialPumpPort port;
    for (const QString &path : {file, folder, pipe, link}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(port.open(path).error, PortError::NotASerialLine);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.device(), path);
    }
    EXPECT_FALSE(watch.anythingOpened());
    EXPECT_EQ(QFileInfo(file).size(), 11);
}
#endif

class SerialPumpPortOnPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isValid());
        const PortStatus opened = port.open(pty.slaveName());
        ASSERT_TRUE(opened.ok()) << qPrintable(opened.detail);
    }

    PtyPair pty;
    SerialPumpPort port;
};

TEST_F(SerialPumpPortOnPty, FramesGoOutWholeRepliesComeInAcrossAReopen)
{
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.device(), pty.slaveName());
    ASSERT_TRUE(port.write("Q01R0000Y"_ba).ok());
    EXPECT_EQ(pty.receive(9), "Q01R0000Y"_ba);

    QSignalSpy readyRead(&port, &PumpPort::readyRead);
    ASSERT_TRUE(pty.send("Q01N01.2Y"));
    QByteArray got;
    EXPECT_TRUE(waitUntil([&] { return (got += port.readAll()).size() >= 9; }));
    EXPECT_EQ(got, "Q01N01.2Y"_ba);
    EXPECT_GE(readyRead.count(), 1);

    // Closed and opened again, the line still carries frames.
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.write("Q01R0000Y"_ba).error, PortError::NotOpen);
    ASSERT_TRUE(port.open(pty.slaveName()).ok());
    ASSERT_TRUE(port.write("Q01S0000Y"_ba).ok());
    EXPECT_EQ(pty.receive(9), "Q01S0000Y"_ba);
}

TEST_F(SerialPumpPortOnPty, AnOpenPortIsNeitherSharedNorRepointed)
{
    SerialPumpPort second;
    const PortStatus status = second.open(pty.slaveName());
    EXPECT_EQ(status.error, PortError::Busy) << qPrintable(status.detail);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.write("Q01R0000Y"_ba).error, PortError::NotOpen);

    EXPECT_EQ(port.open(u"/nonexistent/ttyOther"_s).error, PortError::AlreadyOpen);
    EXPECT_EQ(port.device(), pty.slaveName());

    // The first connection is untouched by all of that.
    EXPECT_TRUE(port.isOpen());
    ASSERT_TRUE(port.write("Q01R0000Y"_ba).ok());
    EXPECT_EQ(pty.receive(9), "Q01R0000Y"_ba);
}

// A frame written while replies pour in (a stop while the pump floods the line) must not cost
// the line: waiting in the write also read the replies, and Qt's read notifier, finding nothing
// left, took the empty read for a lost line.
TEST_F(SerialPumpPortOnPty, WritingWhileRepliesPourInKeepsTheLine)
{
    QSignalSpy lost(&port, &PumpPort::connectionLost);
    std::atomic<bool> done = false;
    std::thread pump([this, &done] {
        for (int burst = 0; burst < 400 && !done; ++burst) {
            for (int i = 0; i < 20; ++i) {
                pty.send("Q01N01.2Y");
            }
            pty.receive(1 << 20, 1); // whatever the console sent meanwhile
        }
        done = true;
    });
    // Replies are read as they come; frames go out from the event loop, as an operator's
    // commands and the timed run's ticks do, in the same passes that find replies waiting.
    int written = 0;
    QObject context;
    QObject::connect(&port, &PumpPort::readyRead, &context, [&] { port.readAll(); });
    std::function<void()> send = [&] {
        if (port.isOpen() && port.write("Q01S0000Y"_ba).ok()) {
            ++written;
        }
        if (!done) {
            QMetaObject::invokeMethod(&context, send, Qt::QueuedConnection);
        }
    };
    QMetaObject::invokeMethod(&context, send, Qt::QueuedConnection);
    waitUntil([&] { return done.load() || lost.count() > 0; }, 20000);
    done = true;
    pump.join();
    EXPECT_EQ(lost.count(), 0);
    EXPECT_TRUE(port.isOpen());
    EXPECT_GT(written, 10);
}

TEST_F(SerialPumpPortOnPty, HangUpIsReportedOnceAndClosesThePort)
{
    QSignalSpy lost(&port, &PumpPort::connectionLost);
    pty.hangUp();
    ASSERT_TRUE(waitUntil([&] { return lost.count() > 0; }, 3000));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(waitUntil([&] { return lost.count() > 1; }, 300)); // and not again
    const auto loss = lost.front().front().value<LineLoss>();
    EXPECT_EQ(loss.device, pty.slaveName());
    // Which of the two Qt raises depends on what the read left in errno.
    EXPECT_TRUE(loss.cause == LossCause::ReadFailed || loss.cause == LossCause::DeviceGone)
        << int(loss.cause);

    EXPECT_EQ(port.write("Q01R0000Y"_ba).error, PortError::NotOpen);
    EXPECT_TRUE(port.readAll().isEmpty());
}

} // namespace
