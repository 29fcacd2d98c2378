// Flow, pressure limit and pump number through their boxes. A number misread here goes to the
// pump as a setpoint, so each answer's frame is checked to the byte.

#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

enum class Box { Flow, Pressure, PumpNo };

void open(TestConsole &c, Box box)
{
    switch (box) {
    case Box::Flow:
        return c.console.askFlow();
    case Box::Pressure:
        return c.console.askPressureLimit();
    case Box::PumpNo:
        return c.console.askPumpNumber();
    }
}

// The box answered, and what it sent and told forgotten.
void answer(TestConsole &c, Box box, const QString &text)
{
    c.boxes.answers.push_back(text);
    open(c, box);
    c.port.written.clear();
    c.boxes.shown.clear();
}

// Setpoint read-outs at texts no box would produce, so that any write to them shows.
void markReadouts(TestConsole &c)
{
    c.port.receive("Q01L33.3Y"_ba);
    c.port.receive("Q01P04.4Y"_ba);
    ASSERT_EQ(c.caption(Readout::Flow), u"33.3"_s);
    ASSERT_EQ(c.caption(Readout::PressureLimit), u"04.4"_s);
}

TEST(Setpoints, EachBoxAsksWithItsPromptTitleAndDefault)
{
    struct Case
    {
        Box box;
        QString prompt, title, defaultText;
    };
    const Case cases[] = {
        {Box::Flow, u"请输入您需要的流量 单位 ml/min \r\n流量范围为0.1\u201450.0ml/min"_s,
         u"流量设定"_s, u"0"_s},
        {Box::Pressure, u"请输入您需要保护压 单位 MPa\r\n压力设定范围为0\u20142.0MPa"_s,
         u"压力设定"_s, u"2"_s},
        {Box::PumpNo, u"请输入要控制泵的编号 "_s, u"编号设定"_s, u"0"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.title.toStdString());
        TestConsole c;
        c.connect();
        c.boxes.answers.push_back(std::nullopt);
        open(c, k.box);
        ASSERT_EQ(c.boxes.shown.size(), 1u);
        const auto &box = c.boxes.shown[0];
        EXPECT_EQ(box.kind, u"ask"_s);
        EXPECT_EQ(box.prompt, k.prompt);
        EXPECT_EQ(box.title, k.title);
        EXPECT_EQ(box.defaultText, k.defaultText);
    }
}

TEST(Setpoints, FlowAndPressureAnswers)
{
    struct Case
    {
        Box box;
        std::optional<QString> answer;
        QByteArray frame;             // empty: nothing written
        QString refusal;              // empty: no message
        std::optional<double> stored; // none: the last answer stays
    };
    std::vector<Case> cases = {
        {Box::Flow, u"50"_s, "Q00L50.0Y"_ba, {}, 50.0},
        {Box::Flow, u"50.01"_s, {}, u"流量设定错误!"_s, 50.01},
        {Box::Flow, u"51"_s, {}, u"流量设定错误!"_s, 51.0},
        {Box::Flow, u"0"_s, "Q00L00.0Y"_ba, {}, 0.0},
        {Box::Flow, u"-3"_s, "Q00L-03.0Y"_ba, {}, -3.0},
        {Box::Flow, u"5"_s, "Q00L05.0Y"_ba, {}, 5.0},
        {Box::Flow, u"12.34"_s, "Q00L12.3Y"_ba, {}, 12.34},
        {Box::Flow, u"0.05"_s, "Q00L00.1Y"_ba, {}, 0.05},
        {Box::Pressure, u"2"_s, "Q00P02.0Y"_ba, {}, 2.0},
        {Box::Pressure, u"5"_s, "Q00P05.0Y"_ba, {}, 5.0},
        {Box::Pressure, u"5.1"_s, {}, u"压力设定错误!"_s, 5.1},
        {Box::Pressure, u"3"_s, "Q00P03.0Y"_ba, {}, 3.0},
        {Box::Pressure, u"0"_s, "Q00P00.0Y"_ba, {}, 0.0},
        {Box::Pressure, u"-1"_s, "Q00P-01.0Y"_ba, {}, -1.0},
        // A value field longer than "-99.9" would put more than the frame on the line.
        {Box::Flow, u"-99.94"_s, "Q00L-99.9Y"_ba, {}, -99.94},
        {Box::Flow, u"-99.95"_s, {}, u"流量设定错误!"_s, -99.95},
        {Box::Flow, u"-1e308"_s, {}, u"流量设定错误!"_s, -1e308},
        {Box::Flow, u"-123456"_s, {}, u"流量设定错误!"_s, -123456.0},
        {Box::Pressure, u"-100"_s, {}, u"压力设定错误!"_s, -100.0},
        {Box::Pressure, u"-1e308"_s, {}, u"压力设定错误!"_s, -1e308},
        {Box::Pressure, u"-1e-308"_s, "Q00P00.0Y"_ba, {}, -1e-308},
    };
    // Cancel and answers that are not numbers: nothing sent, nothing told, nothing kept.
    for (const Box box : {Box::Flow, Box::Pressure}) {
        for (const auto &text :
             {std::optional<QString>(), std::optional(u""_s), std::optional(u"abc"_s),
              std::optional(u"5,5"_s), std::optional(u"1,000"_s)}) {
            cases.push_back({box, text, {}, {}, {}});
        }
    }
    for (const Case &k : cases) {
        const bool flow = k.box == Box::Flow;
        SCOPED_TRACE((flow ? "flow " : "pressure ") +
                     (k.answer ? '"' + k.answer->toStdString() + '"' : std::string("Cancel")));
        TestConsole c;
        c.connect();
        markReadouts(c);
        answer(c, k.box, u"7.25"_s); // the answer the box had before
        c.boxes.answers.push_back(k.answer);

        open(c, k.box);

        EXPECT_EQ(c.port.written,
                  k.frame.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.frame});
        EXPECT_EQ(c.boxes.texts(),
                  k.refusal.isEmpty() ? QStringList() : QStringList{u"错误|"_s + k.refusal});
        const Setpoints &s = c.console.pump().setpoints();
        EXPECT_DOUBLE_EQ(flow ? s.lastFlowAnswer() : s.lastPressureLimitAnswer(),
                         k.stored.value_or(7.25));
        EXPECT_DOUBLE_EQ(flow ? s.lastPressureLimitAnswer() : s.lastFlowAnswer(), 0.0);
        EXPECT_EQ(c.caption(Readout::Flow), u"33.3"_s);
        EXPECT_EQ(c.caption(Readout::PressureLimit), u"04.4"_s);
        EXPECT_FALSE(c.boxes.unscripted);
    }
}

