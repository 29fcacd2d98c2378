// Running the pump for a set number of minutes, counted in one-second ticks.

#include "support/doubles.h"
#include "support/printto.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QByteArray runFrame = "Q00R0000Y"_ba;
const QByteArray stopFrame = "Q00S0000Y"_ba;
const Readout timeDisplay[] = {Readout::Hours,       Readout::HoursUnit, Readout::Minutes,
                               Readout::MinutesUnit, Readout::Seconds,   Readout::SecondsUnit};

void setTime(TestConsole &c, const std::optional<QString> &answer)
{
    c.boxes.answers.push_back(answer);
    c.console.askRunLength();
}

// Connected, the time set and the run started.
void startRun(TestConsole &c, const QString &minutes = u"1"_s)
{
    c.connect();
    setTime(c, minutes);
    c.console.startTimedRun();
}

// "h/m/s" as the three number read-outs show it.
QString display(const TestConsole &c)
{
    return c.caption(Readout::Hours) + u'/' + c.caption(Readout::Minutes) + u'/' +
           c.caption(Readout::Seconds);
}

QString count(int seconds)
{
    return u"%1/%2/%3"_s.arg(seconds / 3600).arg(seconds % 3600 / 60).arg(seconds % 60);
}

// The six read-outs always show and hide together.
bool displayShown(const TestConsole &c)
{
    const bool first = c.console.readouts().isVisible(timeDisplay[0]);
    for (Readout r : timeDisplay) {
        EXPECT_EQ(c.console.readouts().isVisible(r), first) << "read-out " << int(r);
    }
    return first;
}

qint16 elapsed(const TestConsole &c)
{
    return c.console.pump().timedRun().elapsedSeconds();
}

double minutes(const TestConsole &c)
{
    return c.console.pump().timedRun().minutes();
}

enum class State { Idle, Running, Paused, Finished, Ended };
enum class Event { setTime, start, pause, resume, end, tick };
const char *const stateNames[] = {"Idle", "Running", "Paused", "Finished", "Ended"};
const char *const eventNames[] = {"set time", "start", "pause", "resume", "end", "tick"};

// Each state reached with a set time of one minute; Running, Paused and Ended after 5 ticks.
void enter(TestConsole &c, State state)
{
    setTime(c, u"1"_s);
    if (state != State::Idle) {
        c.console.startTimedRun();
        c.ticker.ticks(state == State::Finished ? 60 : 5);
    }
    if (state == State::Paused) {
        c.console.pauseTimedRun();
    } else if (state == State::Ended) {
        c.console.endTimedRun();
    }
    c.port.written.clear();
    c.boxes.shown.clear();
}

void fire(TestConsole &c, Event event)
{
    switch (event) {
    case Event::setTime:
        return setTime(c, u"2"_s);
    case Event::start:
        return c.console.startTimedRun();
    case Event::pause:
        return c.console.pauseTimedRun();
    case Event::resume:
        return c.console.resumeTimedRun();
    case Event::end:
        return c.console.endTimedRun();
    case Event::tick:
        return c.ticker.ticks();
    }
}

