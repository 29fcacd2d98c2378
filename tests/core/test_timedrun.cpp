// Running the pump for a set number of minutes, counted in ticks of Timer1.

#include "doubles.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace {

const QByteArray runFrame = "Q00R0000Y"_ba;
const QByteArray stopFrame = "Q00S0000Y"_ba;
const Label timeDisplay[] = {Label::lhour,  Label::Label1, Label::lmin,
                             Label::Label2, Label::lsed,   Label::Label3};

void setTime(Console &c, const std::optional<QString> &answer)
{
    c.dialogs.answers.push_back(answer);
    c.core.stset_Click();
}

// "h/m/s" as the three number labels show it.
QString display(const Console &c)
{
    return c.caption(Label::lhour) + u'/' + c.caption(Label::lmin) + u'/' + c.caption(Label::lsed);
}

QString count(int seconds)
{
    return u"%1/%2/%3"_s.arg(seconds / 3600).arg(seconds % 3600 / 60).arg(seconds % 60);
}

// The six labels always show and hide together.
bool displayShown(const Console &c)
{
    const bool first = c.core.isVisible(timeDisplay[0]);
    for (Label l : timeDisplay) {
        EXPECT_EQ(c.core.isVisible(l), first) << "label " << int(l);
    }
    return first;
}

enum class State { Idle, Running, Paused, Finished, Ended };
enum class Event { stset, ststart, stzanting, stcontiune, stend, tick };
const char *const stateNames[] = {"Idle", "Running", "Paused", "Finished", "Ended"};
const char *const eventNames[] = {"stset", "ststart", "stzanting", "stcontiune", "stend", "tick"};

// Each state reached with a set time of one minute; Running, Paused and Ended after 5 ticks.
void enter(Console &c, State state)
{
    setTime(c, u"1"_s);
    switch (state) {
    case State::Idle:
        break;
    case State::Running:
        c.core.ststart_Click();
        c.timer.ticks(5);
        break;
    case State::Paused:
        c.core.ststart_Click();
        c.timer.ticks(5);
        c.core.stzanting_Click();
        break;
    case State::Finished:
        c.core.ststart_Click();
        c.timer.ticks(60);
        break;
    case State::Ended:
        c.core.ststart_Click();
        c.timer.ticks(5);
        c.core.stend_Click();
        break;
    }
    c.port.written.clear();
    c.dialogs.shown.clear();
}

void fire(Console &c, Event event)
{
    switch (event) {
    case Event::stset:
        return setTime(c, u"2"_s);
    case Event::ststart:
        return c.core.ststart_Click();
    case Event::stzanting:
        return c.core.stzanting_Click();
    case Event::stcontiune:
        return c.core.stcontiune_Click();
    case Event::stend:
        return c.core.stend_Click();
    case Event::tick:
        return c.timer.tick();
    }
}

