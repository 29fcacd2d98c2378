// What the console publishes, headless: the console on the doubles, and a fake publisher that
// keeps each message.

#include "monitoring/monitorfeed.h"
#include "monitoring/pumpmonitor.h"
#include "support/fakepublisher.h"
#include "support/linedoubles.h"
#include "support/printto.h"
#include "support/wait.h"

#include <gtest/gtest.h>
#include <QDateTime>

using namespace Qt::StringLiterals;

namespace {

struct MonitoredConsole : WatchedConsole
{
    FakePublisher publisher;
    PumpMonitor monitor{publisher, boxes, u"bench3"_s};
    MonitorFeed feed{console, monitor};

    void connect(const QString &answer = u"1"_s) { WatchedConsole::connect(answer); }
    std::vector<FakePublisher::Message> on(const char *leaf) const
    {
        return publisher.on(u"pumpconsole/bench3/"_s + QLatin1StringView(leaf));
    }
    QJsonObject state() const { return on("state").back().json(); }
    QJsonObject lastEvent() const { return on("event").back().json(); }
};

TEST(PumpMonitor, SaysOnlineThenThePanelBothRetained)
{
    MonitoredConsole c;
    ASSERT_GE(c.publisher.published.size(), 2u);
    const auto &status = c.publisher.published[0];
    EXPECT_EQ(status.topic, u"pumpconsole/bench3/status"_s);
    EXPECT_EQ(status.payload, "online"_ba);
    EXPECT_TRUE(status.retain);
    EXPECT_EQ(status.delivery, Delivery::AtLeastOnce);

    const auto states = c.on("state");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_TRUE(states[0].retain);
    EXPECT_EQ(states[0].json().value(u"connected"_s), false);
    EXPECT_EQ(states[0].json().value(u"flow_ml_min"_s), 0.0);
    EXPECT_EQ(states[0].json().value(u"pressure_limit_mpa"_s), 5.0);
    EXPECT_EQ(states[0].json().value(u"run"_s), u"stop"_s);

    c.connect();
    EXPECT_EQ(c.state().value(u"connected"_s), true);
    EXPECT_EQ(c.state().value(u"port"_s), c.port.device());
    EXPECT_EQ(c.state().value(u"live"_s), false) << "no reply yet on this line";
}

TEST(PumpMonitor, EachValidPressureGoesOutWithItsTimeAndTheStateFollows)
{
    MonitoredConsole c;
    c.connect();
    c.port.receive("Q01N01.2Y"_ba);
    const auto pressures = c.on("pressure");
    ASSERT_EQ(pressures.size(), 1u);
    EXPECT_FALSE(pressures[0].retain);
    EXPECT_EQ(pressures[0].delivery, Delivery::AtMostOnce);
    EXPECT_EQ(pressures[0].json().value(u"mpa"_s), 1.2);
    const QDateTime time =
        QDateTime::fromString(pressures[0].json().value(u"time"_s).toString(), Qt::ISODateWithMs);
    ASSERT_TRUE(time.isValid()) << pressures[0].payload.toStdString();
    EXPECT_EQ(time.toMSecsSinceEpoch(), c.clock.time.utcMs); // the run's clock, not another

    EXPECT_EQ(c.state().value(u"pressure_mpa"_s), 1.2);
    EXPECT_EQ(c.state().value(u"live"_s), true);
    EXPECT_EQ(c.state().value(u"pressure_time"_s), pressures[0].json().value(u"time"_s));

    // A reply that is no number is shown, but is no pressure to publish.
    c.port.receive("Q01Nab.cY"_ba);
    EXPECT_EQ(c.on("pressure").size(), 1u);
}

TEST(PumpMonitor, FloodIsCappedAndItsLastValueStillGoesOut)
{
    MonitoredConsole c;
    c.connect();
    QByteArray flood;
    for (int i = 0; i < 50; ++i) {
        flood += u"Q01N%1.%2Y"_s.arg(i / 10, 2, 10, QChar(u'0')).arg(i % 10).toLatin1();
    }
    c.port.receive(flood);
    EXPECT_EQ(c.on("pressure").size(), std::size_t(PumpMonitor::pressuresPerSlice));
    ASSERT_TRUE(waitUntil([&] { return c.on("pressure").size() > 2; }, 1000));
    const auto pressures = c.on("pressure");
    EXPECT_EQ(pressures.size(), 3u);
    EXPECT_EQ(pressures.back().json().value(u"mpa"_s), 4.9) << "the latest, not the next";
    // The state caught up with the burst too, within its own second.
    ASSERT_TRUE(waitUntil([&] { return c.state().value(u"pressure_mpa"_s) == 4.9; }, 1500));
}

TEST(PumpMonitor, HalfTypedKeypadEntryIsNoSetpoint)
{
    MonitoredConsole c;
    c.connect();
    c.console.beginFlowEntry();
    c.console.pressDigit(1);
    c.console.pressDigit(2);
    EXPECT_EQ(c.state().value(u"flow_ml_min"_s), 0.0);
    c.console.pressDigit(3);
    EXPECT_EQ(c.port.written.back(), "Q00L12.3Y"_ba);
    EXPECT_EQ(c.state().value(u"flow_ml_min"_s), 12.3);
    EXPECT_EQ(c.console.readouts().caption(Readout::Flow), u"12.3"_s);
}

TEST(PumpMonitor, CommandsGoOutAsEventsWithTheirExactFrame)
{
    MonitoredConsole c;
    c.connect();
    c.console.runFromKeypad();
    auto event = c.lastEvent();
    EXPECT_EQ(event.value(u"event"_s), u"command_sent"_s);
    EXPECT_EQ(event.value(u"command"_s), u"run"_s);
    EXPECT_EQ(event.value(u"frame"_s), u"Q00R0000Y"_s);
    EXPECT_EQ(c.on("event").back().delivery, Delivery::AtLeastOnce);
    EXPECT_FALSE(c.on("event").back().retain);
    EXPECT_EQ(c.state().value(u"run"_s), u"run"_s);

    c.port.failWrites = true;
    c.boxes.answers.push_back(u"2"_s);
    c.console.askPressureLimit();
    event = c.lastEvent();
    EXPECT_EQ(event.value(u"event"_s), u"command_not_sent"_s);
    EXPECT_EQ(event.value(u"command"_s), u"limit"_s);
    EXPECT_EQ(event.value(u"frame"_s), u"Q00P02.0Y"_s);
    EXPECT_EQ(event.value(u"reason"_s).toString(),
              u"串口写入失败：设备读写出错，可能已被拔出或已损坏"_s)
        << "in the operator's words, as the run log has it";
}

TEST(PumpMonitor, LineLostAndBackAndRecordFullAreEvents)
{
    MonitoredConsole c;
    c.connect();
    const QString device = c.port.device();
    c.port.lose();
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"line_lost"_s);
    EXPECT_EQ(c.lastEvent().value(u"port"_s), device);
    EXPECT_FALSE(c.lastEvent().value(u"reason"_s).toString().isEmpty());
    EXPECT_EQ(c.state().value(u"connected"_s), false);
    EXPECT_EQ(c.state().value(u"live"_s), false);

