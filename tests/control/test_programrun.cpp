// A program run on the console's doubles: the exact frames and their times on a clock moved by
// hand, pause and continue, abort, a safety stop inside a ramp, the timed run kept apart, and
// what the run log is told.

#include "control/program/programfile.h"
#include "control/runlog/runlogformat.h"
#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace program;

namespace {

// Hold 1.0 with a limit for 3 s, ramp 1.0 → 1.3 over 3 s, hold 1.3 for 3 s.
const Steps threeSteps{
    {0.05, 1.0, Mode::Hold, 2.0}, {0.05, 1.0, Mode::Ramp, {}}, {0.05, 1.3, Mode::Hold, {}}};

struct ProgramConsole : TestConsole
{
    ProgramConsole()
    {
        connect();
        QObject::connect(&console, &PumpConsole::runEvent, [this](const RunEvent &e) {
            if (e.kind >= RunEventKind::ProgramStart) {
                events << QString(runlog::eventName(e)) + u'|' + e.value + u'|' + e.note;
            }
        });
    }
    ProgramRun &run() { return console.program(); }

    // The clock moves `ms` in steps of `pace`, the program's ticker ticking after each; every
    // frame written meanwhile is noted with the time since the start.
    void pass(qint64 ms, qint64 pace = 50)
    {
        for (qint64 t = 0; t < ms; t += pace) {
            clock.advance(pace);
            programTicker.ticks();
            note();
        }
    }
    void note()
    {
        for (; seen < port.written.size(); ++seen) {
            frames << u"@%1 %2"_s.arg(clock.now().count() - origin)
                          .arg(QString::fromLatin1(port.written[seen]));
        }
    }
    void start(const Steps &steps = threeSteps)
    {
        origin = clock.now().count();
        ASSERT_TRUE(run().start(steps, u"方法.csv"_s));
        note();
    }
    // The frames noted since the last look.
    QStringList newFrames() { return std::exchange(frames, {}); }

    QStringList frames;
    QStringList events;
    std::size_t seen = 0;
    qint64 origin = 0;
};

} // namespace

TEST(ProgramRun, WritesEachFrameOnTimeAndStopsAtTheEnd)
{
    ProgramConsole c;
    c.start();
    EXPECT_EQ(c.run().state(), ProgramRun::State::Running);
    c.pass(10000);
    EXPECT_EQ(c.frames,
              (QStringList{u"@0 Q00P02.0Y"_s, u"@0 Q00L01.0Y"_s, u"@0 Q00R0000Y"_s,
                           u"@3000 Q00L01.0Y"_s, u"@4000 Q00L01.1Y"_s, u"@5000 Q00L01.2Y"_s,
                           u"@6000 Q00L01.3Y"_s, u"@9000 Q00S0000Y"_s}));
    EXPECT_EQ(c.run().state(), ProgramRun::State::Idle);
    EXPECT_EQ(c.run().outcome(), ProgramRun::Outcome::Ended);
    EXPECT_FALSE(c.programTicker.isActive());
    EXPECT_EQ(c.events,
              (QStringList{u"program start|%1|方法.csv"_s.arg(programfile::shortHash(threeSteps)),
                           u"program step|01.0|第 1 步"_s, u"program step|01.0|第 2 步"_s,
                           u"program step|01.3|第 3 步"_s, u"program end|9.0|"_s}));
    EXPECT_TRUE(c.boxes.shown.empty());
}

