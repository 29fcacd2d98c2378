// The operator's answers become flows, pressure limits, port and pump numbers. A text read
// wrongly ("5,5" as 55) sends a setpoint ten times what was meant, so anything that is not
// plainly a number must give no value at all.

#include "control/numbertext.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <QString>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

TEST(NumberText, ToDouble)
{
    struct Case
    {
        QString text;
        std::optional<double> value; // none: refused
    };
    const Case cases[] = {
        {u" 1.5 "_s, 1.5},
        {u"\t1.5\r\n"_s, 1.5},
        {u"+2"_s, 2},
        {u"-3"_s, -3},
        {u".5"_s, 0.5},
        {u"-.5"_s, -0.5},
        {u"5."_s, 5},
        {u"0"_s, 0},
        {u"007"_s, 7},
        {u"1e3"_s, 1000},
        {u"1E-2"_s, 0.01},
        {u"2.5e+1"_s, 25},
        {u"1.7976931348623157e308"_s, 1.7976931348623157e308},
        {u""_s, std::nullopt},
        {u"   "_s, std::nullopt},
        {u"abc"_s, std::nullopt},
        {u"5,5"_s, std::nullopt},
        {u"1,000"_s, std::nullopt},
        {u"1 000"_s, std::nullopt},
        {u"1\u00a0000"_s, std::nullopt},
        {u"1'000"_s, std::nullopt},
        {u"nan"_s, std::nullopt},
        {u"NaN"_s, std::nullopt},
        {u"inf"_s, std::nullopt},
        {u"-inf"_s, std::nullopt},
        {u"Infinity"_s, std::nullopt},
        {u"1e400"_s, std::nullopt},
        {u"-1e400"_s, std::nullopt},
        {u"1.8e308"_s, std::nullopt},
        {u"0x10"_s, std::nullopt},
        {u"--1"_s, std::nullopt},
        {u"+-1"_s, std::nullopt},
        {u"1.2.3"_s, std::nullopt},
        {u"."_s, std::nullopt},
        {u"-"_s, std::nullopt},
        {u"e5"_s, std::nullopt},
        {u"1e"_s, std::nullopt},
        {u"1e+"_s, std::nullopt},
        {u"5abc"_s, std::nullopt},
        {u"1 5"_s, std::nullopt},
        {u"５"_s, std::nullopt},
        {u"１.５"_s, std::nullopt},
        {u"\u0665"_s, std::nullopt}, // Arabic-Indic five
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(numbertext::toDouble(c.text), c.value);
    }
}

TEST(NumberText, ToInt16RoundsHalvesToEvenWithinRange)
{
    struct Case
    {
        QString text;
        std::optional<qint16> value; // none: refused
    };
    const Case cases[] = {
        {u"1"_s, 1},
        {u" 7 "_s, 7},
        {u"2.5"_s, 2},
        {u"3.5"_s, 4},
        {u"0.5"_s, 0},
        {u"1.5"_s, 2},
        {u"-2.5"_s, -2},
        {u"-3.5"_s, -4},
        {u"2.4"_s, 2},
        {u"2.6"_s, 3},
        {u"-0.4"_s, 0},
        {u"1e3"_s, 1000},
        {u"32767"_s, 32767},
        {u"32767.4"_s, 32767},
        {u"32767.5"_s, std::nullopt},
        {u"32768"_s, std::nullopt},
        {u"-32768"_s, -32768},
        {u"-32768.5"_s, -32768},
        {u"-32768.6"_s, std::nullopt},
        {u"-32769"_s, std::nullopt},
        {u"70000"_s, std::nullopt},
        {u"1e10"_s, std::nullopt},
        {u"abc"_s, std::nullopt},
        {u""_s, std::nullopt},
        {u"5,5"_s, std::nullopt},
        {u"nan"_s, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(numbertext::toInt16(c.text), c.value);
    }
}

} // namespace
