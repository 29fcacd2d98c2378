// The pressure read-out goes stale after three seconds without a pressure from the pump and is
// current again with the next one. Time is moved by hand; nothing here sleeps.

#include "support/linedoubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QString note(int seconds)
{
    return u"已有 %1 秒没有收到泵的压力数值，这里显示的是最后收到的压力。"_s.arg(seconds);
}

TEST(PressureWatch, StaleFromThreeSecondsOfSilenceCountedInWholeSeconds)
{
    const std::pair<std::chrono::milliseconds, std::optional<qint64>> cases[] = {
        {0ms, std::nullopt}, {2999ms, std::nullopt}, {3000ms, 3},          {3999ms, 3},
        {4000ms, 4},         {61'500ms, 61},         {-5ms, std::nullopt}, // a clock that never
                                                                           // goes back; harmless if
                                                                           // it did
    };
    for (const auto &[silence, seconds] : cases) {
        EXPECT_EQ(pressurewatch::staleSeconds(silence), seconds) << silence.count();
    }
}

class Watched : public ::testing::Test
{
protected:
    // One step of the watch's ticker after the clock moved on by `by`.
    void after(std::chrono::milliseconds by)
    {
        c.clock.advance(by);
        c.staleTicker.ticks();
    }
    QString shownNote() const { return c.console.pump().pressureWatch().note(); }

    WatchedConsole c;
};

TEST_F(Watched, NothingIsStaleBeforeTheFirstConnection)
{
    EXPECT_FALSE(c.staleTicker.isActive());
    c.clock.advance(1h);
    c.staleTicker.active = true; // even a tick that slipped through judges nothing
    c.staleTicker.ticks();
    EXPECT_EQ(shownNote(), QString());
}

TEST_F(Watched, StaleAfterThreeSilentSecondsAndCurrentAgainWithTheNextPressure)
{
    QSignalSpy notes(&c.console.pump().pressureWatch(), &PressureWatch::noteChanged);
    c.connect(u"1"_s);
    EXPECT_TRUE(c.staleTicker.isActive());
    c.port.receive("Q01N02.5Y"_ba);
    after(2999ms);
    EXPECT_EQ(shownNote(), QString());
    EXPECT_EQ(notes.count(), 0);

    after(1ms);
    EXPECT_EQ(shownNote(), note(3));
    after(250ms);
    after(250ms);
    EXPECT_EQ(notes.count(), 1) << "a note a second, not a tick";
    after(500ms);
    EXPECT_EQ(shownNote(), note(4));
    EXPECT_EQ(c.console.readouts().caption(Readout::Pressure), u"02.5"_s) << "value kept";

    c.port.receive("Q01N02.6Y"_ba); // no tick needed
    EXPECT_EQ(shownNote(), QString());
    ASSERT_EQ(notes.count(), 3);
    EXPECT_EQ(notes.back().front().toString(), QString());
    after(2999ms);
    EXPECT_EQ(shownNote(), QString());
}

TEST_F(Watched, APumpThatNeverAnsweredIsStaleThreeSecondsAfterConnecting)
{
    c.clock.advance(1min); // the console stood idle before connecting
    c.connect(u"1"_s);
    EXPECT_EQ(shownNote(), QString());
    after(3s);
    EXPECT_EQ(shownNote(), note(3));
}

TEST_F(Watched, OnlyAPressureMakesItCurrent)
{
    c.connect(u"1"_s);
    c.port.receive("Q01N02.5Y"_ba);
    after(3s);
    // Echoes of the setpoints and broken frames say nothing about the pressure of now.
    c.port.receive("Q01L05.0YQ01P10.0YQ01N02"_ba);
    EXPECT_EQ(shownNote(), note(3));
    c.port.receive("Q01Nab.cY"_ba); // shown as it came, so current as it came
    EXPECT_EQ(shownNote(), QString());
}

TEST_F(Watched, KeepsCountingWhileTheLineIsDownAndAfterItIsBack)
{
    c.connect(u"1"_s);
    c.port.receive("Q01N02.5Y"_ba);
    c.port.lose();
    after(10s);
    EXPECT_EQ(shownNote(), note(10)) << "the value shown is ten seconds old";
    c.connect(u"1"_s);
    EXPECT_EQ(shownNote(), note(10)) << "still old until the pump speaks";
    c.port.receive("Q01N02.7Y"_ba);
    EXPECT_EQ(shownNote(), QString());
}

} // namespace