TEST(ProgramRun, PauseFreezesItsClockAndContinueGoesOnFromThere)
{
    ProgramConsole c;
    c.start();
    c.pass(4300);
    c.newFrames();
    c.run().pause();
    c.note();
    EXPECT_EQ(c.newFrames(), QStringList{u"@4300 Q00S0000Y"_s});
    c.pass(10000);
    EXPECT_EQ(c.newFrames(), QStringList());
    EXPECT_EQ(c.run().elapsed(), Ms(4300));

    // 1.3 s into the ramp it stood at 1.13: that flow, then the run frame. The ramp's next
    // change (to 1.2 at 1.5 s) would come less than a second after, and a second before its
    // end: the next step's frame carries it.
    c.run().resume();
    c.note();
    c.pass(6000);
    EXPECT_EQ(c.frames, (QStringList{u"@14300 Q00L01.1Y"_s, u"@14300 Q00R0000Y"_s,
                                     u"@16000 Q00L01.3Y"_s, u"@19000 Q00S0000Y"_s}));
    EXPECT_EQ(c.events.mid(3),
              (QStringList{u"program pause|4.3|操作员暂停"_s, u"program continue|4.3|"_s,
                           u"program step|01.3|第 3 步"_s, u"program end|9.0|"_s}));
}

TEST(ProgramRun, AbortAndClosingTheConsoleWriteTheStopAndNothingMore)
{
    const std::pair<void (*)(ProgramConsole &), QString> rows[] = {
        {[](ProgramConsole &c) { c.run().abort(); }, u"program abort|4.0|操作员中止"_s},
        {[](ProgramConsole &c) { c.console.closeLine(); }, u"program abort|4.0|控制台关闭"_s},
    };
    for (const auto &[abort, logged] : rows) {
        SCOPED_TRACE(logged.toStdString());
        ProgramConsole c;
        c.start();
        c.pass(4000);
        c.newFrames();
        abort(c);
        c.note();
        c.pass(10000);
        EXPECT_EQ(c.frames, QStringList{u"@4000 Q00S0000Y"_s});
        EXPECT_EQ(c.run().outcome(), ProgramRun::Outcome::Aborted);
        EXPECT_EQ(c.events.back(), logged);
    }
}

TEST(ProgramRun, SafetyStopInsideARampEndsItAndSaysSo)
{
    ProgramConsole c;
    c.console.setSafetyLimits({1.0, {}, {}});
    c.start();
    c.pass(4500);
    c.newFrames();
    c.port.receive("Q00N01.5Y"_ba);
    c.note();
    c.pass(10000);
    EXPECT_EQ(c.newFrames(), QStringList{u"@4500 Q00S0000Y"_s})
        << "the envelope's stop, and no other";
    EXPECT_EQ(c.run().state(), ProgramRun::State::Idle);
    EXPECT_EQ(c.run().outcome(), ProgramRun::Outcome::SafetyStopped);
    EXPECT_EQ(c.events.back(), u"program abort|4.5|安全停泵"_s);
    EXPECT_EQ(c.boxes.texts(u"notify"_s),
              QStringList{u"运行程序|安全停泵：程序“方法.csv”已在第 2 步中止。"_s});

    // Latched: a new start is refused, as every run command is, and writes nothing.
    EXPECT_FALSE(c.run().start(threeSteps, u"方法.csv"_s));
    c.note();
    EXPECT_EQ(c.newFrames(), QStringList());
}

TEST(ProgramRun, StartIsRefusedWithAReasonAndNothingWritten)
{
    struct Row
    {
        const char *what;
        std::function<void(ProgramConsole &)> before;
        Steps steps;
        QString told;
    };
    const Row rows[] = {
        {"a step beyond the flow bound",
         {},
         {{1, 1, Mode::Hold, {}}, {1, 60, Mode::Hold, {}}},
         u"运行程序|程序不能开始：第 2 步：流量 60 超出范围 0～50.0 ml/min。"_s},
        {"no steps", {}, {}, u"运行程序|程序不能开始：程序中没有步骤。"_s},
        {"a timed run counting",
         [](ProgramConsole &c) {
             c.boxes.answers.push_back(u"5"_s);
             c.console.askRunLength();
             c.console.startTimedRun();
         },
         threeSteps,
         u"运行程序|定时运行尚未结束，不能开始程序。\r\n请先在“定时 → 操作”中选“结束”。"_s},
        {"a timed run paused",
         [](ProgramConsole &c) {
             c.console.startTimedRun();
             c.console.pauseTimedRun();
         },
         threeSteps,
         u"运行程序|定时运行尚未结束，不能开始程序。\r\n请先在“定时 → 操作”中选“结束”。"_s},
    };
    for (const Row &row : rows) {
        ProgramConsole c;
        if (row.before) {
            row.before(c);
        }
        c.port.written.clear();
        c.boxes.shown.clear();
        EXPECT_FALSE(c.run().start(row.steps, u"x.csv"_s)) << row.what;
        EXPECT_EQ(c.boxes.texts(), QStringList{row.told}) << row.what;
        EXPECT_TRUE(c.port.written.empty()) << row.what;
        EXPECT_TRUE(c.events.isEmpty()) << row.what;
    }
}

