// The wire text of every frame the console sends, the number patterns behind it, and how a
// received frame is read. The pump parses these characters positionally, so a single wrong
// digit, pad or sign addresses another pump or sets another flow.

#include "link/pumpframes.h"

#include <cfloat>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <QByteArray>
#include <QRegularExpression>
#include <QString>

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

using namespace pumpframes;

TEST(NumberPatterns, PumpNumberPatterns)
{
    struct Case
    {
        qint16 n;
        QString pattern0;
        QString pattern00;
    };
    const Case cases[] = {
        {0, u"0"_s, u"00"_s},
        {7, u"7"_s, u"07"_s},
        {12, u"12"_s, u"12"_s},
        {123, u"123"_s, u"123"_s},
        {-1, u"-1"_s, u"-01"_s},
        {-12, u"-12"_s, u"-12"_s},
        {32767, u"32767"_s, u"32767"_s},
        // The one Integer whose magnitude does not fit back into the type.
        {-32768, u"-32768"_s, u"-32768"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(pattern0(c.n), c.pattern0);
        EXPECT_EQ(pattern00(c.n), c.pattern00);
    }
}

TEST(NumberPatterns, TenthsPatternExamplesAndHalves)
{
    struct Case
    {
        double value;
        QString text;
    };
    const Case cases[] = {
        {5, u"05.0"_s},
        {5.5, u"05.5"_s},
        {12.34, u"12.3"_s},
        {50, u"50.0"_s},
        {0, u"00.0"_s},
        {1.5, u"01.5"_s},
        {-1, u"-01.0"_s},
        {100, u"100.0"_s},
        // Exact binary halves: away from zero, not to even.
        {2.25, u"02.3"_s},
        {-1.25, u"-01.3"_s},
        {0.25, u"00.3"_s},
        {-2.25, u"-02.3"_s},
        // Halves the operator typed whose double lies just below the half.
        {1.15, u"01.2"_s},
        {0.15, u"00.2"_s},
        {0.35, u"00.4"_s},
        {1.45, u"01.5"_s},
        {4.35, u"04.4"_s},
        {8.45, u"08.5"_s},
        {-1.15, u"-01.2"_s},
        // ... and just above.
        {10.05, u"10.1"_s},
        {0.05, u"00.1"_s},
        {-0.05, u"-00.1"_s},
        // Not halves.
        {0.04999, u"00.0"_s},
        {2.2499, u"02.2"_s},
        {1.14999, u"01.1"_s},
        {99.94, u"99.9"_s},
        // A value that rounds to zero carries no sign.
        {-0.04, u"00.0"_s},
        {-0.0, u"00.0"_s},
        {-0.001, u"00.0"_s},
        {1e-300, u"00.0"_s},
        {-DBL_TRUE_MIN, u"00.0"_s},
        // Carries into a new integer digit.
        {0.95, u"01.0"_s},
        {9.95, u"10.0"_s},
        {9.96, u"10.0"_s},
        {99.95, u"100.0"_s},
        {-99.95, u"-100.0"_s},
        {123456.78, u"123456.8"_s},
        {1e20, u"100000000000000000000.0"_s},
        {-1e20, u"-100000000000000000000.0"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(pattern00_0(c.value), c.text);
    }
}

// The text an exact count of tenths reads as: at least two integer digits, one decimal.
QString tenthsText(int tenths)
{
    return QString::number(tenths / 10).rightJustified(2, u'0') + u'.' +
           QString::number(tenths % 10);
}

TEST(NumberPatterns, EveryTenthAndEveryHalfUpTo100)
{
    // Values as an operator types them, so the binary error of each literal is the real one.
    for (int k = 0; k < 1000; ++k) {
        SCOPED_TRACE(k);
        const QByteArray tenth = tenthsText(k).toLatin1();
        const double exact = tenth.toDouble();
        EXPECT_EQ(pattern00_0(exact), tenthsText(k));
        EXPECT_EQ(pattern00_0(-exact), k == 0 ? tenthsText(0) : u'-' + tenthsText(k));

        const double half = (tenth + "5").toDouble();
        EXPECT_EQ(pattern00_0(half), tenthsText(k + 1));
        EXPECT_EQ(pattern00_0(-half), u'-' + tenthsText(k + 1));

        const double belowHalf = (tenth + "4999999").toDouble();
        EXPECT_EQ(pattern00_0(belowHalf), tenthsText(k));
        if (HasFailure()) {
            break;
        }
    }
}

TEST(NumberPatterns, HugeValuesGiveAllTheirDigits)
{
    struct Case
    {
        double value;
        QString pattern;
    };
    // 15 significant digits, then zeros down to the tenths.
    const Case cases[] = {
        {DBL_MAX, u"^179769313486232[0]{294}\\.0$"_s},
        {-DBL_MAX, u"^-179769313486232[0]{294}\\.0$"_s},
        {1e300, u"^1[0]{300}\\.0$"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        const QString text = pattern00_0(c.value);
        EXPECT_TRUE(QRegularExpression(c.pattern).match(text).hasMatch()) << text.toStdString();
    }
}

TEST(PumpFrames, OutgoingFrames)
{
    struct Case
    {
        const char *what;
        QByteArray frame;
        QByteArray expected;
    };
    const Case cases[] = {
        {"run, pump 0", runFrame(0), "Q00R0000Y"_ba},
        {"stop, pump 0", stopFrame(0), "Q00S0000Y"_ba},
        {"keypad flow 05.5, pump 0", keypadFrame(keypadFrameBody(0, u'L', 5.5)), "Q00L05.5Y"_ba},
        {"run, pump 1", runFrame(1), "Q01R0000Y"_ba},
        {"stop, pump 1", stopFrame(1), "Q01S0000Y"_ba},
        {"dialog flow 12.5, pump 1", dialogFlowFrame(1, 12.5), "Q01L12.5Y"_ba},
        {"dialog pressure 1.5, pump 1", dialogPressureFrame(1, 1.5), "Q01P01.5Y"_ba},
        {"keypad flow 12.3, pump 1", keypadFrame(keypadFrameBody(1, u'L', 12.3)), "Q01L12.3Y"_ba},
        {"keypad pressure 01.5, pump 1", keypadFrame(keypadFrameBody(1, u'P', 1.5)),
         "Q01P01.5Y"_ba},
        {"dialog flow -1, pump 1", dialogFlowFrame(1, -1), "Q01L-01.0Y"_ba},
        {"dialog flow 100, pump 1", dialogFlowFrame(1, 100), "Q01L100.0Y"_ba},
        {"dialog pressure at a half, pump 1", dialogPressureFrame(1, 2.25), "Q01P02.3Y"_ba},
        {"dialog flow rounding to zero, pump 1", dialogFlowFrame(1, -0.04), "Q01L00.0Y"_ba},
        {"run, pump 12", runFrame(12), "Q012R0000Y"_ba},
        {"stop, pump 12", stopFrame(12), "Q012S0000Y"_ba},
        {"dialog flow 5, pump 12", dialogFlowFrame(12, 5), "Q012L05.0Y"_ba},
        {"dialog pressure 5, pump 12", dialogPressureFrame(12, 5), "Q012P05.0Y"_ba},
        {"keypad flow 05.5, pump 12", keypadFrame(keypadFrameBody(12, u'L', 5.5)), "Q12L05.5Y"_ba},
        {"run, pump -1", runFrame(-1), "Q0-1R0000Y"_ba},
        {"stop, pump -1", stopFrame(-1), "Q0-1S0000Y"_ba},
        {"keypad flow 05.5, pump -1", keypadFrame(keypadFrameBody(-1, u'L', 5.5)), "Q-01L05.5Y"_ba},
        {"keypad pressure 01.5, pump -1", keypadFrame(keypadFrameBody(-1, u'P', 1.5)),
         "Q-01P01.5Y"_ba},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.frame, c.expected);
    }
}

TEST(PumpFrames, KeypadBodyIsTheFrameWithoutItsStart)
{
    struct Case
    {
        qint16 pump;
        QChar letter;
        double value;
        QString body;
    };
    const Case cases[] = {
        {1, u'L', 12.3, u"01L12.3Y"_s},
        {1, u'P', 1.5, u"01P01.5Y"_s},
        {0, u'L', 0, u"00L00.0Y"_s},
        {12, u'P', 5, u"12P05.0Y"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        EXPECT_EQ(keypadFrameBody(c.pump, c.letter, c.value), c.body);
        EXPECT_EQ(keypadFrame(c.body), "Q"_ba + c.body.toLatin1());
    }
}

TEST(PumpFrames, PumpsZeroToNineGiveNineCharactersAndBothFormsAgree)
{
    for (qint16 pump = 0; pump <= 9; ++pump) {
        for (int k = 0; k < 1000; k += 7) {
            SCOPED_TRACE(testing::Message() << "pump " << pump << ", tenths " << k);
            const double value = k / 10.0;
            const QByteArray dialog = dialogFlowFrame(pump, value);
            EXPECT_EQ(dialog.size(), FrameLength);
            EXPECT_EQ(dialog.front(), FrameStart);
            EXPECT_EQ(dialog.back(), FrameEnd);
            EXPECT_EQ(dialog, keypadFrame(keypadFrameBody(pump, u'L', value)));
            EXPECT_EQ(dialogPressureFrame(pump, value),
                      keypadFrame(keypadFrameBody(pump, u'P', value)));
        }
        EXPECT_EQ(runFrame(pump).size(), FrameLength);
        EXPECT_EQ(stopFrame(pump).size(), FrameLength);
    }
}

TEST(PumpReplies, Recognition)
{
    struct Case
    {
        QByteArray text;
        std::optional<char> letter; // none: not a reply
        QByteArray value;
    };
    const Case cases[] = {
        {"Q01N01.2Y"_ba, 'N', "01.2"_ba},
        {"Q01P01.5Y"_ba, 'P', "01.5"_ba},
        {"Q01L12.5Y"_ba, 'L', "12.5"_ba},
        {"Q07N01.2Y"_ba, 'N', "01.2"_ba},
        {"Q99Z9999Y"_ba, 'Z', "9999"_ba},
        {"Q01R0000Y"_ba, 'R', "0000"_ba},
        // Neither pump number, letter nor value is examined.
        {"Qxx?abcdY"_ba, '?', "abcd"_ba},
        {"Q01Nab.cY"_ba, 'N', "ab.c"_ba},
        // Only the first nine characters count.
        {"Q01N01.2YQ01"_ba, 'N', "01.2"_ba},
        {"Q01N01.2Yjunk"_ba, 'N', "01.2"_ba},
        {"q01N01.2Y"_ba, std::nullopt, {}},
        {"X01N01.2Y"_ba, std::nullopt, {}},
        {"Q01N01.2y"_ba, std::nullopt, {}},
        {"Q01N01.2X"_ba, std::nullopt, {}},
        {"Q01N01.2"_ba, std::nullopt, {}},
        {"Q01N1.2Y"_ba, std::nullopt, {}},
        {"Y"_ba, std::nullopt, {}},
        {""_ba, std::nullopt, {}},
        {"xQ01N01.2Y"_ba, std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto reply = parseReply(c.text);
        ASSERT_EQ(reply.has_value(), c.letter.has_value());
        if (reply) {
            EXPECT_EQ(reply->letter, *c.letter);
            EXPECT_EQ(reply->value, c.value);
        }
    }
    // A read cut short must be judged on its own bytes, not on what lies behind it in memory.
    const QByteArray whole = "Q01N01.2Y"_ba;
    EXPECT_FALSE(parseReply(QByteArrayView(whole).first(8)));
}

TEST(PumpReplies, SetpointReadoutSkipsPositionSeven)
{
    struct Case
    {
        QByteArray value;
        QString readout;
    };
    const Case cases[] = {
        {"0150"_ba, u"01.0"_s}, {"01.5"_ba, u"01.5"_s}, {"12.5"_ba, u"12.5"_s},
        {"1234"_ba, u"12.4"_s}, {"ab.c"_ba, u"ab.c"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(setpointReadout(c.value), c.readout);
    }
    const auto reply = parseReply("Q01P0150Y"_ba);
    ASSERT_TRUE(reply);
    EXPECT_EQ(setpointReadout(reply->value), u"01.0"_s);
}

} // namespace
