// Flow, pressure limit and pump number through input boxes.

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

enum class Box { Flow, Pressure, PumpNo };

void open(Console &c, Box box)
{
    switch (box) {
    case Box::Flow:
        return c.core.liquid_Click();
    case Box::Pressure:
        return c.core.pressure_Click();
    case Box::PumpNo:
        return c.core.Pump_NO_Click();
    }
}

// Setpoint labels at texts no dialog would produce, so that any write to them shows.
void markLabels(Console &c)
{
    c.port.receive("Q01L33.3Y"_ba);
    c.port.receive("Q01P04.4Y"_ba);
    ASSERT_EQ(c.caption(Label::LsetF), u"33.3"_s);
    ASSERT_EQ(c.caption(Label::LsetP), u"04.4"_s);
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
        Console c;
        c.connect();
        c.dialogs.answers.push_back(std::nullopt);
        open(c, k.box);
        ASSERT_EQ(c.dialogs.shown.size(), 1u);
        const auto &box = c.dialogs.shown[0];
        EXPECT_EQ(box.kind, u"InputBox"_s);
        EXPECT_EQ(box.prompt, k.prompt);
        EXPECT_EQ(box.title, k.title);
        EXPECT_EQ(box.defaultText, k.defaultText);
    }
}

TEST(Setpoints, FlowAndPressureAnswers)
{
    const double untouched = 7.25; // what setliq / setpresure held before the box
    struct Case
    {
        Box box;
        std::optional<QString> answer;
        QByteArray frame;             // empty: nothing written
        QString refusal;              // empty: no message
        std::optional<double> stored; // none: the field keeps its value
    };
    const Case cases[] = {
        {Box::Flow, std::nullopt, {}, {}, {}},
        {Box::Flow, u""_s, {}, {}, {}},
        {Box::Flow, u"abc"_s, {}, {}, {}},
        {Box::Flow, u"5,5"_s, {}, {}, {}},
        {Box::Flow, u"1,000"_s, {}, {}, {}},
        {Box::Flow, u"50"_s, "Q00L50.0Y"_ba, {}, 50.0},
        {Box::Flow, u"50.01"_s, {}, u"流量设定错误!"_s, 50.01},
        {Box::Flow, u"51"_s, {}, u"流量设定错误!"_s, 51.0},
        {Box::Flow, u"0"_s, "Q00L00.0Y"_ba, {}, 0.0},
        {Box::Flow, u"-3"_s, "Q00L-03.0Y"_ba, {}, -3.0},
        {Box::Flow, u"5"_s, "Q00L05.0Y"_ba, {}, 5.0},
        {Box::Flow, u"12.34"_s, "Q00L12.3Y"_ba, {}, 12.34},
        {Box::Flow, u"0.05"_s, "Q00L00.1Y"_ba, {}, 0.05},
        {Box::Pressure, std::nullopt, {}, {}, {}},
        {Box::Pressure, u""_s, {}, {}, {}},
        {Box::Pressure, u"abc"_s, {}, {}, {}},
        {Box::Pressure, u"2"_s, "Q00P02.0Y"_ba, {}, 2.0},
        {Box::Pressure, u"5"_s, "Q00P05.0Y"_ba, {}, 5.0},
        {Box::Pressure, u"5.1"_s, {}, u"压力设定错误!"_s, 5.1},
        {Box::Pressure, u"3"_s, "Q00P03.0Y"_ba, {}, 3.0},
        {Box::Pressure, u"0"_s, "Q00P00.0Y"_ba, {}, 0.0},
        {Box::Pressure, u"-1"_s, "Q00P-01.0Y"_ba, {}, -1.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE((k.box == Box::Flow ? "flow " : "pressure ") +
                     (k.answer ? '"' + k.answer->toStdString() + '"' : std::string("Cancel")));
        Console c;
        c.connect();
        markLabels(c);
        double &field = k.box == Box::Flow ? c.s().setliq : c.s().setpresure;
        const double &otherField = k.box == Box::Flow ? c.s().setpresure : c.s().setliq;
        field = untouched;
        c.dialogs.answers.push_back(k.answer);

        open(c, k.box);

        EXPECT_EQ(c.port.written,
                  k.frame.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.frame});
        const auto boxes = c.dialogs.messages();
        if (k.refusal.isEmpty()) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].prompt, k.refusal);
            EXPECT_EQ(boxes[0].title, u"错误"_s);
            EXPECT_EQ(boxes[0].style, 0);
        }
        EXPECT_DOUBLE_EQ(field, k.stored.value_or(untouched));
        EXPECT_DOUBLE_EQ(otherField, 0.0);
        EXPECT_EQ(c.caption(Label::LsetF), u"33.3"_s);
        EXPECT_EQ(c.caption(Label::LsetP), u"04.4"_s);
        EXPECT_FALSE(c.dialogs.unscripted);
    }
}

