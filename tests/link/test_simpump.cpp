// The simulated pump's pure parts: its hydraulics, how it reads the console's frames, and how
// it paces its replies. The end-to-end behaviour over a pty is in test_link_serial.

#include "link/framereader.h"
#include "sim/consoleframes.h"
#include "sim/pumpmodel.h"
#include "sim/replyline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Micros = ReplyLine::Micros;

// ---- PumpModel ----

TEST(PumpModel, StartsStoppedAtZeroWithTheDefaultLimit)
{
    const PumpModel pump;
    EXPECT_FALSE(pump.running());
    EXPECT_EQ(pump.pressure(), 0.0);
    EXPECT_EQ(pump.pressureLimit(), 5.0);
}

TEST(PumpModel, PressureFollowsTheFlowWithAFirstOrderLag)
{
    PumpModel pump;
    ASSERT_TRUE(pump.setFlow(25.0)); // 1.0 MPa at 0.04 MPa per ml/min
    pump.run();
    EXPECT_DOUBLE_EQ(pump.targetPressure(), 1.0);
    pump.advance(PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), 1.0 - std::exp(-1.0), 1e-9); // one time constant: 63 %
    pump.advance(10 * PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), 1.0, 1e-4);
    EXPECT_FALSE(pump.holdingLimit());
}

TEST(PumpModel, ManySmallStepsEqualOneLargeStep)
{
    PumpModel coarse;
    PumpModel fine;
    for (PumpModel *pump : {&coarse, &fine}) {
        pump->setFlow(40.0);
        pump->run();
    }
    coarse.advance(2.0);
    for (int i = 0; i < 200; ++i) {
        fine.advance(0.01);
    }
    EXPECT_NEAR(coarse.pressure(), fine.pressure(), 1e-9);
}

TEST(PumpModel, HoldsThePressureAtTheLimit)
{
    PumpModel pump;
    pump.setFlow(99.9); // would be ~4 MPa
    pump.setPressureLimit(1.5);
    pump.run();
    EXPECT_TRUE(pump.holdingLimit());
    pump.advance(60.0);
    EXPECT_NEAR(pump.pressure(), 1.5, 1e-6);
    EXPECT_LE(pump.pressure(), 1.5);

    // A lower limit takes effect at once, not over the lag.
    ASSERT_TRUE(pump.setPressureLimit(0.8));
    EXPECT_LE(pump.pressure(), 0.8);
    pump.advance(0.1);
    EXPECT_LE(pump.pressure(), 0.8);
}

TEST(PumpModel, BleedsToZeroWhenStopped)
{
    PumpModel pump;
    pump.setFlow(50.0);
    pump.run();
    pump.advance(30.0);
    const double running = pump.pressure();
    ASSERT_GT(running, 1.9);
    pump.stop();
    EXPECT_EQ(pump.targetPressure(), 0.0);
    pump.advance(PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), running * std::exp(-1.0), 1e-9);
    pump.advance(60.0);
    EXPECT_LT(pump.pressure(), 1e-6);
    EXPECT_GE(pump.pressure(), 0.0);
}

struct SettingCase
{
    double value;
    bool accepted;
};

class PumpSettings : public ::testing::TestWithParam<SettingCase>
{
};