TEST(ProgramRun, NoTimedRunAndNoOtherPumpNumberWhileAProgramRuns)
{
    struct Row
    {
        const char *what;
        void (PumpConsole::*slot)();
        QString told;
    };
    const Row rows[] = {
        {"timed run start", &PumpConsole::startTimedRun,
         u"时间设定|程序“方法.csv”正在运行，不能开始定时运行。"_s},
        {"timed run continue", &PumpConsole::resumeTimedRun,
         u"时间设定|程序“方法.csv”正在运行，不能开始定时运行。"_s},
        {"pump number", &PumpConsole::askPumpNumber,
         u"编号设定|程序“方法.csv”正在运行，不能更改泵编号。"_s},
    };
    for (const Row &row : rows) {
        // Paused, it still owns the pump until it is aborted.
        for (const bool paused : {false, true}) {
            SCOPED_TRACE(std::string(row.what) + (paused ? " paused" : " running"));
            ProgramConsole c;
            c.start();
            if (paused) {
                c.run().pause();
            }
            c.note();
            c.newFrames();
            c.boxes.answers.push_back(u"3"_s);
            (c.console.*row.slot)();
            c.note();
            EXPECT_EQ(c.newFrames(), QStringList());
            EXPECT_EQ(c.boxes.texts(), QStringList{row.told});
            EXPECT_TRUE(c.boxes.messages(u"ask"_s).empty());
            if (paused) {
                c.run().resume();
            }
            c.pass(10000);
            EXPECT_EQ(c.newFrames().last(), u"@9000 Q00S0000Y"_s)
                << "the rest of the program goes to the pump it started on";
        }
    }

    // Once it is aborted, both are the operator's again.
    ProgramConsole c;
    c.start();
    c.run().abort();
    c.boxes.answers.push_back(u"3"_s);
    c.console.askPumpNumber();
    c.console.startTimedRun();
    c.note();
    EXPECT_EQ(c.newFrames().mid(3), (QStringList{u"@0 Q00S0000Y"_s, u"@0 Q03R0000Y"_s}));
}

TEST(ProgramRun, AStopByHandOrALostLinePausesIt)
{
    ProgramConsole c;
    c.start();
    c.pass(1000);
    c.newFrames();

    c.console.stopFromKeypad();
    c.note();
    EXPECT_EQ(c.newFrames(), QStringList{u"@1000 Q00S0000Y"_s});
    EXPECT_EQ(c.run().state(), ProgramRun::State::Paused);
    c.run().resume();
    c.note();
    c.pass(1000);
    EXPECT_EQ(c.newFrames(), (QStringList{u"@1000 Q00L01.0Y"_s, u"@1000 Q00R0000Y"_s}));

    c.port.lose();
    EXPECT_EQ(c.run().state(), ProgramRun::State::Paused);
    c.pass(5000);
    EXPECT_EQ(c.newFrames(), QStringList()) << "nothing is tried on a line that is gone";
    c.connect();
    c.seen = 0;
    c.run().resume();
    c.note();
    EXPECT_EQ(c.newFrames(), (QStringList{u"@7000 Q00L01.0Y"_s, u"@7000 Q00R0000Y"_s}));
    EXPECT_EQ(c.run().elapsed(), Ms(2000));
    EXPECT_EQ(c.events.mid(2),
              (QStringList{u"program pause|1.0|手动停泵"_s, u"program continue|1.0|"_s,
                           u"program pause|2.0|通信中断"_s, u"program continue|2.0|"_s}));
}