TEST(TimedRun, EveryStateUnderEveryEvent)
{
    struct Cell
    {
        State state;
        Event event;
        QByteArray frame; // written by the event, if any
        qint16 elapsed;
        double minutes;
        bool counting;
        bool shown;
        QString display;
        int ticksToStop; // further ticks until the time-up stop; 0 when not counting
    };
    using S = State;
    using E = Event;
    const QByteArray none;
    const Cell table[] = {
        {S::Idle, E::setTime, none, 0, 2, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::start, runFrame, 0, 1, true, true, u"00/00/00"_s, 60},
        {S::Idle, E::pause, stopFrame, 0, 1, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::resume, runFrame, 0, 1, true, false, u"00/00/00"_s, 60},
        {S::Idle, E::end, stopFrame, 0, 0, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::tick, none, 0, 1, false, false, u"00/00/00"_s, 0},

        {S::Running, E::setTime, none, 5, 2, true, true, u"0/0/5"_s, 115},
        {S::Running, E::start, runFrame, 0, 1, true, true, u"0/0/5"_s, 60},
        {S::Running, E::pause, stopFrame, 5, 1, false, true, u"0/0/5"_s, 0},
        {S::Running, E::resume, runFrame, 5, 1, true, true, u"0/0/5"_s, 55},
        {S::Running, E::end, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Running, E::tick, none, 6, 1, true, true, u"0/0/6"_s, 54},

        {S::Paused, E::setTime, none, 5, 2, false, true, u"0/0/5"_s, 0},
        {S::Paused, E::start, runFrame, 0, 1, true, true, u"0/0/5"_s, 60},
        {S::Paused, E::pause, stopFrame, 5, 1, false, true, u"0/0/5"_s, 0},
        {S::Paused, E::resume, runFrame, 5, 1, true, true, u"0/0/5"_s, 55},
        {S::Paused, E::end, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Paused, E::tick, none, 5, 1, false, true, u"0/0/5"_s, 0},

        {S::Finished, E::setTime, none, 0, 2, false, true, u"0/1/0"_s, 0},
        {S::Finished, E::start, runFrame, 0, 1, true, true, u"0/1/0"_s, 60},
        {S::Finished, E::pause, stopFrame, 0, 1, false, true, u"0/1/0"_s, 0},
        {S::Finished, E::resume, runFrame, 0, 1, true, true, u"0/1/0"_s, 60},
        {S::Finished, E::end, stopFrame, 0, 0, false, false, u"0/1/0"_s, 0},
        {S::Finished, E::tick, none, 0, 1, false, true, u"0/1/0"_s, 0},

        {S::Ended, E::setTime, none, 5, 2, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::start, runFrame, 0, 0, true, true, u"0/0/5"_s, 1},
        {S::Ended, E::pause, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::resume, runFrame, 5, 0, true, false, u"0/0/5"_s, 1},
        {S::Ended, E::end, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::tick, none, 5, 0, false, false, u"0/0/5"_s, 0},
    };
    for (const Cell &k : table) {
        SCOPED_TRACE(std::string(stateNames[int(k.state)]) + " x " + eventNames[int(k.event)]);
        TestConsole c;
        c.connect();
        enter(c, k.state);

        fire(c, k.event);

        EXPECT_EQ(c.port.written,
                  k.frame.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.frame});
        EXPECT_EQ(elapsed(c), k.elapsed);
        EXPECT_DOUBLE_EQ(minutes(c), k.minutes);
        EXPECT_EQ(c.ticker.active, k.counting);
        EXPECT_EQ(displayShown(c), k.shown);
        EXPECT_EQ(display(c), k.display);
        EXPECT_EQ(c.caption(Readout::RunState), u"     STOP"_s);
        EXPECT_EQ(c.boxes.shown.size(), k.event == Event::setTime ? 1u : 0u);

        // What the state goes on to do: count to the time-up stop, or nothing at all.
        c.port.written.clear();
        if (k.ticksToStop == 0) {
            c.ticker.ticks(100);
            EXPECT_TRUE(c.port.written.empty());
            EXPECT_EQ(elapsed(c), k.elapsed);
            EXPECT_EQ(display(c), k.display);
            continue;
        }
        c.ticker.ticks(k.ticksToStop - 1);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.ticker.active);
        c.ticker.ticks();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{stopFrame});
        EXPECT_FALSE(c.ticker.active);
        EXPECT_EQ(elapsed(c), 0);
        EXPECT_EQ(display(c), count(k.elapsed + k.ticksToStop));
        EXPECT_EQ(displayShown(c), k.shown) << "only start and end change the visibility";
    }
}