TEST(TimedRun, EveryStateUnderEveryEvent)
{
    struct Cell
    {
        State state;
        Event event;
        QByteArray frame; // written by the event, if any
        qint16 tset;
        double timeset;
        bool counting;
        bool shown;
        QString display;
        int ticksToStop; // further ticks until the time-up stop; 0 when not counting
    };
    using S = State;
    using E = Event;
    const QByteArray none;
    const Cell table[] = {
        {S::Idle, E::stset, none, 0, 2, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::ststart, runFrame, 0, 1, true, true, u"00/00/00"_s, 60},
        {S::Idle, E::stzanting, stopFrame, 0, 1, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::stcontiune, runFrame, 0, 1, true, false, u"00/00/00"_s, 60},
        {S::Idle, E::stend, stopFrame, 0, 0, false, false, u"00/00/00"_s, 0},
        {S::Idle, E::tick, none, 0, 1, false, false, u"00/00/00"_s, 0},

        {S::Running, E::stset, none, 5, 2, true, true, u"0/0/5"_s, 115},
        {S::Running, E::ststart, runFrame, 0, 1, true, true, u"0/0/5"_s, 60},
        {S::Running, E::stzanting, stopFrame, 5, 1, false, true, u"0/0/5"_s, 0},
        {S::Running, E::stcontiune, runFrame, 5, 1, true, true, u"0/0/5"_s, 55},
        {S::Running, E::stend, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Running, E::tick, none, 6, 1, true, true, u"0/0/6"_s, 54},

        {S::Paused, E::stset, none, 5, 2, false, true, u"0/0/5"_s, 0},
        {S::Paused, E::ststart, runFrame, 0, 1, true, true, u"0/0/5"_s, 60},
        {S::Paused, E::stzanting, stopFrame, 5, 1, false, true, u"0/0/5"_s, 0},
        {S::Paused, E::stcontiune, runFrame, 5, 1, true, true, u"0/0/5"_s, 55},
        {S::Paused, E::stend, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Paused, E::tick, none, 5, 1, false, true, u"0/0/5"_s, 0},

        {S::Finished, E::stset, none, 0, 2, false, true, u"0/1/0"_s, 0},
        {S::Finished, E::ststart, runFrame, 0, 1, true, true, u"0/1/0"_s, 60},
        {S::Finished, E::stzanting, stopFrame, 0, 1, false, true, u"0/1/0"_s, 0},
        {S::Finished, E::stcontiune, runFrame, 0, 1, true, true, u"0/1/0"_s, 60},
        {S::Finished, E::stend, stopFrame, 0, 0, false, false, u"0/1/0"_s, 0},
        {S::Finished, E::tick, none, 0, 1, false, true, u"0/1/0"_s, 0},

        {S::Ended, E::stset, none, 5, 2, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::ststart, runFrame, 0, 0, true, true, u"0/0/5"_s, 1},
        {S::Ended, E::stzanting, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::stcontiune, runFrame, 5, 0, true, false, u"0/0/5"_s, 1},
        {S::Ended, E::stend, stopFrame, 5, 0, false, false, u"0/0/5"_s, 0},
        {S::Ended, E::tick, none, 5, 0, false, false, u"0/0/5"_s, 0},
    };
    for (const Cell &k : table) {
        SCOPED_TRACE(std::string(stateNames[int(k.state)]) + " x " + eventNames[int(k.event)]);
        Console c;
        c.connect();
        enter(c, k.state);

        fire(c, k.event);

        EXPECT_EQ(c.port.written,
                  k.frame.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.frame});
        EXPECT_EQ(c.s().tset, k.tset);
        EXPECT_DOUBLE_EQ(c.s().timeset, k.timeset);
        EXPECT_EQ(c.timer.active, k.counting);
        EXPECT_EQ(displayShown(c), k.shown);
        EXPECT_EQ(display(c), k.display);
        EXPECT_EQ(c.caption(Label::Lstate), u"     STOP"_s);
        EXPECT_TRUE(c.dialogs.shown.size() == (k.event == Event::stset ? 1u : 0u));

        // What the state goes on to do: count to the time-up stop, or nothing at all.
        c.port.written.clear();
        if (k.ticksToStop == 0) {
            c.timer.ticks(100);
            EXPECT_TRUE(c.port.written.empty());
            EXPECT_EQ(c.s().tset, k.tset);
            EXPECT_EQ(display(c), k.display);
            continue;
        }
        c.timer.ticks(k.ticksToStop - 1);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.timer.active);
        c.timer.tick();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{stopFrame});
        EXPECT_FALSE(c.timer.active);
        EXPECT_EQ(c.s().tset, 0);
        EXPECT_EQ(display(c), count(k.tset + k.ticksToStop));
        EXPECT_EQ(displayShown(c), k.shown) << "only start and end change the visibility";
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
        Console c;
        c.connect();
        if (k.answer) {
            setTime(c, *k.answer);
        }
        const double timeset = c.s().timeset;

        c.core.ststart_Click();
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});
        EXPECT_TRUE(displayShown(c));
        EXPECT_EQ(display(c), u"00/00/00"_s) << "no tick yet";

        c.timer.ticks(k.stopTick - 1);
        EXPECT_EQ(c.port.written.size(), 1u);
        EXPECT_EQ(c.s().tset, k.stopTick - 1);
        c.timer.tick();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
        EXPECT_EQ(display(c), count(k.stopTick));
        EXPECT_EQ(c.s().tset, 0);
        EXPECT_FALSE(c.timer.active);
        EXPECT_DOUBLE_EQ(c.s().timeset, timeset);
        EXPECT_TRUE(displayShown(c));
        EXPECT_EQ(c.caption(Label::Lstate), u"     STOP"_s);
        EXPECT_TRUE(c.dialogs.messages().empty());
    }
}

TEST(TimedRun, SecondStartShowsThePreviousNumbersUntilItsFirstTick)
{
    Console c;
    c.connect();
    setTime(c, u"1"_s);
    c.core.ststart_Click();
    c.timer.ticks(60);
    ASSERT_FALSE(c.timer.active);

    c.core.ststart_Click();
    EXPECT_EQ(display(c), u"0/1/0"_s);
    c.timer.tick();
    EXPECT_EQ(display(c), u"0/0/1"_s);
}

