// The pump's replies on the console: read-outs, the pressure record, and the protection of a
// keypad entry in progress.

#include "support/doubles.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Replies, EachLetterUpdatesItsReadOutAndStepsTheChart)
{
    struct Case
    {
        QByteArray text;
        QString pressure, limit, flow; // start-up texts are 00.0, 05.0, 00.0
    };
    const Case cases[] = {
        {"Q01N01.2Y"_ba, u"01.2"_s, u"05.0"_s, u"00.0"_s},
        {"Q01N1234Y"_ba, u"1234"_s, u"05.0"_s, u"00.0"_s},
        {"Q01Nab.cY"_ba, u"ab.c"_s, u"05.0"_s, u"00.0"_s},
        {"Q01P01.5Y"_ba, u"00.0"_s, u"01.5"_s, u"00.0"_s},
        {"Q01P0150Y"_ba, u"00.0"_s, u"01.0"_s, u"00.0"_s},
        {"Q01L12.5Y"_ba, u"00.0"_s, u"05.0"_s, u"12.5"_s},
        {"Q01L1234Y"_ba, u"00.0"_s, u"05.0"_s, u"12.4"_s},
        {"Q01R0000Y"_ba, u"00.0"_s, u"05.0"_s, u"00.0"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text.toStdString());
        TestConsole c;
        c.connect();
        c.port.receive(k.text);
        EXPECT_EQ(c.caption(Readout::Pressure), k.pressure);
        EXPECT_EQ(c.caption(Readout::PressureLimit), k.limit);
        EXPECT_EQ(c.caption(Readout::Flow), k.flow);
        EXPECT_EQ(c.console.line().link().sweep().position(), 1);
        EXPECT_FALSE(c.console.chart().lines().empty());
        EXPECT_TRUE(c.port.written.empty());
        EXPECT_TRUE(c.boxes.shown.empty());
    }
}

TEST(Replies, PressureRecordGrowsToItsLimitAndTellsTheOperatorOnce)
{
    TestConsole c;
    c.connect();
    c.console.pump().setRecordLimit(3);

    // Only numeric pressure replies are recorded.
    for (const QByteArray &text : {"Q01N01.0Y"_ba, "Q01P02.0Y"_ba, "Q01Nab.cY"_ba, "Q01L03.0Y"_ba,
                                   "Q01R0000Y"_ba, "Q01N02.0Y"_ba}) {
        c.port.receive(text);
    }
    EXPECT_EQ(c.console.pump().record().size(), 2);
    EXPECT_TRUE(c.boxes.shown.empty());

    for (const QByteArray &text :
         {"Q01N03.0Y"_ba, "Q01N04.0Y"_ba, "Q01N05.0Y"_ba, "Q01N06.0Y"_ba, "Q01N07.0Y"_ba}) {
        c.port.receive(text);
    }
    const auto values = c.console.pump().record().values();
    EXPECT_EQ(std::vector<double>(values.begin(), values.end()), (std::vector{1.0, 2.0, 3.0}));
    // A receive must not wait for the operator: a notice, never a modal box.
    EXPECT_EQ(c.boxes.texts(u"notify"_s),
              QStringList{u"压力记录|压力记录已满（3 个数值），此后的压力数值不再记录。\r\n"
                          u"已记录的数值可以用“文件”菜单中的“保存”存储。"_s});
    EXPECT_EQ(c.boxes.shown.size(), 1u);
    // The read-out and chart keep going after the record stops.
    EXPECT_EQ(c.caption(Readout::Pressure), u"07.0"_s);
    EXPECT_EQ(c.console.line().link().sweep().position(), 11);
}

TEST(Replies, OpenKeypadEntryIsNotOverwrittenBySameKindReplyButTheOtherKindShows)
{
    struct Case
    {
        const char *name;
        void (PumpConsole::*begin)();
        int digits[3];
        Readout typed, other;
        QByteArray reply, otherReply, frame;
        QString completed, afterNextReply, otherText;
    };
    const Case cases[] = {
        {"flow",
         &PumpConsole::beginFlowEntry,
         {1, 2, 3},
         Readout::Flow,
         Readout::PressureLimit,
         "Q01L45.6Y"_ba,
         "Q01P01.5Y"_ba,
         "Q00L12.3Y"_ba,
         u"12.3"_s,
         u"45.6"_s,
         u"01.5"_s},
        {"pressure",
         &PumpConsole::beginPressureLimitEntry,
         {0, 1, 3},
         Readout::PressureLimit,
         Readout::Flow,
         "Q01P04.4Y"_ba,
         "Q01L12.5Y"_ba,
         "Q00P01.3Y"_ba,
         u"01.3"_s,
         u"04.4"_s,
         u"12.5"_s},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        TestConsole c;
        c.connect();
        (c.console.*k.begin)();
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), QString()) << "the emptied read-out stays empty";

        c.console.pressDigit(k.digits[0]);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.completed.left(1));
        c.port.receive(k.otherReply);
        EXPECT_EQ(c.caption(k.other), k.otherText);
        EXPECT_EQ(c.caption(k.typed), k.completed.left(1));
        c.console.pressDigit(k.digits[1]);
        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.completed.left(3));
        EXPECT_EQ(c.console.line().link().sweep().position(), 4) << "every reply steps the chart";

        c.console.pressDigit(k.digits[2]);
        EXPECT_EQ(c.port.written, std::vector<QByteArray>{k.frame});
        EXPECT_EQ(c.caption(k.typed), k.completed);
        EXPECT_EQ(c.caption(Readout::EntryMode), QString());
        EXPECT_EQ(c.console.keypad().field(), EntryField::None);

        c.port.receive(k.reply);
        EXPECT_EQ(c.caption(k.typed), k.afterNextReply);
    }
}

} // namespace