TEST(TimedRun, RunIsUpOnceTheCountReachesTheSetMinutes)
{
    struct Case
    {
        double minutes;
        qint16 lastRunning; // the count before the one that ends the run; -1: up at once
    };
    const Case cases[] = {
        {0, -1},      {-2, -1},        {0.01, 0},      {1, 59},
        {0.5, 29},    {0.51, 30},      {4.15, 249},    {62.0833333333333, 3724},
        {546, 32759}, {546.11, 32766}, {546.2, 32767},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.minutes);
        if (k.lastRunning >= 0) {
            EXPECT_FALSE(timedrun::isUp(k.minutes, k.lastRunning));
        }
        if (k.lastRunning < timedrun::maxElapsed) {
            EXPECT_TRUE(timedrun::isUp(k.minutes, qint16(k.lastRunning + 1)));
        }
    }
    const double inf = std::numeric_limits<double>::infinity();
    using P = timedrun::LengthProblem;
    const std::pair<double, P> lengths[] = {
        {546, P::None},
        {546.11, P::None},
        {-546.2, P::None},
        {0, P::None},
        {-1e306, P::None},
        {546.12, P::TooLong},
        {546.2, P::TooLong},
        {1e308, P::TooLong},
        {inf, P::TooLong},
        {std::nan(""), P::TooLong},
        {-1e308, P::TooFarBelowZero},
        {-inf, P::TooFarBelowZero},
    };
    for (const auto &[length, problem] : lengths) {
        EXPECT_EQ(timedrun::lengthProblem(length), problem) << length;
        EXPECT_EQ(timedrun::lengthFits(length), problem == P::None) << length;
    }
}

TEST(TimedRun, RunEndsOnTheTickThatReachesTheSetTime)
{
    struct Case
    {
        std::optional<QString> answer; // none: the time is never set
        int stopTick;
    };
    const Case cases[] = {
        {std::nullopt, 1}, {u"1"_s, 60},         {u"0.5"_s, 30},
        {u"0.51"_s, 31},   {u"4.15"_s, 250},     {u"-2"_s, 1},
        {u"0.01"_s, 1},    {u"61"_s, 3660},      {u"62.0833333333333"_s, 3725},
        {u"546"_s, 32760}, {u"546.11"_s, 32767},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer ? k.answer->toStdString() : std::string("not set"));
        TestConsole c;
        c.connect();
        if (k.answer) {
            setTime(c, *k.answer);
        }
        const double set = minutes(c);

        c.console.startTimedRun();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});
        EXPECT_TRUE(displayShown(c));
        EXPECT_EQ(display(c), u"00/00/00"_s) << "no tick yet";

        c.ticker.ticks(k.stopTick - 1);
        EXPECT_EQ(c.port.written.size(), 1u);
        EXPECT_EQ(elapsed(c), k.stopTick - 1);
        c.ticker.ticks();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
        EXPECT_EQ(display(c), count(k.stopTick));
        EXPECT_EQ(elapsed(c), 0);
        EXPECT_FALSE(c.ticker.active);
        EXPECT_DOUBLE_EQ(minutes(c), set);
        EXPECT_TRUE(displayShown(c));
        EXPECT_EQ(c.caption(Readout::RunState), u"     STOP"_s);
        EXPECT_TRUE(c.boxes.messages().empty());
    }
}

struct OneMinuteRun : ::testing::Test
{
    TestConsole c;
    OneMinuteRun() { startRun(c); }
};

TEST_F(OneMinuteRun, SecondStartShowsThePreviousNumbersUntilItsFirstTick)
{
    c.ticker.ticks(60);
    ASSERT_FALSE(c.ticker.active);
    c.console.startTimedRun();
    EXPECT_EQ(display(c), u"0/1/0"_s);
    c.ticker.ticks();
    EXPECT_EQ(display(c), u"0/0/1"_s);
}

TEST_F(OneMinuteRun, PauseAndContinueResumeTheCount)
{
    c.ticker.ticks(10);
    c.console.pauseTimedRun();
    c.ticker.ticks(5);
    EXPECT_EQ(display(c), u"0/0/10"_s);
    c.console.resumeTimedRun();
    c.ticker.ticks();
    EXPECT_EQ(display(c), u"0/0/11"_s);
    c.ticker.ticks(48);
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame}));
    c.ticker.ticks();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame, stopFrame}));
    EXPECT_EQ(display(c), u"0/1/0"_s);
}

