// Run and stop from the Pump menu (the right-click popup offers the same two) and from the
// keypad. A stop that silently fails to reach the pump is the worst thing the console can do,
// so every failure is checked word for word.

#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString runState = u"     RUN "_s;
const QString stopState = u"     STOP"_s;
const QString notOpen = u"串口尚未打开，请先在“通信”菜单中连接泵"_s;
const QString refused = u"串口写入失败：设备读写出错，可能已被拔出或已损坏"_s;

struct Press
{
    const char *name;
    void (PumpConsole::*slot)();
    bool run;    // run frame, else stop frame
    bool keypad; // only the keypad shows what it sent in the run-state read-out
};

const Press presses[] = {
    {"menu run", &PumpConsole::runPump, true, false},
    {"menu stop", &PumpConsole::stopPump, false, false},
    {"keypad run", &PumpConsole::runFromKeypad, true, true},
    {"keypad stop", &PumpConsole::stopFromKeypad, false, true},
};

// A "title|prompt" for the command that did not go out.
QString notSent(const QString &command, const QString &reason)
{
    return u"通信错误|“"_s + command + u"”命令没有发送到泵（"_s + reason +
           u"）。\r\n请检查连接后重新操作。"_s;
}

// Puts the run state at the text the press must not produce, so that a press which writes the
// read-out is seen even when it writes the text it had.
void setOppositeState(TestConsole &c, const Press &p)
{
    (c.console.*(p.run ? &PumpConsole::stopFromKeypad : &PumpConsole::runFromKeypad))();
    c.port.written.clear();
}

TEST(RunStop, EveryPressWritesItsFrameForEachPumpNumberOncePerPress)
{
    const std::pair<QString, QByteArray> pumps[] = {
        {u"0"_s, "00"_ba}, {u"1"_s, "01"_ba}, {u"12"_s, "012"_ba}, {u"-1"_s, "0-1"_ba}};
    for (const Press &p : presses) {
        for (const auto &[answer, address] : pumps) {
            SCOPED_TRACE(p.name + (" pump " + answer.toStdString()));
            TestConsole c;
            c.connect();
            c.boxes.answers.push_back(answer);
            c.console.askPumpNumber();
            setOppositeState(c, p);
            const QString before = c.caption(Readout::RunState);

            const QByteArray frame = 'Q' + address + (p.run ? "R0000Y" : "S0000Y");
            (c.console.*p.slot)();
            ASSERT_EQ(c.port.written, std::vector<QByteArray>{frame});
            const QString expected = !p.keypad ? before : p.run ? runState : stopState;
            EXPECT_EQ(c.caption(Readout::RunState), expected);

            // No state is checked: the same command again goes out again.
            (c.console.*p.slot)();
            EXPECT_EQ(c.port.written, (std::vector<QByteArray>{frame, frame}));
            EXPECT_EQ(c.caption(Readout::RunState), expected);
            EXPECT_TRUE(c.boxes.messages().empty());
        }
    }
}

TEST(RunStop, FrameThatCannotBeWrittenIsToldEachPressAndLeavesTheRunState)
{
    enum class Outage { NeverConnected, DeviceRefuses, LineLost };
    const std::pair<Outage, QString> outages[] = {{Outage::NeverConnected, notOpen},
                                                  {Outage::DeviceRefuses, refused},
                                                  {Outage::LineLost, notOpen}};
    for (const auto &[outage, reason] : outages) {
        for (const Press &p : presses) {
            SCOPED_TRACE(p.name + (" " + reason.toStdString()));
            TestConsole c;
            if (outage != Outage::NeverConnected) {
                c.connect();
                setOppositeState(c, p);
            }
            c.port.failWrites = outage == Outage::DeviceRefuses;
            if (outage == Outage::LineLost) {
                c.port.lose();
            }
            c.boxes.shown.clear();
            const QString before = c.caption(Readout::RunState);

            // The operator asking again is told again: each command that did not go out.
            (c.console.*p.slot)();
            (c.console.*p.slot)();
            const QString told = notSent(p.run ? u"运行"_s : u"停止"_s, reason);
            EXPECT_EQ(c.boxes.texts(), (QStringList{told, told}));
            EXPECT_TRUE(c.port.written.empty());
            EXPECT_EQ(c.caption(Readout::RunState), before);

            if (outage == Outage::DeviceRefuses) {
                c.port.failWrites = false;
                (c.console.*p.slot)();
                EXPECT_EQ(c.port.written.size(), 1u);
                EXPECT_EQ(c.boxes.messages().size(), 2u);
            }
        }
    }
}

TEST(RunStop, KeypadRunWorksOnceTheLineOpensAfterAFailedPress)
{
    TestConsole c;
    c.console.runFromKeypad();
    c.connect();
    c.console.runFromKeypad();
    EXPECT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
    EXPECT_EQ(c.caption(Readout::RunState), runState);
    EXPECT_TRUE(c.boxes.shown.empty());
}

TEST(RunStop, TimeUpStopIsToldEvenAfterAnotherCommandFailed)
{
    for (const Press &p : {presses[0], presses[2]}) { // the menu's run and the keypad's
        for (const bool whileFirstBoxOpen : {false, true}) {
            // An open box keeps the event loop, and so the ticker, running.
            SCOPED_TRACE(p.name + std::string(whileFirstBoxOpen ? " while the first box is open"
                                                                : " after the first box"));
            TestConsole c;
            c.connect();
            c.boxes.answers.push_back(u"1"_s);
            c.console.askRunLength();
            c.console.startTimedRun();
            ASSERT_EQ(c.port.written, std::vector<QByteArray>{"Q00R0000Y"_ba});
            c.boxes.shown.clear();

            // The line fails while the pump runs, and the operator's own command is told first.
            c.port.failWrites = true;
            if (whileFirstBoxOpen) {
                c.boxes.whileOpen = [&c] { c.ticker.ticks(60); };
            }
            (c.console.*p.slot)();
            const QString runNotSent = notSent(u"运行"_s, refused);
            EXPECT_EQ(c.boxes.texts(), QStringList{runNotSent}) << "one box at a time";
            c.ticker.ticks(60 - c.console.pump().timedRun().elapsedSeconds());
            // The time-up stop is a different command, and the one that matters most: the pump
            // is still running. One box at a time, so it waits for the first to close.
            c.ticker.ticks(1);
            EXPECT_EQ(c.boxes.texts(),
                      (QStringList{runNotSent, notSent(u"定时到，停止"_s, refused)}));

            // Retried every tick, but not told again.
            c.ticker.ticks(5);
            EXPECT_EQ(c.boxes.messages().size(), 2u);
            EXPECT_EQ(c.port.written.size(), 1u);
            EXPECT_TRUE(c.ticker.isActive()) << "the stop is tried again every second";
        }
    }
}

} // namespace