TEST_P(PumpSettings, FlowAndLimitTakeOnlyWhatAFourCharacterFieldShows)
{
    const SettingCase c = GetParam();
    PumpModel pump;
    pump.setFlow(3.0);
    pump.setPressureLimit(4.0);
    EXPECT_EQ(pump.setFlow(c.value), c.accepted);
    EXPECT_EQ(pump.setPressureLimit(c.value), c.accepted);
    EXPECT_EQ(pump.flow(), c.accepted ? c.value : 3.0);
    EXPECT_EQ(pump.pressureLimit(), c.accepted ? c.value : 4.0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PumpSettings,
    ::testing::Values(SettingCase{0.0, true}, SettingCase{12.5, true}, SettingCase{99.9, true},
                      SettingCase{100.0, false}, SettingCase{-0.1, false},
                      SettingCase{std::numeric_limits<double>::quiet_NaN(), false},
                      SettingCase{std::numeric_limits<double>::infinity(), false}));

// ---- consoleframes::parse ----

struct ParseCase
{
    const char *text;
    bool ok;
    int pump;
    char letter;
    const char *value;
};

class ConsoleFrameParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ConsoleFrameParse, ReadsBothFormsTheConsoleWrites)
{
    const ParseCase c = GetParam();
    const auto command = consoleframes::parse(QByteArray(c.text));
    ASSERT_EQ(command.has_value(), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(command->pump, c.pump) << c.text;
        EXPECT_EQ(command->letter, c.letter) << c.text;
        EXPECT_EQ(command->value, QByteArray(c.value)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ConsoleFrameParse,
    ::testing::Values(
        // "Q0" + unpadded number: run, stop and dialog frames
        ParseCase{"Q01R0000Y", true, 1, 'R', "0000"}, ParseCase{"Q01S0000Y", true, 1, 'S', "0000"},
        ParseCase{"Q012R0000Y", true, 12, 'R', "0000"},
        ParseCase{"Q099S0000Y", true, 99, 'S', "0000"},
        ParseCase{"Q0123R0000Y", true, 123, 'R', "0000"},
        ParseCase{"Q0-1R0000Y", true, -1, 'R', "0000"},
        ParseCase{"Q00R0000Y", true, 0, 'R', "0000"}, ParseCase{"Q01L12.5Y", true, 1, 'L', "12.5"},
        ParseCase{"Q012L100.0Y", true, 12, 'L', "100.0"},
        ParseCase{"Q01P-01.5Y", true, 1, 'P', "-01.5"},
        // "Q" + two digits: keypad frames
        ParseCase{"Q12L05.5Y", true, 12, 'L', "05.5"}, ParseCase{"Q01P01.5Y", true, 1, 'P', "01.5"},
        ParseCase{"Q-01L05.5Y", true, -1, 'L', "05.5"},
        // not frames
        ParseCase{"Q01R0000", false, 0, 0, ""}, ParseCase{"X01R0000Y", false, 0, 0, ""},
        ParseCase{"Q01r0000Y", false, 0, 0, ""}, ParseCase{"QR0000Y", false, 0, 0, ""},
        ParseCase{"Q01RY", false, 0, 0, ""}, ParseCase{"Q01Q0000Y", false, 0, 0, ""},
        ParseCase{"Q01Y0000Y", false, 0, 0, ""}, ParseCase{"Q0xR0000Y", false, 0, 0, ""},
        ParseCase{"Q01R00 0Y", false, 0, 0, ""}, ParseCase{"Q01R0000YY", false, 0, 0, ""},
        ParseCase{"Q01LR0000Y", false, 0, 0, ""}, ParseCase{"", false, 0, 0, ""},
        ParseCase{"Q99999999999R0000Y", false, 0, 0, ""}));

// ---- consoleframes::Splitter ----

struct SplitCase
{
    const char *name;
    std::vector<QByteArray> reads;
    std::vector<QByteArray> frames;
    QByteArray pending;
};

class ConsoleFrameSplit : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(ConsoleFrameSplit, FindsEveryFrameInTheStream)
{
    const SplitCase &c = GetParam();
    consoleframes::Splitter splitter;
    std::vector<QByteArray> frames;
    for (const QByteArray &read : c.reads) {
        for (QByteArray &frame : splitter.feed(read)) {
            frames.push_back(std::move(frame));
        }
    }
    EXPECT_EQ(frames, c.frames) << c.name;
    EXPECT_EQ(splitter.pending(), c.pending) << c.name;
    EXPECT_LE(splitter.pending().size(), consoleframes::maxFrameLength) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ConsoleFrameSplit,
    ::testing::Values(
        SplitCase{"nine and ten characters back to back",
                  {"Q01R0000YQ012R0000YQ12L05.5Y"},
                  {"Q01R0000Y", "Q012R0000Y", "Q12L05.5Y"},
                  ""},
        SplitCase{"split across reads",
                  {"Q0", "12R00", "00YQ01", "L12.5Y"},
                  {"Q012R0000Y", "Q01L12.5Y"},
                  ""},
        SplitCase{"unfinished frame is kept", {"Q01R0000YQ01S00"}, {"Q01R0000Y"}, "Q01S00"},
        SplitCase{"noise around frames",
                  {"\x01\xff"
                   "abcQ01R0000Y\r\nzzQ01S0000Y!!"},
                  {"Q01R0000Y", "Q01S0000Y"},
                  ""},
        SplitCase{"a stray Q before a frame", {"QQ01R0000Y"}, {"Q01R0000Y"}, ""},
        SplitCase{"a frame cut short by the next one", {"Q01R00Q01S0000Y"}, {"Q01S0000Y"}, ""},
        SplitCase{"a bad frame does not cost the next", {"Q01x0000YQ01R0000Y"}, {"Q01R0000Y"}, ""},
        SplitCase{"endless digits are dropped",
                  {"Q0123456789012345678901234567", "89Q01R0000Y"},
                  {"Q01R0000Y"},
                  ""}));

// ---- ReplyLine ----

constexpr Micros charTime{1042}; // one character at 9600 baud, 8N1, rounded

TEST(ReplyLine, PacesRepliesToNineThousandSixHundredBaud)
{
    ReplyLine line({});
    line.queueReply("Q01N01.2Y");
    line.queueReply("Q01N01.3Y");
    ASSERT_EQ(line.due(Micros{0}), QByteArrayView("Q01N01.2Y"));
    EXPECT_EQ(line.written(9, Micros{0}), std::vector<QByteArray>{"Q01N01.2Y"});

    // Nine characters take 9375 us on the wire; the next reply must wait for them.
    EXPECT_EQ(line.nextDue(), Micros{9375});
    EXPECT_TRUE(line.due(Micros{9374}).isEmpty());
    EXPECT_EQ(line.due(Micros{9375}), QByteArrayView("Q01N01.3Y"));

    // Written late, the line is busy from when it was written, not from when it was due.
    line.written(9, Micros{50000});
    line.queueReply("Q01N01.4Y");
    EXPECT_EQ(line.nextDue(), Micros{59375});
}

TEST(ReplyLine, SplitsEachReplyIntoPiecesWithGaps)
{
    ReplyLine::Options options;
    options.pieces = 2;
    options.pieceGap = Micros{5000};
    ReplyLine line(options);
    line.queueReply("Q01L12.5Y");
    ASSERT_EQ(line.due(Micros{0}), QByteArrayView("Q01L"));
    EXPECT_TRUE(line.written(4, Micros{0}).empty()); // not finished yet
    // Four characters take 4167 us on the wire, then the gap.
    EXPECT_EQ(line.nextDue(), Micros{4167 + 5000});
    EXPECT_TRUE(line.due(Micros{9166}).isEmpty());
    ASSERT_EQ(line.due(Micros{9167}), QByteArrayView("12.5Y"));
    EXPECT_EQ(line.written(5, Micros{9167}), std::vector<QByteArray>{"Q01L12.5Y"});
    EXPECT_TRUE(line.empty());
}

struct PiecesCase
{
    int pieces;
    std::vector<int> sizes;
};

class ReplyPieces : public ::testing::TestWithParam<PiecesCase>
{
};

TEST_P(ReplyPieces, PiecesAreAsEvenAsTheyCome)
{
    const PiecesCase c = GetParam();
    ReplyLine::Options options;
    options.pieces = c.pieces;
    ReplyLine line(options);
    line.queueReply("Q01N01.2Y");
    std::vector<int> sizes;
    QByteArray joined;
    for (Micros t{0}; !line.empty(); t += Micros{1000}) {
        const QByteArrayView piece = line.due(t);
        if (!piece.isEmpty()) {
            sizes.push_back(int(piece.size()));
            joined += piece.toByteArray();
            line.written(piece.size(), t);
        }
    }
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(joined, QByteArray("Q01N01.2Y"));
}

INSTANTIATE_TEST_SUITE_P(Counts, ReplyPieces,
                         ::testing::Values(PiecesCase{0, {9}}, PiecesCase{1, {9}},
                                           PiecesCase{2, {4, 5}}, PiecesCase{3, {3, 3, 3}},
                                           PiecesCase{4, {2, 2, 2, 3}},
                                           PiecesCase{9, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
                                           PiecesCase{20, {1, 1, 1, 1, 1, 1, 1, 1, 1}}));

TEST(ReplyLine, APartialWriteContinuesWithoutAGap)
{
    ReplyLine::Options options;
    options.pieceGap = Micros{5000};
    ReplyLine line(options);
    line.queueReply("Q01N01.2Y");
    line.written(4, Micros{0});
    EXPECT_EQ(line.nextDue(), Micros{4167}); // just the four characters, no gap
    EXPECT_EQ(line.due(Micros{4167}), QByteArrayView("01.2Y"));
}

TEST(ReplyLine, NoiseBetweenRepliesNeverHidesAReply)
{
    ReplyLine::Options options;
    options.noise = true;
    options.seed = 7;
    ReplyLine line(options);
    std::vector<QByteArray> sent;
    for (int i = 0; i < 200; ++i) {
        sent.push_back("Q01N" + QByteArray::number(10 + i % 90) + ".5Y");
        line.queueReply(sent.back());
    }
    QByteArray stream;
    qsizetype noisy = 0;
    for (Micros t{0}; !line.empty(); t += charTime * 10) {
        while (!line.due(t).isEmpty()) {
            const QByteArrayView piece = line.due(t);
            if (!piece.startsWith('Q')) {
                ++noisy;
                EXPECT_FALSE(piece.contains('Q'));
                EXPECT_GE(piece.size(), 1);
                EXPECT_LE(piece.size(), 4);
            }
            stream += piece.toByteArray();
            line.written(piece.size(), t);
        }
    }
    EXPECT_EQ(noisy, 199); // between every two replies, not before the first
    EXPECT_EQ(FrameReader().feed(stream), sent);
}

TEST(ReplyLine, ABurstIsOneWrite)
{
    ReplyLine line({});
    line.queueBurst({"Q01N00.0Y", "Q01N00.1Y", "Q01N00.2Y"});
    line.queueReply("Q01N00.3Y");
    ASSERT_EQ(line.due(Micros{0}), QByteArrayView("Q01N00.0YQ01N00.1YQ01N00.2Y"));
    EXPECT_EQ(line.written(27, Micros{0}),
              (std::vector<QByteArray>{"Q01N00.0Y", "Q01N00.1Y", "Q01N00.2Y"}));
    EXPECT_EQ(line.nextDue(), Micros{28125});
    EXPECT_EQ(line.queuedBytes(), 9);
}

} // namespace
