// Reopening a USB adapter that was pulled out and plugged back in: which port counts as the
// same adapter, and when the console reopens it on its own and when it must not (a
// pseudo-terminal, an adapter that never went away, the operator having chosen another port,
// two adapters it cannot tell apart).

#include "support/files.h"
#include "support/linedoubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const PortIdentity otherSerial{0x0403, 0x6001, u"B7770001"_s};
const PortIdentity noSerial{0x1a86, 0x7523, QString()};

TEST(Reconnect, WhereTheAdapterIsNow)
{
    struct Case
    {
        const char *what;
        PortIdentity identity;
        QList<SystemPort> ports;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"absent", ftdiAdapter, {}, std::nullopt},
        {"back under its name", ftdiAdapter, {usbPort(u"/dev/ttyUSB0"_s)}, u"/dev/ttyUSB0"_s},
        {"back under another name",
         ftdiAdapter,
         {builtInPort(u"/dev/ttyS0"_s), usbPort(u"/dev/ttyUSB1"_s)},
         u"/dev/ttyUSB1"_s},
        {"only another adapter of the same kind",
         ftdiAdapter,
         {usbPort(u"/dev/ttyUSB0"_s, otherSerial)},
         std::nullopt},
        {"a built-in port under the old name",
         ftdiAdapter,
         {builtInPort(u"/dev/ttyUSB0"_s)},
         std::nullopt},
        {"two alike, one under the old name",
         noSerial,
         {usbPort(u"/dev/ttyUSB1"_s, noSerial), usbPort(u"/dev/ttyUSB0"_s, noSerial)},
         u"/dev/ttyUSB0"_s},
        {"two alike, neither under the old name",
         noSerial,
         {usbPort(u"/dev/ttyUSB1"_s, noSerial), usbPort(u"/dev/ttyUSB2"_s, noSerial)},
         std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(reconnect::whereNow(c.identity, u"/dev/ttyUSB0"_s, c.ports), c.expected)
            << c.what;
    }
}

TEST(Reconnect, IdentityOfTheOpenDevice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A device and a stable link to it, as /dev/serial/by-id/ holds.
    const QString device = dir.filePath(u"ttyUSB0"_s);
    const QString byId = dir.filePath(u"usb-FTDI_FT232R_A50285BI-if00-port0"_s);
    ASSERT_TRUE(writeBytes(device, {}));
    ASSERT_TRUE(QFile::link(device, byId));

    const QList<SystemPort> ports{builtInPort(u"/dev/ttyS0"_s), usbPort(device)};
    EXPECT_EQ(reconnect::identify(device, ports), ftdiAdapter);
    EXPECT_EQ(reconnect::identify(byId, ports), ftdiAdapter);
    EXPECT_EQ(reconnect::identify(u"/dev/ttyS0"_s, ports), std::nullopt) << "no USB identity";
    EXPECT_EQ(reconnect::identify(u"/dev/pts/3"_s, ports), std::nullopt) << "not listed";
    EXPECT_EQ(reconnect::identify(device, {}), std::nullopt);
}

// A console connected to an adapter at /dev/ttyUSB0, which the test then pulls out.
class AdapterPulledOut : public ::testing::Test
{
protected:
    void SetUp() override
    {
        c.system.plugIn(builtInPort(u"/dev/ttyS0"_s));
        c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
        c.connect(u"/dev/ttyUSB0"_s);
        ASSERT_TRUE(c.console.isConnected());
        c.port.opened.clear();
    }
    void pullOut()
    {
        c.system.pullOut(u"/dev/ttyUSB0"_s);
        c.port.lose(LossCause::DeviceGone);
        ASSERT_FALSE(c.console.isConnected());
    }
    void polls(int n = 1) { c.pollTicker.ticks(n); }

    WatchedConsole c;
    QString lost = u"通信|串口 /dev/ttyUSB0 已断开：设备已不可用（可能已被拔出）\r\n泵已失去连接。"
                   u"请检查连接线，然后在“通信”菜单中重新连接。"_s;
};