    c.connect();
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"line_back"_s);

    c.console.pump().setRecordLimit(2);
    const std::size_t eventsBefore = c.on("event").size();
    c.port.receive("Q01N01.0YQ01N01.1Y"_ba);
    EXPECT_EQ(c.on("event").size(), eventsBefore) << "full, but nothing dropped yet";
    c.port.receive("Q01N01.2YQ01N01.3Y"_ba);
    ASSERT_EQ(c.on("event").size(), eventsBefore + 1) << "told once";
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"record_full"_s);
    EXPECT_EQ(c.lastEvent().value(u"limit"_s), 2);
}

TEST(PumpMonitor, TimesAreTheRunsOwnAsTheRunLogWritesThem)
{
    MonitoredConsole c;
    ManualClock &clock = c.clock;
    clock.advance(250);
    c.connect();
    c.port.receive("Q01N01.2Y"_ba);
    EXPECT_EQ(c.on("pressure").back().json().value(u"time"_s), u"2026-12-08T14:03:27.250+08:00"_s);
    EXPECT_EQ(c.state().value(u"pressure_time"_s), u"2026-12-08T14:03:27.250+08:00"_s);

    clock.advance(1500);
    c.console.runFromKeypad();
    EXPECT_EQ(c.lastEvent().value(u"time"_s), u"2026-12-08T14:03:28.750+08:00"_s);
}

