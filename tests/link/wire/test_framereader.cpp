// Cutting the received stream into replies. Reads from a serial port do not line up with
// frames; a reader that loses a reply freezes the pressure read-out, and one that accepts a
// false frame shows a pressure the pump never reported.

#include "link/wire/framereader.h"
#include "support/printto.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <QByteArray>
#include <random>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Frames = std::vector<QByteArray>;

void expectPendingShape(const FrameReader &reader)
{
    const QByteArray &pending = reader.pending();
    EXPECT_LE(pending.size(), 8);
    if (!pending.isEmpty()) {
        EXPECT_EQ(pending.front(), 'Q');
    }
}

TEST(FrameReader, Table)
{
    struct Read
    {
        QByteArray bytes;
        Frames frames; // handed on by this read
        QByteArray pending;
    };
    struct Case
    {
        const char *what;
        std::vector<Read> reads;
    };
    const Case cases[] = {
        {"one frame", {{"Q01N01.2Y"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"two frames in one read",
         {{"Q01N01.2YQ01P01.5Y"_ba, {"Q01N01.2Y"_ba, "Q01P01.5Y"_ba}, {}}}},
        {"three frames and a tail in one read",
         {{"Q01N01.2YQ01P01.5YQ01L12.5YQ01N"_ba,
           {"Q01N01.2Y"_ba, "Q01P01.5Y"_ba, "Q01L12.5Y"_ba},
           "Q01N"_ba}}},
        {"garbage before", {{"\r\nxyQ01N01.2Y"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"garbage between", {{"Q01N01.2Y##Y\0Q01N01.3Y"_ba, {"Q01N01.2Y"_ba, "Q01N01.3Y"_ba}, {}}}},
        {"garbage after", {{"Q01N01.2Yxyz"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"a reply and a half, then the rest",
         {{"Q01N01.2YQ01"_ba, {"Q01N01.2Y"_ba}, "Q01"_ba}, {"N01.3Y"_ba, {"Q01N01.3Y"_ba}, {}}}},
        {"a 'Q' inside a broken candidate starts the next frame",
         {{"QQ01N01.2Y"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"broken candidate, frame right behind it",
         {{"Q01N01.2ZQ01N01.3Y"_ba, {"Q01N01.3Y"_ba}, {}}}},
        {"eight waiting bytes turn out broken, the next 'Q' completes",
         {{"Q01N01.2"_ba, {}, "Q01N01.2"_ba}, {"XQ01N01.3Y"_ba, {"Q01N01.3Y"_ba}, {}}}},
        {"eight waiting bytes turn out broken, nothing follows",
         {{"Q1234567"_ba, {}, "Q1234567"_ba}, {"8Z"_ba, {}, {}}}},
        {"lower-case q is not a start", {{"q01N01.2Y"_ba, {}, {}}}},
        {"lower-case q before a frame", {{"q01N01.2YQ01N01.3Y"_ba, {"Q01N01.3Y"_ba}, {}}}},
        {"no 'Q' at the start", {{"X01N01.2Y"_ba, {}, {}}}},
        {"lower-case y does not end a frame", {{"Q01N01.2y"_ba, {}, {}}}},
        {"a 'Q' in the value of a valid frame is not a start",
         {{"Q0QN01.2YQ01N01.3Y"_ba, {"Q0QN01.2Y"_ba, "Q01N01.3Y"_ba}, {}}}},
        {"a short tail waits, later 'Q's in it kept",
         {{"xxQ01QN"_ba, {}, "Q01QN"_ba}, {"01.2Y"_ba, {}, "QN01.2Y"_ba}}},
        {"one byte at a time",
         {{"Q"_ba, {}, "Q"_ba},
          {"0"_ba, {}, "Q0"_ba},
          {"1"_ba, {}, "Q01"_ba},
          {"N01.2"_ba, {}, "Q01N01.2"_ba},
          {"Y"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"eight 'Q's wait; the ninth byte decides",
         {{"QQQQQQQQ"_ba, {}, "QQQQQQQQ"_ba}, {"QY"_ba, {"QQQQQQQQY"_ba}, {}}}},
        {"an empty read changes nothing",
         {{"Q01N"_ba, {}, "Q01N"_ba}, {{}, {}, "Q01N"_ba}, {"01.2Y"_ba, {"Q01N01.2Y"_ba}, {}}}},
        {"only garbage", {{"abcdefghijklmnopqrstuvwxyz"_ba, {}, {}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FrameReader reader;
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "read " << i);
            const Read &read = c.reads[i];
            EXPECT_EQ(reader.feed(read.bytes), read.frames);
            EXPECT_EQ(reader.pending(), read.pending);
        }
    }
}

TEST(FrameReader, TwoFramesSplitAtEveryPairOfCutPoints)
{
    const QByteArray stream = "Q01N01.2YQ01P01.5Y"_ba;
    const Frames both = {stream.left(9), stream.mid(9)};
    for (qsizetype first = 0; first <= stream.size(); ++first) {
        for (qsizetype second = first; second <= stream.size(); ++second) {
            SCOPED_TRACE(testing::Message() << "cuts " << first << ", " << second);
            FrameReader reader;
            Frames got;
            const qsizetype cuts[] = {first, second, stream.size()};
            qsizetype from = 0;
            for (qsizetype to : cuts) {
                const Frames out = reader.feed(QByteArrayView(stream).sliced(from, to - from));
                got.insert(got.end(), out.begin(), out.end());
                from = to;
                // A frame is handed on by the read that completes it, not later.
                const std::size_t complete = std::size_t(to / 9);
                EXPECT_EQ(got, Frames(both.begin(), both.begin() + complete));
                expectPendingShape(reader);
            }
        }
    }
}

TEST(FrameReader, ClearDropsTheWaitingTail)
{
    FrameReader reader;
    reader.feed("Q01N01.2"_ba);
    reader.clear();
    EXPECT_TRUE(reader.pending().isEmpty());
    // The old tail must not combine with new bytes into a reply that was never sent.
    EXPECT_TRUE(reader.feed("Yxxxxxxxx"_ba).empty());
}

TEST(FrameReader, AVisitorSeesEachFrameInPlaceAndMayClearTheReader)
{
    // The handler of a reply may forget the line (a new connection); the tail of the read
    // being handled must then not survive into the next one, with or without a tail before it.
    for (const QByteArray &before : {QByteArray(), "Q01"_ba}) {
        SCOPED_TRACE(before.toStdString());
        FrameReader reader;
        reader.feed(before);
        Frames seen;
        reader.feed(before.isEmpty() ? "Q01N01.2YQ01N02.2YQ01N0"_ba : "N01.2YQ01N02.2YQ01N0"_ba,
                    [&](QByteArrayView frame) {
                        seen.push_back(frame.toByteArray());
                        if (seen.size() == 1) {
                            reader.clear();
                        }
                    });
        EXPECT_EQ(seen, (Frames{"Q01N01.2Y"_ba, "Q01N02.2Y"_ba}));
        EXPECT_TRUE(reader.pending().isEmpty());
        EXPECT_TRUE(reader.feed("3.3Y"_ba).empty());
    }
}

// Independent of the reader's buffering: the whole stream at once, position by position.
struct Scan
{
    Frames frames;
    QByteArray tail; // what must still wait for more bytes
};

Scan referenceScan(const QByteArray &stream)
{
    Scan scan;
    qsizetype i = 0;
    while (i + 9 <= stream.size()) {
        if (stream[i] == 'Q' && stream[i + 8] == 'Y') {
            scan.frames.push_back(stream.mid(i, 9));
            i += 9;
        } else {
            ++i;
        }
    }
    while (i < stream.size() && stream[i] != 'Q') {
        ++i;
    }
    scan.tail = stream.mid(i);
    return scan;
}

// Random bytes from an alphabet.
struct Random
{
    std::mt19937 rng{20240611};

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    QByteArray pick(std::string_view alphabet, int count)
    {
        QByteArray bytes;
        while (bytes.size() < count) {
            bytes += alphabet[std::size_t(uniform(0, int(alphabet.size()) - 1))];
        }
        return bytes;
    }
    // A clean frame carries neither 'Q' nor 'Y' inside, so no neighbour can hide it.
    QByteArray frame(bool clean)
    {
        return 'Q' + pick(clean ? "0123456789NPLRS.-ab " : "0123456789NPLQYqy.\r\n", 7) + 'Y';
    }
};

TEST(FrameReader, RandomStreamsAgreeWithAWholeStreamScan)
{
    constexpr std::string_view garbage{"QYqyX0.\r\n\0\xfe", 11};
    Random random;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        // Frames, garbage and cut-off frames, read in random cuts.
        const bool clean = iteration % 2 == 0;
        QByteArray stream;
        Frames planted;
        for (int piece = random.uniform(0, 14); piece > 0; --piece) {
            const int kind = random.uniform(0, 9);
            if (kind < 5) {
                planted.push_back(random.frame(clean));
                stream += planted.back();
            } else if (kind < 8) {
                stream += random.pick(garbage, random.uniform(1, 12));
            } else {
                stream += random.frame(clean).left(random.uniform(1, 8));
            }
        }
        SCOPED_TRACE(testing::Message() << "iteration " << iteration << ", stream "
                                        << stream.toHex(' ').toStdString());

        FrameReader reader;
        Frames got;
        const int longest = random.uniform(1, 24);
        qsizetype from = 0;
        for (bool last = false; !last;) {
            last = from == stream.size(); // some reads are empty, and so is the last
            const qsizetype to = std::min(stream.size(), from + random.uniform(0, longest));
            const Frames out = reader.feed(QByteArrayView(stream).sliced(from, to - from));
            got.insert(got.end(), out.begin(), out.end());
            from = to;

            const Scan expected = referenceScan(stream.left(to));
            EXPECT_EQ(got, expected.frames) << "after " << to << " bytes";
            EXPECT_EQ(reader.pending(), expected.tail) << "after " << to << " bytes";
            expectPendingShape(reader);
            if (HasFailure()) {
                return;
            }
        }
        if (clean) {
            // Planted frames come out in order, whatever garbage surrounds them.
            auto next = got.begin();
            for (const QByteArray &frame : planted) {
                next = std::find(next, got.end(), frame);
                ASSERT_NE(next, got.end()) << "lost " << frame.toStdString();
                ++next;
            }
        }
    }
}

} // namespace