TEST(Setpoints, PumpNumberAnswersAreOnlyStored)
{
    const qint16 before = 5;
    const std::pair<std::optional<QString>, qint16> cases[] = {
        {u"3"_s, 3},          {u"2.5"_s, 2},       {u"3.5"_s, 4},         {u"-1"_s, -1},
        {u"12"_s, 12},        {u"32767"_s, 32767}, {u"-32768"_s, -32768}, {u"70000"_s, before},
        {u"32768"_s, before}, {u"abc"_s, before},  {u""_s, before},       {std::nullopt, before},
        {u"5,5"_s, before},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text ? '"' + text->toStdString() + '"' : std::string("Cancel"));
        TestConsole c;
        c.connect();
        markReadouts(c);
        answer(c, Box::PumpNo, QString::number(before));
        c.boxes.answers.push_back(text);

        c.console.askPumpNumber();

        EXPECT_EQ(c.console.pump().setpoints().pumpNumber(), expected);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.boxes.messages().empty());
        EXPECT_EQ(c.caption(Readout::Flow), u"33.3"_s);
        EXPECT_EQ(c.caption(Readout::PressureLimit), u"04.4"_s);
    }
}

TEST(Setpoints, PumpNumberGoesIntoTheNextFrame)
{
    struct Case
    {
        QString pump;
        Box box;
        QString value;
        QByteArray frame;
    };
    const Case cases[] = {
        {u"3"_s, Box::Flow, u"5"_s, "Q03L05.0Y"_ba},
        {u"12"_s, Box::Flow, u"5"_s, "Q012L05.0Y"_ba},
        {u"12"_s, Box::Pressure, u"1.5"_s, "Q012P01.5Y"_ba},
        {u"-1"_s, Box::Flow, u"1"_s, "Q0-1L01.0Y"_ba},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.frame.toStdString());
        TestConsole c;
        c.connect();
        c.boxes.answers = {k.pump, k.value};
        c.console.askPumpNumber();
        open(c, k.box);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{k.frame});
    }
}

TEST(Setpoints, FrameThatCannotBeWrittenIsToldAndTheAnswerStaysStored)
{
    struct Case
    {
        bool lineLost; // else the device refuses the write
        Box box;
        QString answer;
        QString told;
        double stored;
    };
    const QString hint = u"。\r\n请检查连接后重新操作。"_s;
    const Case cases[] = {
        {false, Box::Flow, u"5"_s,
         u"“流量设定”命令没有发送到泵（串口写入失败：设备读写出错，可能已被拔出或已损坏）"_s, 5.0},
        {false, Box::Pressure, u"1.5"_s,
         u"“压力设定”命令没有发送到泵（串口写入失败：设备读写出错，可能已被拔出或已损坏）"_s, 1.5},
        {true, Box::Flow, u"20"_s,
         u"“流量设定”命令没有发送到泵（串口尚未打开，请先在“通信”菜单中连接泵）"_s, 20.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.told.toStdString());
        TestConsole c;
        c.connect();
        if (k.lineLost) {
            c.port.lose();
        } else {
            c.port.failWrites = true;
        }
        c.boxes.answers.push_back(k.answer);

        open(c, k.box);

        EXPECT_TRUE(c.port.written.empty());
        const Setpoints &s = c.console.pump().setpoints();
        EXPECT_DOUBLE_EQ(k.box == Box::Flow ? s.lastFlowAnswer() : s.lastPressureLimitAnswer(),
                         k.stored);
        EXPECT_EQ(c.boxes.texts(), QStringList{u"通信错误|"_s + k.told + hint});
    }
}

TEST(Setpoints, BoxLeavesAnOpenKeypadEntryAlone)
{
    TestConsole c;
    c.connect();
    c.console.beginFlowEntry();
    c.console.pressDigit(1);
    c.boxes.answers = {u"7"_s, u"2"_s};
    c.console.askFlow();
    c.console.askPressureLimit();
    EXPECT_EQ(c.console.keypad().field(), EntryField::Flow);
    EXPECT_EQ(c.caption(Readout::Flow), u"1"_s);
    EXPECT_EQ(c.caption(Readout::EntryMode), u"Lset"_s);
    c.console.pressDigit(2);
    c.console.pressDigit(3);
    EXPECT_EQ(c.port.written,
              (std::vector<QByteArray>{"Q00L07.0Y"_ba, "Q00P02.0Y"_ba, "Q00L12.3Y"_ba}));
}

} // namespace
