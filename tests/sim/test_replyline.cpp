// How the simulated pump paces its replies and cuts them into pieces: the console's tests of
// split replies and line noise only mean something if the pump really sends them so.

#include "link/wire/framereader.h"
#include "sim/replyline.h"
#include "support/printto.h"

#include <gtest/gtest.h>

namespace {

using Micros = ReplyLine::Micros;

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

TEST(ReplyLine, PiecesAreAsEvenAsTheyCome)
{
    // The sizes of the pieces, a digit each.
    const std::pair<int, QByteArray> cases[] = {{0, "9"},         {1, "9"},    {2, "45"},
                                                {3, "333"},       {4, "2223"}, {9, "111111111"},
                                                {20, "111111111"}};
    for (const auto &[pieces, expected] : cases) {
        SCOPED_TRACE(pieces);
        ReplyLine::Options options;
        options.pieces = pieces;
        ReplyLine line(options);
        line.queueReply("Q01N01.2Y");
        QByteArray sizes;
        QByteArray joined;
        for (Micros t{0}; !line.empty(); t += Micros{1000}) {
            const QByteArrayView piece = line.due(t);
            if (!piece.isEmpty()) {
                sizes += char('0' + piece.size());
                joined += piece.toByteArray();
                line.written(piece.size(), t);
            }
        }
        EXPECT_EQ(sizes, expected);
        EXPECT_EQ(joined, QByteArray("Q01N01.2Y"));
    }
}

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

// Pumps 1 and 2 on one line: pump 1 hangs half way through a reply, pump 2 carries on.
TEST(ReplyLine, ClearingOnePumpLeavesTheOthersRepliesWhole)
{
    ReplyLine::Options options;
    options.pieces = 3;
    ReplyLine line(options);
    line.queueReply("Q01N01.2Y", 1);
    line.queueReply("Q02N03.4Y", 2);
    line.queueReply("Q01N01.3Y", 1);
    ASSERT_EQ(line.due(Micros{0}), QByteArrayView("Q01"));
    line.written(3, Micros{0});
    line.clear(1);
    QByteArray rest;
    for (Micros t{0}; !line.empty(); t += Micros{1000}) {
        const QByteArrayView piece = line.due(t);
        rest += piece.toByteArray();
        line.written(piece.size(), t);
    }
    EXPECT_EQ(rest, QByteArray("Q02N03.4Y"));
}

} // namespace