TEST_F(OneMinuteRun, ContinueAfterEndStopsOnTheNextTickWhileHidden)
{
    c.ticker.ticks(7);
    c.console.endTimedRun();
    c.console.resumeTimedRun();
    c.ticker.ticks();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame, stopFrame}));
    EXPECT_FALSE(displayShown(c));
    EXPECT_EQ(display(c), u"0/0/8"_s);
}

TEST_F(OneMinuteRun, ShorterTimeWhileRunningEndsOnTheNextTick)
{
    c.ticker.ticks(30);
    setTime(c, u"0.25"_s);
    EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});
    c.ticker.ticks();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
    EXPECT_EQ(display(c), u"0/0/31"_s);
}

TEST_F(OneMinuteRun, RunAndStopCommandsDoNotTouchTheCount)
{
    c.ticker.ticks(10);
    c.console.stopPump();
    c.ticker.ticks(49);
    EXPECT_EQ(elapsed(c), 59);
    c.ticker.ticks();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, stopFrame}));

    c.console.startTimedRun();
    c.ticker.ticks(10);
    c.console.pauseTimedRun();
    c.console.runPump();
    c.ticker.ticks(100);
    EXPECT_FALSE(c.ticker.active);
    EXPECT_EQ(elapsed(c), 10);
}

TEST(TimedRun, FramesCarryThePumpNumberCurrentWhenWritten)
{
    const std::pair<QString, QByteArray> cases[] = {{u"3"_s, "Q03S0000Y"_ba},
                                                    {u"12"_s, "Q012S0000Y"_ba}};
    for (const auto &[pump, stop] : cases) {
        SCOPED_TRACE(stop.toStdString());
        TestConsole c;
        startRun(c);
        c.ticker.ticks(10);
        c.boxes.answers.push_back(pump);
        c.console.askPumpNumber();
        c.ticker.ticks(50);
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stop}));
    }
}

TEST(TimedRun, SetTimeBoxAndAnswersThatLeaveTheTime)
{
    const std::optional<QString> answers[] = {u"abc"_s, u""_s, std::nullopt, u"5,5"_s, u"1:30"_s};
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer ? answer->toStdString() : std::string("Cancel"));
        TestConsole c;
        startRun(c, u"2"_s);
        c.ticker.ticks(3);
        c.port.written.clear();
        c.boxes.shown.clear();

        setTime(c, answer);

        ASSERT_EQ(c.boxes.shown.size(), 1u);
        EXPECT_EQ(c.boxes.shown[0].kind, u"ask"_s);
        EXPECT_EQ(c.boxes.shown[0].prompt, u"请输入设定时间 单位 分 "_s);
        EXPECT_EQ(c.boxes.shown[0].title, u"时间设定"_s);
        EXPECT_EQ(c.boxes.shown[0].defaultText, u"0"_s);
        EXPECT_DOUBLE_EQ(minutes(c), 2.0);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.ticker.active);
        EXPECT_EQ(elapsed(c), 3);
    }
}

TEST(TimedRun, SetTimeTheCountCannotReachIsRefusedForTheRightReason)
{
    const QString tooLong = u"设定时间过长：定时最长为 546.11 分（9 小时 6 分 7 秒）。\r\n"
                            u"设定时间保持不变。"_s;
    const QString negative = u"设定时间不能是负数。\r\n设定时间保持不变。"_s;
    struct Case
    {
        QString answer;
        std::optional<double> accepted; // none: refused
        QString refusal;
    };
    const Case cases[] = {
        {u"546"_s, 546.0, {}},         {u"546.11"_s, 546.11, {}},
        {u"-546.2"_s, -546.2, {}}, // a run that is over at once, as it always was
        {u"-1e306"_s, -1e306, {}},     {u"546.12"_s, {}, tooLong},
        {u"546.2"_s, {}, tooLong},     {u"1e308"_s, {}, tooLong},
        {u"100000"_s, {}, tooLong},    {u"-1e308"_s, {}, negative},
        {u"-1.7e308"_s, {}, negative},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer.toStdString());
        TestConsole c;
        c.connect();
        setTime(c, u"1.5"_s);
        c.boxes.shown.clear();

        setTime(c, k.answer);

        EXPECT_DOUBLE_EQ(minutes(c), k.accepted.value_or(1.5));
        EXPECT_EQ(c.boxes.texts(),
                  k.accepted ? QStringList() : QStringList{u"时间设定|"_s + k.refusal});
        EXPECT_TRUE(c.port.written.empty());
    }
}