TEST(TimedRun, PauseAndContinueResumeTheCount)
{
    Console c;
    c.connect();
    setTime(c, u"1"_s);
    c.core.ststart_Click();
    c.timer.ticks(10);
    c.core.stzanting_Click();
    c.timer.ticks(5);
    EXPECT_EQ(display(c), u"0/0/10"_s);
    c.core.stcontiune_Click();
    c.timer.tick();
    EXPECT_EQ(display(c), u"0/0/11"_s);
    c.timer.ticks(48);
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame}));
    c.timer.tick();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame, stopFrame}));
    EXPECT_EQ(display(c), u"0/1/0"_s);
}

TEST(TimedRun, ContinueAfterEndStopsOnTheNextTickWhileHidden)
{
    Console c;
    c.connect();
    setTime(c, u"1"_s);
    c.core.ststart_Click();
    c.timer.ticks(7);
    c.core.stend_Click();
    c.core.stcontiune_Click();
    c.timer.tick();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, runFrame, stopFrame}));
    EXPECT_FALSE(displayShown(c));
    EXPECT_EQ(display(c), u"0/0/8"_s);
}

TEST(TimedRun, ShorterTimeWhileRunningEndsOnTheNextTick)
{
    Console c;
    c.connect();
    setTime(c, u"1"_s);
    c.core.ststart_Click();
    c.timer.ticks(30);
    setTime(c, u"0.25"_s);
    EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});
    c.timer.tick();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
    EXPECT_EQ(display(c), u"0/0/31"_s);
}

TEST(TimedRun, FramesCarryThePumpNumberCurrentWhenWritten)
{
    struct Case
    {
        QString pump;
        QByteArray stop;
    };
    const Case cases[] = {{u"3"_s, "Q03S0000Y"_ba}, {u"12"_s, "Q012S0000Y"_ba}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.stop.toStdString());
        Console c;
        c.connect();
        setTime(c, u"1"_s);
        c.core.ststart_Click();
        c.timer.ticks(10);
        c.dialogs.answers.push_back(k.pump);
        c.core.Pump_NO_Click();
        c.timer.ticks(50);
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, k.stop}));
    }
}

TEST(TimedRun, RunAndStopCommandsDoNotTouchTheCount)
{
    Console c;
    c.connect();
    setTime(c, u"1"_s);
    c.core.ststart_Click();
    c.timer.ticks(10);
    c.core.stop_Click();
    c.timer.ticks(49);
    EXPECT_EQ(c.s().tset, 59);
    c.timer.tick();
    EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame, stopFrame}));

    c.core.ststart_Click();
    c.timer.ticks(10);
    c.core.stzanting_Click();
    c.core.run_Click();
    c.timer.ticks(100);
    EXPECT_FALSE(c.timer.active);
    EXPECT_EQ(c.s().tset, 10);
}

TEST(TimedRun, SetTimeBoxAndAnswersThatLeaveTheTime)
{
    const std::optional<QString> answers[] = {u"abc"_s, u""_s, std::nullopt, u"5,5"_s, u"1:30"_s};
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer ? answer->toStdString() : std::string("Cancel"));
        Console c;
        c.connect();
        setTime(c, u"2"_s);
        c.core.ststart_Click();
        c.timer.ticks(3);
        c.port.written.clear();
        c.dialogs.shown.clear();

        setTime(c, answer);

        ASSERT_EQ(c.dialogs.shown.size(), 1u);
        EXPECT_EQ(c.dialogs.shown[0].kind, u"InputBox"_s);
        EXPECT_EQ(c.dialogs.shown[0].prompt, u"请输入设定时间 单位 分 "_s);
        EXPECT_EQ(c.dialogs.shown[0].title, u"时间设定"_s);
        EXPECT_EQ(c.dialogs.shown[0].defaultText, u"0"_s);
        EXPECT_DOUBLE_EQ(c.s().timeset, 2.0);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.timer.active);
        EXPECT_EQ(c.s().tset, 3);
    }
}

TEST(TimedRun, SetTimeTheCountCannotReachIsRefused)
{
    struct Case
    {
        QString answer;
        std::optional<double> accepted; // none: refused
    };
    const Case cases[] = {
        {u"546"_s, 546.0}, {u"546.11"_s, 546.11}, {u"-546.2"_s, -546.2}, {u"546.12"_s, {}},
        {u"546.2"_s, {}},  {u"1e308"_s, {}},      {u"-1e308"_s, {}},     {u"100000"_s, {}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer.toStdString());
        Console c;
        c.connect();
        setTime(c, u"1.5"_s);
        c.dialogs.shown.clear();

        setTime(c, k.answer);

        EXPECT_DOUBLE_EQ(c.s().timeset, k.accepted.value_or(1.5));
        const auto boxes = c.dialogs.messages();
        if (k.accepted) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].style, 0);
        EXPECT_TRUE(boxes[0].prompt.contains(u"546.11"_s)) << boxes[0].prompt.toStdString();
        EXPECT_TRUE(std::any_of(boxes[0].prompt.begin(), boxes[0].prompt.end(), [](QChar ch) {
            return ch.unicode() >= 0x4e00 && ch.unicode() <= 0x9fff;
        })) << "told in Chinese";
        EXPECT_TRUE(c.port.written.empty());
    }
}