TEST(PumpMonitor, AQuietPumpIsNotLiveUntilItSpeaksAgain)
{
    MonitoredConsole c;
    c.connect();
    c.port.receive("Q01N01.2Y"_ba);
    ASSERT_EQ(c.state().value(u"live"_s), true);
    c.clock.advance(pressurewatch::staleAfter);
    c.staleTicker.ticks();
    EXPECT_EQ(c.state().value(u"live"_s), false);
    EXPECT_EQ(c.state().value(u"connected"_s), true);
    c.port.receive("Q01N01.3Y"_ba);
    EXPECT_EQ(c.state().value(u"live"_s), true);
}

TEST(PumpMonitor, AnAdapterBackByItselfIsLineBackOnItsNewPort)
{
    MonitoredConsole c;
    c.system.plugIn(usbPort(u"/dev/ttyUSB0"_s));
    c.connect(u"/dev/ttyUSB0"_s);
    c.port.receive("Q01N01.2Y"_ba);
    c.system.pullOut(u"/dev/ttyUSB0"_s);
    c.port.lose(LossCause::DeviceGone);
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"line_lost"_s);
    EXPECT_EQ(c.lastEvent().value(u"port"_s), u"/dev/ttyUSB0"_s);

    c.system.plugIn(usbPort(u"/dev/ttyUSB1"_s));
    c.pollTicker.ticks();
    ASSERT_TRUE(c.console.isConnected());
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"line_back"_s);
    EXPECT_EQ(c.lastEvent().value(u"port"_s), u"/dev/ttyUSB1"_s);
    EXPECT_EQ(c.state().value(u"port"_s), u"/dev/ttyUSB1"_s);
    EXPECT_EQ(c.state().value(u"live"_s), false) << "no reply yet on the reopened line";
}

TEST(PumpMonitor, BrokerTroubleIsToldOncePerOutage)
{
    MonitoredConsole c;
    c.publisher.trouble(BrokerProblem::Unreachable);
    c.publisher.trouble(BrokerProblem::Unreachable);
    c.publisher.trouble(BrokerProblem::NoAnswer);
    auto notices = c.boxes.messages(u"notify"_s);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, u"监控"_s);
    EXPECT_TRUE(notices[0].prompt.contains(u"broker.lab:1883"_s))
        << notices[0].prompt.toStdString();

    c.publisher.connect();
    c.publisher.trouble(BrokerProblem::Lost);
    c.publisher.trouble(BrokerProblem::Unreachable);
    notices = c.boxes.messages(u"notify"_s);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_TRUE(notices[1].prompt.contains(u"连接中断"_s));
    EXPECT_TRUE(c.boxes.messages(u"tell"_s).empty()) << "never a blocking box";
}

} // namespace

TEST(PumpMonitor, TheOperatorsMarkIsAnEventWithItsNoteAndTime)
{
    MonitoredConsole c;
    c.connect();
    const QString pressed =
        monitormessages::isoTime({c.clock.time.utcMs, c.clock.time.utcOffsetSeconds});
    c.boxes.whileOpen = [&] {
        c.boxes.whileOpen = nullptr;
        c.clock.advance(3000);
    };
    c.boxes.answers.push_back(u"进样 A"_s);
    const std::size_t statesBefore = c.on("state").size();
    c.console.markMoment();
    EXPECT_EQ(c.lastEvent().value(u"event"_s), u"mark"_s);
    EXPECT_EQ(c.lastEvent().value(u"note"_s), u"进样 A"_s);
    EXPECT_EQ(c.lastEvent().value(u"time"_s), pressed);
    EXPECT_EQ(c.on("state").size(), statesBefore) << "a mark changes nothing on the panel";
}