TEST(TimedRun, FailingTimeUpStopIsRetriedEveryTickButToldOnce)
{
    const std::optional<QString> answers[] = {std::nullopt, u"546"_s};
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer ? answer->toStdString() : std::string("not set"));
        TestConsole c;
        c.connect();
        if (answer) {
            setTime(c, *answer);
        }
        c.console.startTimedRun();
        c.port.failWrites = true;

        qint16 previous = 0;
        for (int i = 0; i < 40000; ++i) {
            c.ticker.ticks();
            const qint16 now = elapsed(c);
            ASSERT_GE(now, previous) << "tick " << i + 1;
            previous = now;
        }
        EXPECT_EQ(elapsed(c), 32767);
        EXPECT_TRUE(c.ticker.active) << "the stop is tried again every second";
        EXPECT_EQ(display(c), u"9/6/7"_s);
        EXPECT_EQ(c.boxes.messages().size(), 1u);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});

        c.port.failWrites = false;
        c.ticker.ticks();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
        EXPECT_EQ(elapsed(c), 0);
        EXPECT_FALSE(c.ticker.active);
    }
}

TEST(TimedRun, CommandFrameThatCannotBeWrittenIsToldOnce)
{
    const std::pair<Event, QString> cases[] = {{Event::start, u"开始"_s},
                                               {Event::pause, u"暂停"_s},
                                               {Event::resume, u"继续"_s},
                                               {Event::end, u"结束"_s}};
    for (const auto &[event, named] : cases) {
        SCOPED_TRACE(eventNames[int(event)]);
        TestConsole c;
        c.connect();
        c.port.failWrites = true;
        fire(c, event);
        EXPECT_TRUE(c.port.written.empty());
        const auto boxes = c.boxes.messages();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].prompt.contains(named)) << boxes[0].prompt.toStdString();
    }
}

TEST(TimedRun, TicksGoOnWhileTheSetTimeBoxIsOpen)
{
    struct Case
    {
        const char *name;
        int ticksDuringBox;
        std::optional<QString> answer;
        bool stoppedInBox;
        double minutes;
        int ticksAfterBoxToStop; // 0: not counting any more
    };
    // A one-minute run, 10 ticks in when the box opens.
    const Case cases[] = {
        {"run finishes in the box", 50, u"0.5"_s, true, 0.5, 0},
        {"shorter time applies at the next tick", 20, u"0.25"_s, false, 0.25, 1},
        {"longer time keeps the run going", 49, u"2"_s, false, 2.0, 61},
        {"cancel keeps the old time", 20, std::nullopt, false, 1.0, 30},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        TestConsole c;
        startRun(c);
        c.ticker.ticks(10);
        c.boxes.whileOpen = [&c, n = k.ticksDuringBox] { c.ticker.ticks(n); };

        setTime(c, k.answer);

        EXPECT_DOUBLE_EQ(minutes(c), k.minutes);
        EXPECT_EQ(c.port.written.size(), k.stoppedInBox ? 2u : 1u);
        EXPECT_EQ(c.ticker.active, !k.stoppedInBox);
        if (k.ticksAfterBoxToStop == 0) {
            c.ticker.ticks(100);
            EXPECT_EQ(c.port.written.size(), 2u);
            continue;
        }
        c.ticker.ticks(k.ticksAfterBoxToStop - 1);
        EXPECT_EQ(c.port.written.size(), 1u);
        c.ticker.ticks();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
    }
}

} // namespace
