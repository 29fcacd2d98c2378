// The number patterns behind every frame. The pump parses its characters positionally, so a
// single wrong digit, pad or sign addresses another pump or sets another flow.

#include "link/wire/numberpatterns.h"
#include "support/printto.h"

#include <cfloat>
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QtNumeric>

using namespace Qt::StringLiterals;
using namespace numberpatterns;

namespace {

TEST(NumberPatterns, PumpNumbers)
{
    struct Case
    {
        qint16 n;
        QString plain;
        QString twoDigits;
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
        EXPECT_EQ(plain(c.n), c.plain);
        EXPECT_EQ(twoDigits(c.n), c.twoDigits);
    }
}

TEST(NumberPatterns, TenthsExamplesAndHalves)
{
    // In order: plain examples; exact binary halves (away from zero, not to even); halves the
    // operator typed whose double lies just below, then just above the half; not halves;
    // values that round to zero (no sign); carries into a new integer digit.
    const std::pair<double, QString> cases[] = {
        {5, u"05.0"_s},       {5.5, u"05.5"_s},    {12.34, u"12.3"_s},    {50, u"50.0"_s},
        {0, u"00.0"_s},       {1.5, u"01.5"_s},    {-1, u"-01.0"_s},      {100, u"100.0"_s},
        {2.25, u"02.3"_s},    {-1.25, u"-01.3"_s}, {0.25, u"00.3"_s},     {-2.25, u"-02.3"_s},
        {1.15, u"01.2"_s},    {0.15, u"00.2"_s},   {0.35, u"00.4"_s},     {1.45, u"01.5"_s},
        {4.35, u"04.4"_s},    {8.45, u"08.5"_s},   {-1.15, u"-01.2"_s},   {10.05, u"10.1"_s},
        {0.05, u"00.1"_s},    {-0.05, u"-00.1"_s}, {0.04999, u"00.0"_s},  {2.2499, u"02.2"_s},
        {1.14999, u"01.1"_s}, {99.94, u"99.9"_s},  {-0.04, u"00.0"_s},    {-0.0, u"00.0"_s},
        {-0.001, u"00.0"_s},  {1e-300, u"00.0"_s}, {0.95, u"01.0"_s},     {9.95, u"10.0"_s},
        {9.96, u"10.0"_s},    {99.95, u"100.0"_s}, {-99.95, u"-100.0"_s},
    };
    for (const auto &[value, text] : cases) {
        EXPECT_EQ(tenths(value), text) << value;
    }
    for (const double nothing : {-DBL_TRUE_MIN, qQNaN(), -qInf()}) {
        EXPECT_EQ(tenths(nothing), u"00.0"_s) << nothing;
    }
}

// The text an exact count of tenths reads as: at least two integer digits, one decimal.
QString tenthsText(int count)
{
    return QString::number(count / 10).rightJustified(2, u'0') + u'.' + QString::number(count % 10);
}

TEST(NumberPatterns, EveryTenthAndEveryHalfUpTo100)
{
    // Values as an operator types them, so the binary error of each literal is the real one.
    for (int k = 0; k < 1000; ++k) {
        SCOPED_TRACE(k);
        const QByteArray tenth = tenthsText(k).toLatin1();
        const double exact = tenth.toDouble();
        EXPECT_EQ(tenths(exact), tenthsText(k));
        EXPECT_EQ(tenths(-exact), k == 0 ? tenthsText(0) : u'-' + tenthsText(k));

        const double half = (tenth + "5").toDouble();
        EXPECT_EQ(tenths(half), tenthsText(k + 1));
        EXPECT_EQ(tenths(-half), u'-' + tenthsText(k + 1));

        EXPECT_EQ(tenths((tenth + "4999999").toDouble()), tenthsText(k));
        if (HasFailure()) {
            break;
        }
    }
}

TEST(NumberPatterns, LargeValuesGiveAllTheirDigits)
{
    // 15 significant digits, then zeros down to the tenths.
    const std::pair<double, QString> cases[] = {
        {DBL_MAX, u"^179769313486232[0]{294}\\.0$"_s},
        {-DBL_MAX, u"^-179769313486232[0]{294}\\.0$"_s},
        {1e300, u"^1[0]{300}\\.0$"_s},
        {1e20, u"^1[0]{20}\\.0$"_s},
        {-1e20, u"^-1[0]{20}\\.0$"_s},
        {123456.78, u"^123456\\.8$"_s},
    };
    for (const auto &[value, pattern] : cases) {
        const QString text = tenths(value);
        EXPECT_TRUE(QRegularExpression(pattern).match(text).hasMatch()) << text.toStdString();
    }
}

} // namespace
