// How the console judges a received frame and shows a setpoint reply, and how the pump side
// writes its replies.

#include "link/wire/replyframes.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(ReplyFrames, Recognition)
{
    struct Case
    {
        QByteArray text;
        char letter;
        QByteArray value;
        std::optional<qint16> pump;
    };
    // Neither letter nor value is examined, a pump number that is not two digits is none, and
    // only the first nine characters count.
    const Case replies[] = {
        {"Q01N01.2Y"_ba, 'N', "01.2"_ba, 1},    {"Q01P01.5Y"_ba, 'P', "01.5"_ba, 1},
        {"Q01L12.5Y"_ba, 'L', "12.5"_ba, 1},    {"Q07N01.2Y"_ba, 'N', "01.2"_ba, 7},
        {"Q99Z9999Y"_ba, 'Z', "9999"_ba, 99},   {"Q01R0000Y"_ba, 'R', "0000"_ba, 1},
        {"Qxx?abcdY"_ba, '?', "abcd"_ba, {}},   {"Q1xNab.cY"_ba, 'N', "ab.c"_ba, {}},
        {"Q01N01.2YQ01"_ba, 'N', "01.2"_ba, 1}, {"Q00N01.2Yjunk"_ba, 'N', "01.2"_ba, 0},
    };
    for (const Case &c : replies) {
        const auto reply = replyframes::parse(c.text);
        ASSERT_TRUE(reply.has_value()) << c.text.toStdString();
        EXPECT_EQ(reply->letter, c.letter);
        EXPECT_EQ(reply->value, c.value);
        EXPECT_EQ(reply->pump, c.pump);
    }
    const QByteArray notReplies[] = {"q01N01.2Y"_ba, "X01N01.2Y"_ba, "Q01N01.2y"_ba,
                                     "Q01N01.2X"_ba, "Q01N01.2"_ba,  "Q01N1.2Y"_ba,
                                     "Y"_ba,         ""_ba,          "xQ01N01.2Y"_ba};
    for (const QByteArray &text : notReplies) {
        EXPECT_FALSE(replyframes::parse(text).has_value()) << text.toStdString();
    }
    // A read cut short must be judged on its own bytes, not on what lies behind it in memory.
    const QByteArray whole = "Q01N01.2Y"_ba;
    EXPECT_FALSE(replyframes::parse(QByteArrayView(whole).first(8)));
}

TEST(ReplyFrames, SetpointReadoutSkipsPositionSeven)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"0150"_ba, u"01.0"_s}, {"01.5"_ba, u"01.5"_s}, {"12.5"_ba, u"12.5"_s},
        {"1234"_ba, u"12.4"_s}, {"ab.c"_ba, u"ab.c"_s},
    };
    for (const auto &[value, readout] : cases) {
        EXPECT_EQ(replyframes::setpointReadout(value), readout) << value.toStdString();
    }
    const auto reply = replyframes::parse("Q01P0150Y"_ba);
    ASSERT_TRUE(reply);
    EXPECT_EQ(replyframes::setpointReadout(reply->value), u"01.0"_s);
}

TEST(ReplyFrames, PumpWritesTwoDigitsForItsNumberAndRoundsToTenths)
{
    EXPECT_EQ(replyframes::encode(1, 'N', 1.25), "Q01N01.3Y"_ba);
    EXPECT_EQ(replyframes::encode(12, 'L', 12.5), "Q12L12.5Y"_ba);
    EXPECT_EQ(replyframes::encode(7, 'P', 0.0), "Q07P00.0Y"_ba);
    const auto reply = replyframes::parse(replyframes::encode(3, 'N', 0.96));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->letter, 'N');
    EXPECT_EQ(reply->value, "01.0"_ba);
}

} // namespace
