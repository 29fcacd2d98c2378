// The safety stop: the band's decisions pinned by tables, and the envelope driven through the
// console on the doubles, frame by frame.

#include "control/pump/safety.h"
#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using safety::Cause;

namespace {

const QByteArray runFrame = "Q00R0000Y"_ba;
const QByteArray stopFrame = "Q00S0000Y"_ba;

safety::Limits band(std::optional<double> upper, std::optional<double> lower,
                    std::optional<int> silence = {})
{
    return {upper, lower, silence};
}

} // namespace

TEST(Safety, PressureJudgedAgainstTheBand)
{
    struct Case
    {
        const char *what;
        safety::Limits limits;
        double mpa;
        bool lowerReached;
        Cause cause;
    };
    const Case cases[] = {
        {"no limits", {}, 99.9, true, Cause::None},
        {"equal to the upper limit", band(12.0, {}), 12.0, false, Cause::None},
        {"just above the upper limit", band(12.0, {}), 12.1, false, Cause::AboveUpper},
        {"below the lower limit before it was reached", band({}, 2.0), 0.1, false, Cause::None},
        {"equal to the lower limit once reached", band({}, 2.0), 2.0, true, Cause::None},
        {"below the lower limit once reached", band({}, 2.0), 1.9, true, Cause::BelowLower},
        {"above the upper limit with both", band(12.0, 2.0), 12.6, true, Cause::AboveUpper},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(safety::judgePressure(c.limits, c.mpa, c.lowerReached), c.cause) << c.what;
    }
    EXPECT_TRUE(safety::reachesLower(band({}, 2.0), 2.0));
    EXPECT_FALSE(safety::reachesLower(band({}, 2.0), 1.9));
    EXPECT_FALSE(safety::reachesLower(band(12.0, {}), 50.0));
}

TEST(Safety, SilenceTripsAtItsDeadlineExactly)
{
    EXPECT_FALSE(safety::silenceTrips(band({}, {}, 5), 4999ms));
    EXPECT_TRUE(safety::silenceTrips(band({}, {}, 5), 5000ms));
    EXPECT_FALSE(safety::silenceTrips(band(12.0, {}), 1h));
}

TEST(Safety, DialogFieldsAreCheckedWithTheFieldAndItsRange)
{
    struct Case
    {
        safety::Typed typed;
        std::optional<safety::Limits> limits;
        safety::Field field;
        QString refusal;
    };
    const QString mpaRange = u"0.1 到 99.9 MPa"_s;
    const Case cases[] = {
        {{}, safety::Limits{}, {}, {}},
        {{u" 12.0 "_s, u"2"_s, u"5"_s}, band(12.0, 2.0, 5), {}, {}},
        {{u"abc"_s, {}, {}}, {}, safety::Field::Upper, u"压力上限应为 "_s + mpaRange},
        {{u"100"_s, {}, {}}, {}, safety::Field::Upper, u"压力上限应为 "_s + mpaRange},
        {{{}, u"0.05"_s, {}}, {}, safety::Field::Lower, u"压力下限应为 "_s + mpaRange},
        {{{}, {}, u"0"_s}, {}, safety::Field::Silence, u"无应答停泵应为 1 到 3600 秒"_s},
        {{{}, {}, u"1.5"_s}, {}, safety::Field::Silence, u"无应答停泵应为 1 到 3600 秒"_s},
        {{{}, {}, u"3601"_s}, {}, safety::Field::Silence, u"无应答停泵应为 1 到 3600 秒"_s},
        {{u"2.0"_s, u"2.0"_s, {}}, {}, safety::Field::Upper, u"压力上限应高于压力下限"_s},
    };
    for (const Case &c : cases) {
        const safety::Checked checked = safety::check(c.typed);
        SCOPED_TRACE(c.typed.upper.toStdString() + "|" + c.typed.lower.toStdString() + "|" +
                     c.typed.silence.toStdString());
        EXPECT_EQ(checked.limits, c.limits);
        if (!c.limits) {
            EXPECT_EQ(checked.field, c.field);
            EXPECT_TRUE(checked.refusal.startsWith(c.refusal)) << checked.refusal.toStdString();
        }
    }
    // What the dialog shows reads back as the same band.
    EXPECT_EQ(safety::check(safety::typed(band(12.0, 2.5, 30))).limits, band(12.0, 2.5, 30));
}

namespace {

struct GuardedConsole : TestConsole
{
    explicit GuardedConsole(const safety::Limits &limits)
    {
        console.setSafetyLimits(limits);
        connect();
        console.runPump();
    }
    // The frames written since the last look.
    std::vector<QByteArray> writtenNow() { return std::exchange(port.written, {}); }
    int alarms() const { return int(boxes.messages(u"alarm"_s).size()); }
};

} // namespace