TEST(TimedRun, CountNeverPassesItsRangeWhileTheStopCannotBeWritten)
{
    const std::optional<QString> answers[] = {std::nullopt, u"546"_s};
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer ? answer->toStdString() : std::string("not set"));
        Console c;
        c.connect();
        if (answer) {
            setTime(c, *answer);
        }
        c.core.ststart_Click();
        c.port.failWrites = true;

        qint16 previous = 0;
        for (int i = 0; i < 40000; ++i) {
            c.timer.tick();
            const qint16 now = c.s().tset;
            ASSERT_GE(now, previous) << "tick " << i + 1;
            ASSERT_LE(now, 32767);
            previous = now;
        }
        EXPECT_EQ(c.s().tset, 32767);
        EXPECT_TRUE(c.timer.active) << "the stop is tried again every second";
        EXPECT_EQ(display(c), u"9/6/7"_s);
        EXPECT_EQ(c.dialogs.messages().size(), 1u);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{runFrame});

        c.port.failWrites = false;
        c.timer.tick();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
        EXPECT_EQ(c.s().tset, 0);
        EXPECT_FALSE(c.timer.active);
    }
}

TEST(TimedRun, TimeUpStopThatFailsIsToldAfterAnEarlierFailureToo)
{
    struct Case
    {
        const char *name;
        bool tickWhileFirstBoxIsOpen;
    };
    const Case cases[] = {{"keypad run failed earlier", false},
                          {"time is up while the keypad failure box is open", true}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Console c;
        c.connect();
        setTime(c, u"1"_s);
        c.core.ststart_Click();
        c.timer.ticks(10);
        c.port.failWrites = true;
        if (k.tickWhileFirstBoxIsOpen) {
            c.dialogs.whileOpen = [&c] { c.timer.ticks(50); };
        }
        c.core.Cmdr_Click(0);
        ASSERT_EQ(c.dialogs.messages().size(), 1u);

        // The pump was started and its stop is not reaching it: that must not stay silent.
        c.timer.ticks(k.tickWhileFirstBoxIsOpen ? 1 : 50);
        const auto boxes = c.dialogs.messages();
        EXPECT_EQ(boxes.size(), 2u);
        if (boxes.size() == 2) {
            EXPECT_TRUE(boxes[1].prompt.contains(u"停止"_s)) << boxes[1].prompt.toStdString();
        }
        EXPECT_TRUE(c.timer.active);
    }
}

TEST(TimedRun, CommandFrameThatCannotBeWrittenIsToldOnce)
{
    struct Case
    {
        Event event;
        QString named;
    };
    const Case cases[] = {{Event::ststart, u"开始"_s},
                          {Event::stzanting, u"暂停"_s},
                          {Event::stcontiune, u"继续"_s},
                          {Event::stend, u"结束"_s}};
    for (const Case &k : cases) {
        SCOPED_TRACE(eventNames[int(k.event)]);
        Console c;
        c.connect();
        c.port.failWrites = true;
        fire(c, k.event);
        EXPECT_TRUE(c.port.written.empty());
        const auto boxes = c.dialogs.messages();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].prompt.contains(k.named)) << boxes[0].prompt.toStdString();
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
        double timeset;
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
        Console c;
        c.connect();
        setTime(c, u"1"_s);
        c.core.ststart_Click();
        c.timer.ticks(10);
        c.dialogs.whileOpen = [&c, n = k.ticksDuringBox] { c.timer.ticks(n); };

        setTime(c, k.answer);

        EXPECT_DOUBLE_EQ(c.s().timeset, k.timeset);
        EXPECT_EQ(c.port.written.size(), k.stoppedInBox ? 2u : 1u);
        EXPECT_EQ(c.timer.active, !k.stoppedInBox);
        if (k.ticksAfterBoxToStop == 0) {
            c.timer.ticks(100);
            EXPECT_EQ(c.port.written.size(), 2u);
            continue;
        }
        c.timer.ticks(k.ticksAfterBoxToStop - 1);
        EXPECT_EQ(c.port.written.size(), 1u);
        c.timer.tick();
        EXPECT_EQ(c.port.written, (std::vector<QByteArray>{runFrame, stopFrame}));
    }
}

} // namespace
