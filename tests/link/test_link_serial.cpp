// The serial line end to end: SerialPumpPort against the simulated pump on a real
// pseudo-terminal, found the way the operator finds it (port number 1 -> alias COM1).

#include "link/framereader.h"
#include "link/portnames.h"
#include "link/serialpumpport.h"
#include "simulator.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString lineSettings = QStringLiteral("9600,n,8,1");

// What the console's OnComm handler would do: read, cut into frames, keep them.
class Receiver
{
public:
    explicit Receiver(SerialPumpPort &port) : m_port(port)
    {
        QObject::connect(&port, &PumpPort::OnComm, &m_context, [this] {
            m_events.push_back(m_port.commEvent());
            const QByteArray bytes = m_port.input();
            m_reads.push_back(bytes);
            for (QByteArray &frame : m_reader.feed(bytes)) {
                m_frames.push_back(std::move(frame));
            }
        });
    }

    std::optional<QByteArray> waitForFrame(const std::function<bool(const QByteArray &)> &match,
                                           int ms = 3000)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            for (; m_checked < m_frames.size(); ++m_checked) {
                if (match(m_frames[m_checked])) {
                    return m_frames[m_checked++];
                }
            }
            if (deadline.hasExpired()) {
                return std::nullopt;
            }
            QSignalSpy onComm(&m_port, &PumpPort::OnComm);
            onComm.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    std::optional<QByteArray> waitForFrame(const QRegularExpression &pattern, int ms = 3000)
    {
        return waitForFrame(
            [&](const QByteArray &f) { return pattern.match(QString::fromLatin1(f)).hasMatch(); },
            ms);
    }

    const std::vector<int> &events() const { return m_events; }
    const std::vector<QByteArray> &reads() const { return m_reads; }
    const std::vector<QByteArray> &frames() const { return m_frames; }

private:
    SerialPumpPort &m_port;
    QObject m_context;
    FrameReader m_reader;
    std::vector<int> m_events;
    std::vector<QByteArray> m_reads;
    std::vector<QByteArray> m_frames;
    size_t m_checked = 0;
};

QRegularExpression pressureReply(const QString &pump = QStringLiteral("01"))
{
    return QRegularExpression(QStringLiteral("^Q%1N\\d\\d\\.\\dY$").arg(pump));
}

class SerialLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        // Both this process (portnames) and the simulator must agree on the alias folder.
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override
    {
        m_simulator.reset(); // before the folder it lives in goes
        qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    }

    // Starts the simulator as pump port 1 and returns the device the console would open.
    QString startSimulator(QStringList arguments)
    {
        arguments << QStringLiteral("--port") << QStringLiteral("1");
        m_simulator = std::make_unique<Simulator>(m_runtime.path(), arguments);
        const auto pty = m_simulator->waitForPrefix(QStringLiteral("pty: "));
        const auto alias = m_simulator->waitForPrefix(QStringLiteral("alias: "));
        if (!pty || !alias) {
            ADD_FAILURE() << "the simulator did not start: " << qPrintable(simulatorPath());
            return {};
        }
        m_pty = *pty;
        m_alias = *alias;
        const auto device = portnames::deviceForPortNumber(1);
        EXPECT_EQ(device, m_alias);
        EXPECT_EQ(QFileInfo(m_alias).symLinkTarget(), m_pty);
        return device.value_or(QString());
    }

    static void openPort(SerialPumpPort &port, const QString &device, int threshold = 9)
    {
        ASSERT_TRUE(port.setCommPort(device).ok());
        const PortStatus opened = port.setPortOpen(true);
        ASSERT_TRUE(opened.ok()) << qPrintable(opened.detail);
        const PortStatus set = port.setSettings(lineSettings);
        ASSERT_TRUE(set.ok()) << qPrintable(set.detail);
        port.setInputLen(0);
        port.setRThreshold(threshold);
    }

    Simulator &sim() { return *m_simulator; }

    QTemporaryDir m_runtime;
    QByteArray m_savedRuntime;
    std::unique_ptr<Simulator> m_simulator;
    QString m_pty;
    QString m_alias;
};