TEST(SafetyEnvelope, EachTripWritesOneStopFirstThenLatchesAndTells)
{
    struct Case
    {
        const char *what;
        safety::Limits limits;
        std::vector<QByteArray> replies;
        QString alarm;
    };
    const Case cases[] = {
        {"above the upper limit",
         band(12.0, {}),
         {"Q01N11.0Y"_ba, "Q01N12.6Y"_ba},
         u"压力 12.6 MPa 高于上限 12.0 MPa，已停泵（14:03:27）"_s},
        {"below the lower limit once reached",
         band({}, 2.0),
         {"Q01N00.5Y"_ba, "Q01N02.1Y"_ba, "Q01N01.4Y"_ba},
         u"压力 1.4 MPa 低于下限 2.0 MPa，已停泵（14:03:27）"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GuardedConsole g(c.limits);
        EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{runFrame});
        for (const QByteArray &reply : c.replies) {
            g.port.receive(reply);
        }
        EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{stopFrame});
        EXPECT_EQ(g.console.safetyState(), SafetyEnvelope::State::Latched);
        ASSERT_EQ(g.alarms(), 1);
        EXPECT_EQ(g.boxes.messages(u"alarm"_s)[0].prompt, c.alarm);
        EXPECT_EQ(g.boxes.messages(u"alarm"_s)[0].title, u"安全停泵"_s);
        // Disarmed by its own stop: more of the same pressure writes nothing more.
        g.port.receive(c.replies.back());
        EXPECT_TRUE(g.writtenNow().empty());
    }
}

TEST(SafetyEnvelope, SilenceTripsOnlyWhileRunningAndCountsFromTheLastPressure)
{
    GuardedConsole g(band({}, {}, 5));
    g.writtenNow();
    g.clock.advance(4s);
    g.port.receive("Q01N01.0Y"_ba); // the count starts again
    g.clock.advance(4900ms);
    g.safetyTicker.ticks();
    EXPECT_TRUE(g.writtenNow().empty());
    g.clock.advance(100ms);
    g.safetyTicker.ticks();
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{stopFrame});
    EXPECT_EQ(g.boxes.messages(u"alarm"_s).back().prompt,
              u"已 5 秒没有收到压力数据，已停泵（14:03:36）"_s);

    // Stopped by the operator: silence means nothing.
    ASSERT_TRUE(g.boxes.acknowledgeAlarm());
    g.console.runPump();
    g.console.stopPump();
    g.writtenNow();
    g.clock.advance(1h);
    g.safetyTicker.ticks();
    EXPECT_TRUE(g.writtenNow().empty());
}

TEST(SafetyEnvelope, RunCommandsAreRefusedUntilAcknowledgedStopAlwaysGoes)
{
    GuardedConsole g(band(12.0, {}));
    g.console.startTimedRun(); // a timed run in progress ends with the trip
    g.port.receive("Q01N13.0Y"_ba);
    g.writtenNow();
    EXPECT_FALSE(g.console.readouts().isVisible(Readout::Hours));

    for (auto command : {&PumpConsole::runPump, &PumpConsole::runFromKeypad,
                         &PumpConsole::startTimedRun, &PumpConsole::resumeTimedRun}) {
        (g.console.*command)();
    }
    EXPECT_TRUE(g.writtenNow().empty());
    EXPECT_EQ(g.boxes.messages(u"tell"_s).size(), 4u);
    EXPECT_EQ(g.boxes.messages(u"tell"_s).back().prompt, u"安全停泵尚未确认"_s);
    g.console.stopPump();
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{stopFrame});

    ASSERT_TRUE(g.boxes.acknowledgeAlarm());
    EXPECT_EQ(g.console.safetyState(), SafetyEnvelope::State::Off);
    g.console.runPump();
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{runFrame});
    EXPECT_EQ(g.console.safetyState(), SafetyEnvelope::State::Armed);
}

TEST(SafetyEnvelope, AStopThatCouldNotBeWrittenGoesOutWhenTheLineIsBack)
{
    GuardedConsole g(band(12.0, {}));
    g.writtenNow();
    g.port.failWrites = true;
    g.port.receive("Q01N13.0Y"_ba);
    EXPECT_TRUE(g.boxes.messages(u"alarm"_s).back().prompt.contains(u"停泵指令未能发出："_s));
    EXPECT_TRUE(g.boxes.messages(u"alarm"_s).back().prompt.endsWith(u"请立即手动停泵"_s));
    EXPECT_TRUE(g.boxes.messages(u"tell"_s).empty()) << "the alarm does not block";
    g.port.failWrites = false;
    g.port.lose();
    g.writtenNow();
    g.boxes.answers.push_back(u"1"_s);
    g.console.choosePort();
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{stopFrame});
    g.port.lose();
    g.boxes.answers.push_back(u"1"_s);
    g.console.choosePort();
    EXPECT_TRUE(g.writtenNow().empty()) << "owed once";
}

TEST(SafetyEnvelope, LimitsChangedWhileRunningActAtOnceALowerOneOnceReached)
{
    GuardedConsole g(band(12.0, {}));
    g.writtenNow();
    g.port.receive("Q01N11.0Y"_ba);
    g.console.setSafetyLimits(band(12.0, 11.5)); // not reached yet: 11.0 does not trip
    g.port.receive("Q01N11.0Y"_ba);
    g.console.setSafetyLimits(band(10.5, {}));
    EXPECT_TRUE(g.writtenNow().empty());
    g.port.receive("Q01N11.0Y"_ba);
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{stopFrame});
}

TEST(SafetyEnvelope, WithoutLimitsNothingChanges)
{
    GuardedConsole g({});
    g.port.receive("Q01N99.9Y"_ba);
    g.clock.advance(1h);
    g.safetyTicker.ticks();
    EXPECT_EQ(g.writtenNow(), std::vector<QByteArray>{runFrame});
    EXPECT_EQ(g.console.safetyState(), SafetyEnvelope::State::Off);
    EXPECT_TRUE(g.boxes.messages(u"alarm"_s).empty());
}