TEST_F(AdapterPulledOut, BackUnderAnotherNameIsReopenedQuietlyAndToldOnce)
{
    QSignalSpy restored(&c.console, &PumpConsole::lineRestored);
    QSignalSpy connected(&c.console, &PumpConsole::connectedChanged);
    c.port.receive("Q01N01.5Y"_ba);
    pullOut();
    polls(3);
    EXPECT_TRUE(c.port.opened.isEmpty());
    EXPECT_TRUE(c.pollTicker.isActive());

    c.system.plugIn(usbPort(u"/dev/ttyUSB1"_s));
    polls();
    EXPECT_EQ(c.port.opened, QStringList{u"/dev/ttyUSB1"_s});
    EXPECT_TRUE(c.console.isConnected());
    EXPECT_EQ(connected.count(), 2) << "lost, then back: the menus follow";
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.front().front().toString(), u"/dev/ttyUSB1"_s);
    EXPECT_TRUE(c.port.written.empty()) << "nothing is sent on reopening";
    EXPECT_TRUE(c.boxes.messages().empty()) << "no modal box";
    EXPECT_EQ(c.boxes.texts(u"notify"_s),
              (QStringList{lost, u"通信|串口 /dev/ttyUSB1（原 /dev/ttyUSB0） 已自动重新连接：USB "
                                 u"串口适配器已插回。\r\n压力数值继续显示和记录；重新连接时没有向泵"
                                 u"发送任何命令。"_s}));
    EXPECT_FALSE(c.pollTicker.isActive());

    // Recording goes on where it stopped.
    c.port.receive("Q01N01.7Y"_ba);
    EXPECT_EQ(c.console.pump().record().size(), 2);
    EXPECT_EQ(c.console.readouts().caption(Readout::Pressure), u"01.7"_s);
    polls(3);
    EXPECT_EQ(c.port.opened.size(), 1);
    EXPECT_EQ(restored.count(), 1);
}

TEST_F(AdapterPulledOut, BackUnderItsOwnNameAndLostAgainIsReopenedAgain)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        c.boxes.shown.clear();
        pullOut();
        polls();
        c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
        polls();
        EXPECT_TRUE(c.console.isConnected());
        ASSERT_EQ(c.boxes.messages(u"notify"_s).size(), 2u);
        EXPECT_EQ(c.boxes.messages(u"notify"_s).back().prompt,
                  u"串口 /dev/ttyUSB0 已自动重新连接：USB 串口适配器已插回。\r\n压力数值继续显示和"
                  u"记录；重新连接时没有向泵发送任何命令。"_s);
    }
    EXPECT_EQ(c.port.opened, (QStringList{u"/dev/ttyUSB0"_s, u"/dev/ttyUSB0"_s}));
}

TEST_F(AdapterPulledOut, BackBeforeTheFirstPollStillCounts)
{
    // Gone by the time the loss is handled (the unplug is what ended the line), back within
    // the second.
    pullOut();
    c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    polls();
    EXPECT_TRUE(c.console.isConnected());
}

TEST_F(AdapterPulledOut, RefusedOnItsReturnIsTriedAgainOnTheNextPoll)
{
    pullOut();
    polls();
    c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    c.port.openResult = PortStatus::failure(PortError::PermissionDenied); // not ready yet
    polls(2);
    EXPECT_FALSE(c.console.isConnected());
    EXPECT_EQ(c.port.opened.size(), 2);
    EXPECT_EQ(c.boxes.messages(u"notify"_s).size(), 1u) << "only the loss so far";
    EXPECT_TRUE(c.boxes.messages().empty());

    c.port.openResult = PortStatus::success();
    polls();
    EXPECT_TRUE(c.console.isConnected());
    EXPECT_EQ(c.boxes.messages(u"notify"_s).size(), 2u);
}

TEST_F(AdapterPulledOut, ChosenAgainByHandBeforeItIsBackStillReopensWhenItIs)
{
    pullOut();
    c.connectInVain(u"/dev/ttyUSB0"_s);
    EXPECT_FALSE(c.console.isConnected());

    c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    polls();
    EXPECT_TRUE(c.console.isConnected());
}

