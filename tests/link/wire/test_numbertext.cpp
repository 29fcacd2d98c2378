// The operator's answers become flows, pressure limits, port and pump numbers. A text read
// wrongly ("5,5" as 55) sends a setpoint ten times what was meant, so anything that is not
// plainly a number must give no value at all.

#include "link/wire/numbertext.h"
#include "support/printto.h"

#include <bit>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <QRegularExpression>
#include <random>

using namespace Qt::StringLiterals;

namespace {

TEST(NumberText, ToDouble)
{
    const std::pair<QString, double> numbers[] = {
        {u" 1.5 "_s, 1.5}, {u"\t1.5\r\n"_s, 1.5}, {u"+2"_s, 2},      {u"-3"_s, -3},
        {u".5"_s, 0.5},    {u"-.5"_s, -0.5},      {u"5."_s, 5},      {u"0"_s, 0},
        {u"007"_s, 7},     {u"1e3"_s, 1000},      {u"1E-2"_s, 0.01}, {u"2.5e+1"_s, 25},
    };
    EXPECT_EQ(numbertext::toDouble(u"1.7976931348623157e308"_s), 1.7976931348623157e308);
    for (const auto &[text, value] : numbers) {
        EXPECT_EQ(numbertext::toDouble(text), value) << text.toStdString();
    }
    // Separators, words, values beyond the double range, other digits (the last is an
    // Arabic-Indic five).
    const QString refused[] = {
        u""_s,           u"   "_s,   u"abc"_s,    u"5,5"_s,     u"1,000"_s, u"1 000"_s,
        u"1\u00a0000"_s, u"1'000"_s, u"nan"_s,    u"NaN"_s,     u"inf"_s,   u"-inf"_s,
        u"Infinity"_s,   u"1e400"_s, u"-1e400"_s, u"1.8e308"_s, u"0x10"_s,  u"--1"_s,
        u"+-1"_s,        u"1.2.3"_s, u"."_s,      u"-"_s,       u"e5"_s,    u"1e"_s,
        u"1e+"_s,        u"5abc"_s,  u"1 5"_s,    u"５"_s,      u"１.５"_s, u"\u0665"_s,
    };
    for (const QString &text : refused) {
        EXPECT_EQ(numbertext::toDouble(text), std::nullopt) << text.toStdString();
    }
}

TEST(NumberText, ToInt16RoundsHalvesToEvenWithinRange)
{
    const std::pair<QString, qint16> numbers[] = {
        {u"1"_s, 1},         {u" 7 "_s, 7},         {u"2.5"_s, 2},         {u"3.5"_s, 4},
        {u"0.5"_s, 0},       {u"1.5"_s, 2},         {u"-2.5"_s, -2},       {u"-3.5"_s, -4},
        {u"2.4"_s, 2},       {u"2.6"_s, 3},         {u"-0.4"_s, 0},        {u"1e3"_s, 1000},
        {u"32767"_s, 32767}, {u"32767.4"_s, 32767}, {u"-32768"_s, -32768}, {u"-32768.5"_s, -32768},
    };
    for (const auto &[text, value] : numbers) {
        EXPECT_EQ(numbertext::toInt16(text), value) << text.toStdString();
    }
    const QString refused[] = {u"32767.5"_s, u"32768"_s, u"-32768.6"_s, u"-32769"_s, u"70000"_s,
                               u"1e10"_s,    u"abc"_s,   u""_s,         u"5,5"_s,    u"nan"_s};
    for (const QString &text : refused) {
        EXPECT_EQ(numbertext::toInt16(text), std::nullopt) << text.toStdString();
    }
}

} // namespace

// The number check is written out by hand for speed; it must accept exactly what the pattern
// it replaced accepted (within the double range). Every text of up to six characters over the
// characters that matter.
TEST(NumberText, AcceptsExactlyWhatThePatternAccepts)
{
    const QRegularExpression pattern(u"^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"_s);
    const QString alphabet = u"09+-.eE "_s;
    QString text;
    int checked = 0;
    const std::function<void(int)> every = [&](int left) {
        const QString trimmed = text.trimmed();
        bool converts = false;
        const double value = trimmed.toDouble(&converts);
        const bool accepted = !trimmed.isEmpty() && pattern.match(trimmed).hasMatch() && converts &&
                              std::isfinite(value);
        const auto got = numbertext::toDouble(text);
        ASSERT_EQ(got.has_value(), accepted) << '"' << text.toStdString() << '"';
        ASSERT_EQ(numbertext::toDouble(QByteArrayView(text.toLatin1())), got)
            << '"' << text.toStdString() << '"';
        if (got) {
            ASSERT_EQ(*got, value) << '"' << text.toStdString() << '"';
        }
        ++checked;
        if (left == 0) {
            return;
        }
        for (const QChar c : alphabet) {
            text.append(c);
            every(left - 1);
            text.chop(1);
        }
    };
    every(6);
    EXPECT_EQ(checked, 299593); // 1 + 8 + ... + 8^6
}

// Short numbers take a faster conversion; it must give the same double as Qt's, to the last bit.
TEST(NumberText, ShortNumbersReadAsQtReadsThem)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> length(1, 15), digit(0, 9), sign(0, 2);
    for (int n = 0; n < 100000; ++n) {
        QString text;
        const int size = length(rng);
        const int point = std::uniform_int_distribution<int>(0, size)(rng);
        for (int i = 0; i < size; ++i) {
            text += i == point ? QChar(u'.') : QChar(u'0' + digit(rng));
        }
        text.prepend(QStringView(u"+- ").mid(sign(rng), 1));
        if (text.trimmed().isEmpty() || text.trimmed() == u"."_s || text.endsWith(u"+."_s)) {
            continue;
        }
        bool ok = false;
        const double expected = text.toDouble(&ok);
        const auto got = numbertext::toDouble(text);
        ASSERT_EQ(got.has_value(), ok) << text.toStdString();
        if (ok) {
            ASSERT_EQ(std::bit_cast<quint64>(*got), std::bit_cast<quint64>(expected))
                << text.toStdString();
        }
    }
}