TEST(ProgramRun, AFrameNotSentPausesItAtTheTimeItWasDue)
{
    // Step 3's flow (due at 6 s) does not go out; its box stays open ten seconds, past the end.
    struct Row
    {
        const char *what;
        qint64 before; // time run before the tick that fails
        qint64 pace;   // how far the clock moves to that tick
        QString paused;
        QStringList afterContinue;
    };
    const Row rows[] = {
        {"on time",
         5950,
         50,
         u"program pause|6.0|指令未能发出"_s,
         {u"@16000 Q00L01.3Y"_s, u"@16000 Q00R0000Y"_s, u"@19000 Q00S0000Y"_s}},
        {"on a late tick past the end",
         5500,
         4000,
         u"program pause|9.0|指令未能发出"_s,
         {u"@19500 Q00S0000Y"_s}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ProgramConsole c;
        c.start();
        c.pass(row.before);
        c.newFrames();
        c.port.failWrites = true;
        c.boxes.whileOpen = [&c] {
            c.clock.advance(10000);
            c.port.failWrites = false;
        };
        c.pass(row.pace, row.pace);
        EXPECT_EQ(c.run().state(), ProgramRun::State::Paused);
        EXPECT_EQ(c.events.back(), row.paused);

        c.run().resume();
        c.note();
        c.pass(5000);
        EXPECT_EQ(c.newFrames(), row.afterContinue);
        EXPECT_EQ(c.run().outcome(), ProgramRun::Outcome::Ended);
    }
}

TEST(ProgramRun, TheStopOwedAtTheEndIsRetriedOnceASecond)
{
    int notSent = 0;
    ProgramConsole c;
    QObject::connect(&c.console, &PumpConsole::runEvent, [&notSent](const RunEvent &e) {
        notSent += e.kind == RunEventKind::CommandNotSent;
    });
    c.start();
    c.pass(8000);
    c.newFrames();
    c.port.failWrites = true;
    c.pass(6000, 20);
    EXPECT_EQ(notSent, 6) << "tried at 9, 10, … 14 s, not on every tick";
    EXPECT_EQ(c.boxes.texts().size(), 1);
    EXPECT_EQ(c.run().state(), ProgramRun::State::Running);

    c.port.failWrites = false;
    c.pass(1000, 20);
    EXPECT_EQ(c.newFrames(), QStringList{u"@15000 Q00S0000Y"_s});
    EXPECT_EQ(c.run().outcome(), ProgramRun::Outcome::Ended);
}

TEST(ProgramRun, TimeComesFromTheClockNotFromCountingTicks)
{
    ProgramConsole c;
    // A day: the second step starts 23 h 59 min 24 s in. Two ticks in all.
    c.start({{1439.99, 1.0, Mode::Hold, {}}, {0.01, 2.0, Mode::Hold, {}}});
    c.newFrames();
    c.pass(86399399, 86399399);
    EXPECT_EQ(c.newFrames(), QStringList());
    c.pass(1, 1);
    EXPECT_EQ(c.newFrames(), QStringList{u"@86399400 Q00L02.0Y"_s});

    // A tick that comes late in a ramp writes the value it has now, once.
    ProgramConsole late;
    late.start({{10.0 / 60, 0, Mode::Ramp, {}}, {0.1, 50, Mode::Hold, {}}});
    late.newFrames();
    late.pass(5500, 5500);
    EXPECT_EQ(late.newFrames(), QStringList{u"@5500 Q00L27.5Y"_s});
    late.pass(1000);
    EXPECT_EQ(late.newFrames(), QStringList{u"@6500 Q00L32.5Y"_s});
}