TEST(Reconnect, NotReopened)
{
    struct Case
    {
        const char *what;
        std::function<void(WatchedConsole &)> meanwhile;
        QList<SystemPort> back;
    };
    const Case cases[] = {
        {"another adapter of the same kind", {}, {usbPort(u"/dev/ttyUSB0"_s, otherSerial)}},
        {"a port without identity under the old name", {}, {builtInPort(u"/dev/ttyUSB0"_s)}},
        {"the operator chose another port, which opened",
         [](WatchedConsole &w) { w.connect(u"/dev/ttyACM0"_s); },
         {usbPort(u"/dev/ttyUSB0"_s)}},
        {"the operator chose another port, which did not open",
         [](WatchedConsole &w) { w.connectInVain(u"/dev/ttyACM0"_s); },
         {usbPort(u"/dev/ttyUSB0"_s)}},
        {"the operator chose a port by number",
         [](WatchedConsole &w) { w.connectInVain(u"2"_s); },
         {usbPort(u"/dev/ttyUSB0"_s)}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        WatchedConsole w;
        w.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
        w.connect(u"/dev/ttyUSB0"_s);
        w.system.pullOut(u"/dev/ttyUSB0"_s);
        w.port.lose(LossCause::DeviceGone);
        w.pollTicker.ticks();
        const bool connectedByHand = [&] {
            if (k.meanwhile) {
                k.meanwhile(w);
            }
            return w.console.isConnected();
        }();
        if (connectedByHand) {
            w.port.lose(); // the other port goes too; the adapter still must not come back
        }
        w.port.opened.clear();
        for (const SystemPort &port : k.back) {
            w.system.plugIn(port);
        }
        w.pollTicker.ticks(3);
        EXPECT_TRUE(w.port.opened.isEmpty());
        EXPECT_FALSE(w.console.isConnected());
        EXPECT_EQ(w.console.line().reconnector().isAwaiting(), !k.meanwhile);
    }
}

TEST_F(AdapterPulledOut, LineLostWithTheAdapterStillThereWaitsForItToGoAndComeBack)
{
    c.port.lose(LossCause::ReadFailed); // the adapter is still listed
    polls(3);
    EXPECT_TRUE(c.port.opened.isEmpty()) << "reopening a line that just failed would fail again";
    EXPECT_FALSE(c.console.isConnected());

    c.system.pullOut(u"/dev/ttyUSB0"_s);
    polls();
    c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    polls();
    EXPECT_TRUE(c.console.isConnected());
}

TEST(Reconnect, NothingToWaitForOnAPortWithoutIdentity)
{
    for (const QString &answer : {u"1"_s, u"/dev/ttyS0"_s, u"/dev/pts/7"_s}) {
        SCOPED_TRACE(answer.toStdString());
        WatchedConsole w;
        w.system.plugIn(builtInPort(u"/dev/ttyS0"_s)); // the system never lists a pty
        w.connect(answer);
        ASSERT_TRUE(w.console.isConnected());
        w.port.lose();
        EXPECT_FALSE(w.pollTicker.isActive()) << "no polling for a line that cannot come back";
        w.port.opened.clear();
        w.pollTicker.ticks(3);
        EXPECT_TRUE(w.port.opened.isEmpty());
        EXPECT_FALSE(w.console.line().reconnector().isAwaiting());
    }
}

TEST(Reconnect, PollsOnlyWhileWaiting)
{
    WatchedConsole w;
    EXPECT_FALSE(w.pollTicker.isActive()) << "stopped from the start";
    w.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    w.connect(u"/dev/ttyUSB0"_s);
    EXPECT_FALSE(w.pollTicker.isActive());
    w.system.pullOut(u"/dev/ttyUSB0"_s);
    w.port.lose();
    EXPECT_TRUE(w.pollTicker.isActive());
    const int asked = w.system.asked;
    w.pollTicker.ticks(2);
    EXPECT_EQ(w.system.asked, asked + 2) << "one look a tick";
    w.connect(u"/dev/ttyUSB0"_s); // by hand (the device is a double: it opens)
    EXPECT_FALSE(w.pollTicker.isActive());
}

} // namespace