TEST(Setpoints, PumpNumberAnswers)
{
    const qint16 before = 5;
    struct Case
    {
        std::optional<QString> answer;
        qint16 expected;
    };
    const Case cases[] = {
        {u"3"_s, 3},          {u"2.5"_s, 2},       {u"3.5"_s, 4},         {u"-1"_s, -1},
        {u"12"_s, 12},        {u"32767"_s, 32767}, {u"-32768"_s, -32768}, {u"70000"_s, before},
        {u"32768"_s, before}, {u"abc"_s, before},  {u""_s, before},       {std::nullopt, before},
        {u"5,5"_s, before},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.answer ? '"' + k.answer->toStdString() + '"' : std::string("Cancel"));
        Console c;
        c.connect();
        markLabels(c);
        c.s().Set_Pump_NO = before;
        c.dialogs.answers.push_back(k.answer);

        c.core.Pump_NO_Click();

        EXPECT_EQ(c.s().Set_Pump_NO, k.expected);
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.dialogs.messages().empty());
        EXPECT_EQ(c.caption(Label::LsetF), u"33.3"_s);
        EXPECT_EQ(c.caption(Label::LsetP), u"04.4"_s);
    }
}

TEST(Setpoints, PumpNumberGoesIntoTheNextDialogFrame)
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
        Console c;
        c.connect();
        c.dialogs.answers = {k.pump, k.value};
        c.core.Pump_NO_Click();
        open(c, k.box);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{k.frame});
    }
}

TEST(Setpoints, FrameThatCannotBeWrittenIsToldOnceAndTheValueStaysStored)
{
    struct Case
    {
        const char *name;
        bool connected;
        Box box;
        QString answer;
        QString named; // the command the message must name
        double stored;
    };
    const Case cases[] = {
        {"flow, device refuses", true, Box::Flow, u"5"_s, u"流量"_s, 5.0},
        {"pressure, device refuses", true, Box::Pressure, u"1.5"_s, u"压力"_s, 1.5},
        {"flow, line lost", false, Box::Flow, u"20"_s, u"流量"_s, 20.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Console c;
        c.connect();
        if (k.connected) {
            c.port.failWrites = true;
        } else {
            c.port.lose(u"gone"_s);
        }
        c.dialogs.answers.push_back(k.answer);

        open(c, k.box);

        EXPECT_TRUE(c.port.written.empty());
        EXPECT_DOUBLE_EQ(k.box == Box::Flow ? c.s().setliq : c.s().setpresure, k.stored);
        const auto boxes = c.dialogs.messages();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].prompt.contains(k.named)) << boxes[0].prompt.toStdString();
        EXPECT_EQ(boxes[0].style, 0);
    }
}

TEST(Setpoints, DialogLeavesAnOpenKeypadEntryAlone)
{
    Console c;
    c.connect();
    c.core.Cmdl_Click(3);
    c.core.Cmd1_Click(0);
    c.dialogs.answers = {u"7"_s, u"2"_s};
    c.core.liquid_Click();
    c.core.pressure_Click();
    EXPECT_EQ(c.s().lq, 1);
    EXPECT_EQ(c.caption(Label::LsetF), u"1"_s);
    EXPECT_EQ(c.caption(Label::LSetState), u"Lset"_s);
    c.core.Cmd2_Click(1);
    c.core.Cmd3_Click(2);
    EXPECT_EQ(c.port.written,
              (std::vector<QByteArray>{"Q00L07.0Y"_ba, "Q00P02.0Y"_ba, "Q00L12.3Y"_ba}));
}

} // namespace