TEST_F(SerialLink, RunFrameReachesThePumpAndItsRepliesComeBack)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("20")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    Receiver receiver(port);

    ASSERT_TRUE(port.output("Q01R0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(QStringLiteral("RX Q01R0000Y")));
    EXPECT_TRUE(receiver.waitForFrame(pressureReply()).has_value());

    // Setpoints come back as the pump took them.
    ASSERT_TRUE(port.output("Q01L12.5Y").ok());
    EXPECT_EQ(receiver.waitForFrame([](const QByteArray &f) { return f[3] == 'L'; }),
              QByteArray("Q01L12.5Y"));
    ASSERT_TRUE(port.output("Q01P01.5Y").ok());
    EXPECT_EQ(receiver.waitForFrame([](const QByteArray &f) { return f[3] == 'P'; }),
              QByteArray("Q01P01.5Y"));

    // Running at 12.5 ml/min the pressure climbs off zero within a second or so.
    EXPECT_TRUE(receiver
                    .waitForFrame([](const QByteArray &f) {
                        return f[3] == 'N' && f.mid(4, 4).toDouble() >= 0.1;
                    })
                    .has_value());

    for (int event : receiver.events()) {
        EXPECT_EQ(event, PumpPort::comEvReceive);
    }
    // With RThreshold 9, no OnComm for less than a frame.
    for (const QByteArray &read : receiver.reads()) {
        EXPECT_GE(read.size(), 9);
    }
}

TEST_F(SerialLink, TenCharacterRunFrameReachesPumpTwelve)
{
    const QString device = startSimulator({QStringLiteral("--pump"), QStringLiteral("12"),
                                           QStringLiteral("--rate"), QStringLiteral("20")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    Receiver receiver(port);

    ASSERT_TRUE(port.output("Q01R0000Y").ok());
    ASSERT_TRUE(port.output("Q012R0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(QStringLiteral("RX Q012R0000Y")));
    EXPECT_EQ(sim().countExact(QStringLiteral("RX Q01R0000Y")), 0); // not pump 12's
    EXPECT_EQ(sim().countExact(QStringLiteral("RX Q01R0000Y (other pump, ignored)")), 1);
    EXPECT_TRUE(receiver.waitForFrame(pressureReply(QStringLiteral("12"))).has_value());
}

TEST_F(SerialLink, ThresholdZeroMeansNoOnComm)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("50")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device, 0);
    QSignalSpy onComm(&port, &PumpPort::OnComm);
    EXPECT_FALSE(onComm.wait(300)); // replies arrive, nobody is told
    port.setRThreshold(9);
    EXPECT_TRUE(onComm.wait(1000));
    EXPECT_GE(port.input().size(), 9);
}

TEST_F(SerialLink, OnCommNeverFiresFromInsideOutput)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("50")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    QSignalSpy onComm(&port, &PumpPort::OnComm);

    // Let replies pile up unread, so that the write's short wait finds them waiting.
    QThread::msleep(150);
    ASSERT_TRUE(port.output("Q01S0000Y").ok());
    EXPECT_EQ(onComm.count(), 0);
    EXPECT_TRUE(onComm.wait(1000));
}

TEST_F(SerialLink, AnOpenPortIsNeitherSharedNorRepointed)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("0")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort first;
    openPort(first, device);

    SerialPumpPort second;
    ASSERT_TRUE(second.setCommPort(device).ok());
    const PortStatus status = second.setPortOpen(true);
    EXPECT_EQ(status.error, PortError::Busy) << qPrintable(status.detail);
    EXPECT_FALSE(second.portOpen());
    EXPECT_EQ(second.output("Q01R0000Y").error, PortError::NotOpen);

    EXPECT_EQ(first.setCommPort(QStringLiteral("/dev/ttyS0")).error, PortError::AlreadyOpen);
    EXPECT_EQ(first.commPort(), device);
    EXPECT_EQ(first.setPortOpen(true).error, PortError::AlreadyOpen);

    // The first connection is untouched by all of that.
    EXPECT_TRUE(first.portOpen());
    ASSERT_TRUE(first.output("Q01R0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(QStringLiteral("RX Q01R0000Y")));

    ASSERT_TRUE(first.setPortOpen(false).ok());
    EXPECT_TRUE(first.setPortOpen(false).ok());
    EXPECT_TRUE(first.setCommPort(QStringLiteral("/dev/ttyS0")).ok());
}

TEST_F(SerialLink, ConsoleCanCloseAndReopenTheLine)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("20")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    ASSERT_TRUE(port.output("Q01R0000Y").ok());
    ASSERT_TRUE(sim().waitForExact(QStringLiteral("RX Q01R0000Y")));

    ASSERT_TRUE(port.setPortOpen(false).ok());
    openPort(port, device);
    Receiver receiver(port);
    ASSERT_TRUE(port.output("Q01S0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(QStringLiteral("RX Q01S0000Y")));
    EXPECT_TRUE(receiver.waitForFrame(pressureReply()).has_value());
}

TEST_F(SerialLink, UnpluggedLineIsReportedOnceAndLeavesThePortClosed)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("20"),
                                           QStringLiteral("--close-after"), QStringLiteral("0.5")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    QSignalSpy lost(&port, &PumpPort::connectionLost);

    ASSERT_TRUE(lost.wait(3000));
    EXPECT_FALSE(port.portOpen());
    EXPECT_FALSE(lost.wait(300)); // and not again
    ASSERT_EQ(lost.count(), 1);
    const QString reason = lost.front().front().toString();
    EXPECT_TRUE(reason.contains(device)) << qPrintable(reason);

    EXPECT_EQ(port.output("Q01R0000Y").error, PortError::NotOpen);
    EXPECT_TRUE(port.input().isEmpty());

    // The pump side went away cleanly and took its alias with it.
    EXPECT_TRUE(sim().waitForExact(QStringLiteral("closed")));
    if (sim().process().state() != QProcess::NotRunning) {
        ASSERT_TRUE(sim().process().waitForFinished(2000));
    }
    EXPECT_EQ(sim().process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim().process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(m_alias).isSymLink());
}

TEST_F(SerialLink, SimulatorPacesItselfToNineThousandSixHundredBaud)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("1000")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    Receiver receiver(port);

    ASSERT_TRUE(receiver.waitForFrame(pressureReply()).has_value());
    const size_t first = receiver.frames().size();
    QElapsedTimer clock;
    clock.start();
    QSignalSpy onComm(&port, &PumpPort::OnComm);
    while (clock.elapsed() < 700) {
        onComm.wait(50);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double perSecond = double(receiver.frames().size() - first) / seconds;
    EXPECT_LE(perSecond, 115.0); // 106.7 frames a second at most, with a little timing slack
    EXPECT_GE(perSecond, 40.0);  // and it does keep sending
}

TEST_F(SerialLink, SplitRepliesAndNoiseStillGiveWholeFrames)
{
    const QString device =
        startSimulator({QStringLiteral("--rate"), QStringLiteral("40"), QStringLiteral("--split"),
                        QStringLiteral("3"), QStringLiteral("--garbage")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device, 1);
    Receiver receiver(port);

    int replies = 0;
    while (replies < 12 && receiver.waitForFrame([](const QByteArray &) { return true; })) {
        ++replies;
    }
    ASSERT_EQ(replies, 12);
    for (const QByteArray &frame : receiver.frames()) {
        EXPECT_TRUE(pressureReply().match(QString::fromLatin1(frame)).hasMatch()) << frame.data();
    }
    const bool sawAPiece = std::any_of(receiver.reads().begin(), receiver.reads().end(),
                                       [](const QByteArray &r) { return r.size() < 9; });
    EXPECT_TRUE(sawAPiece);
}

TEST_F(SerialLink, StartUpBurstArrivesInOneRead)
{
    const QString device = startSimulator({QStringLiteral("--rate"), QStringLiteral("0"),
                                           QStringLiteral("--burst"), QStringLiteral("30")});
    ASSERT_FALSE(device.isEmpty());
    SerialPumpPort port;
    openPort(port, device);
    Receiver receiver(port);
    ASSERT_TRUE(receiver.waitForFrame(pressureReply()).has_value());
    QSignalSpy onComm(&port, &PumpPort::OnComm);
    onComm.wait(200); // anything that did not come in the first read
    EXPECT_EQ(receiver.frames().size(), 30u);
    ASSERT_FALSE(receiver.reads().empty());
    EXPECT_EQ(receiver.reads().front().size(), 30 * 9);
}

TEST_F(SerialLink, SimulatorLeavesCleanlyOnTerminate)
{
    const QString device = startSimulator({});
    ASSERT_FALSE(device.isEmpty());
    ASSERT_TRUE(QFileInfo(m_alias).isSymLink());
    sim().process().terminate();
    ASSERT_TRUE(sim().process().waitForFinished(2000));
    EXPECT_EQ(sim().process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim().process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(m_alias).isSymLink());
    // With the alias gone, port 1 is the built-in port again.
    EXPECT_EQ(portnames::deviceForPortNumber(1), QStringLiteral("/dev/ttyS0"));
}

} // namespace
