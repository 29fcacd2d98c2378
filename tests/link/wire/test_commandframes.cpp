// The wire text of every frame the console sends, and how the pump side reads it back. The
// pump parses these characters positionally, so a single wrong digit, pad or sign addresses
// another pump or sets another flow.

#include "link/wire/commandframes.h"
#include "link/wire/frame.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace commandframes;

namespace {

TEST(CommandFrames, OutgoingFrames)
{
    struct Case
    {
        const char *what;
        QByteArray frame;
        QByteArray expected;
    };
    const Case cases[] = {
        {"run, pump 0", run(0), "Q00R0000Y"_ba},
        {"stop, pump 0", stop(0), "Q00S0000Y"_ba},
        {"keypad flow 05.5, pump 0", keypad(keypadBody(0, u'L', 5.5)), "Q00L05.5Y"_ba},
        {"run, pump 1", run(1), "Q01R0000Y"_ba},
        {"stop, pump 1", stop(1), "Q01S0000Y"_ba},
        {"dialog flow 12.5, pump 1", dialogFlow(1, 12.5), "Q01L12.5Y"_ba},
        {"dialog pressure 1.5, pump 1", dialogPressureLimit(1, 1.5), "Q01P01.5Y"_ba},
        {"keypad flow 12.3, pump 1", keypad(keypadBody(1, u'L', 12.3)), "Q01L12.3Y"_ba},
        {"keypad pressure 01.5, pump 1", keypad(keypadBody(1, u'P', 1.5)), "Q01P01.5Y"_ba},
        {"dialog flow -1, pump 1", dialogFlow(1, -1), "Q01L-01.0Y"_ba},
        {"dialog flow 100, pump 1", dialogFlow(1, 100), "Q01L100.0Y"_ba},
        {"dialog pressure at a half, pump 1", dialogPressureLimit(1, 2.25), "Q01P02.3Y"_ba},
        {"dialog flow rounding to zero, pump 1", dialogFlow(1, -0.04), "Q01L00.0Y"_ba},
        {"run, pump 12", run(12), "Q012R0000Y"_ba},
        {"stop, pump 12", stop(12), "Q012S0000Y"_ba},
        {"dialog flow 5, pump 12", dialogFlow(12, 5), "Q012L05.0Y"_ba},
        {"dialog pressure 5, pump 12", dialogPressureLimit(12, 5), "Q012P05.0Y"_ba},
        {"keypad flow 05.5, pump 12", keypad(keypadBody(12, u'L', 5.5)), "Q12L05.5Y"_ba},
        {"run, pump -1", run(-1), "Q0-1R0000Y"_ba},
        {"stop, pump -1", stop(-1), "Q0-1S0000Y"_ba},
        {"keypad flow 05.5, pump -1", keypad(keypadBody(-1, u'L', 5.5)), "Q-01L05.5Y"_ba},
        {"keypad pressure 01.5, pump -1", keypad(keypadBody(-1, u'P', 1.5)), "Q-01P01.5Y"_ba},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.frame, c.expected) << c.what;
    }
}

TEST(CommandFrames, ValueFieldHoldsFiveCharactersAtMost)
{
    const std::pair<double, bool> cases[] = {
        {0, true},       {-0.04, true},  {-1, true},      {-99.94, true},  {-99.95, false},
        {-100, false},   {99.9, true},   {999.94, true},  {999.95, false}, {1e6, false},
        {-1e308, false}, {1e308, false}, {-1e-308, true}, {5e-324, true},
    };
    for (const auto &[value, fits] : cases) {
        EXPECT_EQ(valueFits(value), fits) << value;
        // Whatever fits gives a frame of nine or ten characters that the pump side reads.
        if (fits) {
            const QByteArray frame = dialogFlow(1, value);
            EXPECT_LE(frame.size(), wire::frameLength + 1) << value;
            EXPECT_TRUE(parse(frame).has_value()) << value;
        }
    }
}

TEST(CommandFrames, KeypadBodyIsTheFrameWithoutItsStart)
{
    for (const QString &body : {u"01L12.3Y"_s, u"01P01.5Y"_s, u"00L00.0Y"_s, u"12P05.0Y"_s}) {
        EXPECT_EQ(keypadBody(qint16(body.left(2).toInt()), body[2], body.mid(3, 4).toDouble()),
                  body);
        EXPECT_EQ(keypad(body), "Q"_ba + body.toLatin1());
    }
}

TEST(CommandFrames, PumpsZeroToNineGiveNineCharactersAndBothFormsAgree)
{
    for (qint16 pump = 0; pump <= 9; ++pump) {
        for (int k = 0; k < 1000; k += 7) {
            SCOPED_TRACE(testing::Message() << "pump " << pump << ", tenths " << k);
            const double value = k / 10.0;
            const QByteArray dialog = dialogFlow(pump, value);
            EXPECT_EQ(dialog.size(), wire::frameLength);
            EXPECT_EQ(dialog.front(), wire::frameStart);
            EXPECT_EQ(dialog.back(), wire::frameEnd);
            EXPECT_EQ(dialog, keypad(keypadBody(pump, u'L', value)));
            EXPECT_EQ(dialogPressureLimit(pump, value), keypad(keypadBody(pump, u'P', value)));
        }
        EXPECT_EQ(run(pump).size(), wire::frameLength);
        EXPECT_EQ(stop(pump).size(), wire::frameLength);
    }
}

TEST(CommandFrames, PumpSideReadsBothFormsTheConsoleWrites)
{
    struct Case
    {
        QByteArray text;
        int pump;
        char letter;
        QByteArray value;
    };
    // Run, stop and dialog frames carry "Q0" and the number unpadded; keypad frames (the last
    // three) "Q" and two digits.
    const Case cases[] = {
        {"Q01R0000Y"_ba, 1, 'R', "0000"_ba},     {"Q01S0000Y"_ba, 1, 'S', "0000"_ba},
        {"Q012R0000Y"_ba, 12, 'R', "0000"_ba},   {"Q099S0000Y"_ba, 99, 'S', "0000"_ba},
        {"Q0123R0000Y"_ba, 123, 'R', "0000"_ba}, {"Q0-1R0000Y"_ba, -1, 'R', "0000"_ba},
        {"Q00R0000Y"_ba, 0, 'R', "0000"_ba},     {"Q01L12.5Y"_ba, 1, 'L', "12.5"_ba},
        {"Q012L100.0Y"_ba, 12, 'L', "100.0"_ba}, {"Q01P-01.5Y"_ba, 1, 'P', "-01.5"_ba},
        {"Q12L05.5Y"_ba, 12, 'L', "05.5"_ba},    {"Q01P01.5Y"_ba, 1, 'P', "01.5"_ba},
        {"Q-01L05.5Y"_ba, -1, 'L', "05.5"_ba},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto command = parse(c.text);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->pump, c.pump);
        EXPECT_EQ(command->letter, c.letter);
        EXPECT_EQ(command->value, c.value);
    }
    const QByteArray notCommands[] = {
        "Q01R0000"_ba,   "X01R0000Y"_ba, "Q01r0000Y"_ba,          "QR0000Y"_ba,   "Q01RY"_ba,
        "Q01Q0000Y"_ba,  "Q01Y0000Y"_ba, "Q0xR0000Y"_ba,          "Q01R00 0Y"_ba, "Q01R0000YY"_ba,
        "Q01LR0000Y"_ba, ""_ba,          "Q99999999999R0000Y"_ba,
    };
    for (const QByteArray &text : notCommands) {
        EXPECT_FALSE(parse(text).has_value()) << text.toStdString();
    }
}

} // namespace
