// The record file's bytes are read by the operators' own scripts, so every byte is pinned here.
#include "control/record/recordfile.h"
#include "support/files.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

struct EntryCase
{
    double value;
    const char *bytes;
};

void PrintTo(const EntryCase &c, std::ostream *os)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", c.value);
    *os << buf << " -> \"" << c.bytes << '"';
}

class EntryFormat : public ::testing::TestWithParam<EntryCase>
{
};

TEST_P(EntryFormat, Bytes)
{
    EXPECT_EQ(recordfile::formatEntry(GetParam().value).toStdString(), GetParam().bytes);
}

// Fixed notation holds while the value, rounded to 15 digits, is in 1E-04 <= |v| < 1E+15.
INSTANTIATE_TEST_SUITE_P(
    Table, EntryFormat,
    ::testing::Values(
        // zero and whole numbers
        EntryCase{0.0, " 0 "}, EntryCase{-0.0, " 0 "}, EntryCase{3, " 3 "}, EntryCase{100, " 100 "},
        EntryCase{-1000, "-1000 "}, EntryCase{12.5, " 12.5 "}, EntryCase{-12.5, "-12.5 "},
        EntryCase{40.1, " 40.1 "},
        // below 1: no zero before the point
        EntryCase{0.5, " .5 "}, EntryCase{-0.25, "-.25 "}, EntryCase{0.01, " .01 "},
        EntryCase{-0.999, "-.999 "},
        // 15 significant digits
        EntryCase{0.1 + 0.2, " .3 "}, EntryCase{1.0 / 3, " .333333333333333 "},
        EntryCase{2.0 / 3, " .666666666666667 "}, EntryCase{-2.0 / 3, "-.666666666666667 "},
        EntryCase{10.0 / 3, " 3.33333333333333 "},
        EntryCase{123456789.123456789, " 123456789.123457 "}, EntryCase{1.0000000000000002, " 1 "},
        EntryCase{99.99999999999999, " 100 "},
        // the large end
        EntryCase{999999999999999.0, " 999999999999999 "},
        EntryCase{-999999999999999.0, "-999999999999999 "},
        EntryCase{999999999999999.4, " 999999999999999 "}, EntryCase{999999999999999.6, " 1E+15 "},
        EntryCase{1e15, " 1E+15 "}, EntryCase{-1e15, "-1E+15 "}, EntryCase{1.5e15, " 1.5E+15 "},
        EntryCase{1234567890123456.0, " 1.23456789012346E+15 "}, EntryCase{1e16, " 1E+16 "},
        EntryCase{1e100, " 1E+100 "}, EntryCase{DBL_MAX, " 1.79769313486232E+308 "},
        // the small end
        EntryCase{0.0001, " .0001 "}, EntryCase{-0.0001, "-.0001 "},
        EntryCase{0.000123456789012345678, " .000123456789012346 "},
        EntryCase{0.00009999999999999996, " .0001 "},
        EntryCase{0.0000999999999999999, " 9.99999999999999E-05 "},
        EntryCase{0.000099999, " 9.9999E-05 "}, EntryCase{0.00001, " 1E-05 "},
        EntryCase{-0.00001, "-1E-05 "}, EntryCase{1.5e-7, " 1.5E-07 "},
        EntryCase{1e-100, " 1E-100 "}, EntryCase{DBL_MIN, " 2.2250738585072E-308 "},
        EntryCase{std::numeric_limits<double>::denorm_min(), " 4.94065645841247E-324 "},
        // not numbers: a pump never sends them, but the file must stay readable
        EntryCase{inf, " INF "}, EntryCase{-inf, "-INF "},
        EntryCase{std::numeric_limits<double>::quiet_NaN(), " NAN "}));

// The C library's %.15G rounds the same way and switches to exponent form at the same
// places; only the sign column and the zero before the point differ. An independent check of
// the formatter over every magnitude.
std::string referenceEntry(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", std::fabs(value));
    const std::string digits = buf[0] == '0' && buf[1] == '.' ? buf + 1 : buf;
    return (value < 0 ? "-" : " ") + digits + " ";
}

TEST(EntryFormatOracle, MatchesPrintf)
{
    std::mt19937_64 rng(20240601);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_int_distribution<int> decimals(0, 17);
    for (int i = 0; i < 1000000; ++i) {
        double v;
        if (i % 2 == 0) {
            // Any bit pattern: subnormals, the largest values and everything between.
            const quint64 bits = rng();
            std::memcpy(&v, &bits, sizeof v);
        } else {
            // Short decimals around every decade, as the pump reports them.
            const double scale = std::pow(10.0, decimals(rng));
            v = std::round(mantissa(rng) * std::pow(10.0, exponent(rng)) * scale) / scale;
        }
        if (std::isfinite(v) && v != 0) {
            ASSERT_EQ(recordfile::formatEntry(v).toStdString(), referenceEntry(v)) << i;
        }
    }
}

// Values of up to two decimals take a shortcut past the general conversion. Every such value up
// to 5000.00, its neighbouring doubles (which must not take it), and values near the shortcut's
// upper bound must still read as %.15G reads them.
TEST(EntryFormatOracle, FewDecimalsAndTheirNeighboursMatchPrintf)
{
    std::vector<double> values;
    for (qint64 hundredths = 0; hundredths <= 500000; ++hundredths) {
        const double v = double(hundredths) / 100;
        values.insert(values.end(), {v, -v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)});
    }
    for (double big : {1e13, 9999999999999.99, 999999999999.995, 123456789012.34, 1e12 + 0.5}) {
        values.insert(values.end(), {big, std::nextafter(big, 0.0), std::nextafter(big, 1e300)});
    }
    for (const double v : values) {
        if (v != 0) {
            ASSERT_EQ(recordfile::formatEntry(v).toStdString(), referenceEntry(v))
                << std::to_string(v);
        }
    }
}

class RecordLines : public ::testing::TestWithParam<std::pair<std::size_t, const char *>>
{
};

TEST_P(RecordLines, ExactBytes)
{
    // -2, -1, 0, 1, ... so both sign columns show.
    const std::array<double, 12> values{-2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const auto record = std::span(values).first(GetParam().first);
    EXPECT_EQ(recordfile::formatRecord(record).toStdString(), GetParam().second);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(recordfile::writeRecord(buffer, record));
    EXPECT_EQ(buffer.data().toStdString(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, RecordLines,
    ::testing::Values(std::pair{0, ""}, std::pair{4, "-2 -1  0  1 "},
                      std::pair{5, "-2 -1  0  1  2 \r\n"}, std::pair{6, "-2 -1  0  1  2 \r\n 3 "},
                      std::pair{10, "-2 -1  0  1  2 \r\n 3  4  5  6  7 \r\n"},
                      std::pair{12, "-2 -1  0  1  2 \r\n 3  4  5  6  7 \r\n 8  9 "}));

TEST(RecordStream, FullRecordStreamsTheSameBytesAcrossBlocks)
{
    std::vector<double> record(1'000'000);
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = double((i + 1) % 4001) / 10.0 - 3.0;
    }
    const QByteArray whole = recordfile::formatRecord(record);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(recordfile::writeRecord(buffer, record));
    EXPECT_TRUE(buffer.data() == whole);
    EXPECT_EQ(whole.count("\r\n"), 200'000);
    EXPECT_TRUE(whole.startsWith("-2.9 -2.8 -2.7 -2.6 -2.5 \r\n-2.4 "));
    EXPECT_TRUE(whole.endsWith(" 372.1 \r\n")); // 1,000,000 % 4001 = 3751

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(recordfile::writeRecord(readOnly, std::span(record).first(3)));
}

struct LastLineCase
{
    const char *name;
    QByteArray content;
    QByteArray last;
};

void PrintTo(const LastLineCase &c, std::ostream *os)
{
    *os << c.name;
}

class LastLine : public ::testing::TestWithParam<LastLineCase>
{
};

TEST_P(LastLine, Reads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"f.txt"_s);
    ASSERT_TRUE(writeBytes(path, GetParam().content));
    const auto result = recordfile::readLastLine(path);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.line.toStdString(), GetParam().last.toStdString());
}

const QByteArray longLine(65535, 'x');

INSTANTIATE_TEST_SUITE_P(
    Endings, LastLine,
    ::testing::Values(
        LastLineCase{"empty", "", ""}, LastLineCase{"noLineEnd", "abc", "abc"},
        LastLineCase{"crlfEnded", "a\r\nb\r\n", "b"}, LastLineCase{"crlfOpen", "a\r\nb", "b"},
        LastLineCase{"lfOnly", "a\nb\n", "b"}, LastLineCase{"crOnly", "a\rb\r", "b"},
        LastLineCase{"emptyLastLine", "a\r\n\r\n", ""}, LastLineCase{"crThenCrlf", "a\r\r\nb", "b"},
        LastLineCase{"lfThenCr", "x\n\r", ""},
        // The CR is the last byte of the first read block and its LF the first of the next.
        LastLineCase{"crlfAcrossBlocks", longLine + "\r\n", longLine},
        LastLineCase{"lineAcrossBlocks", "a\r\n" + longLine + "yz", longLine + "yz"}));

TEST(LastLine, MissingFileIsAnError)
{
    QTemporaryDir dir;
    const auto result = recordfile::readLastLine(dir.filePath(u"none.txt"_s));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, u"文件或文件夹不存在"_s);
}

TEST(DefaultRecordPath, NamesTheTextFile)
{
    const QString path = recordfile::defaultRecordPath();
#ifdef Q_OS_WIN
    EXPECT_EQ(path, u"d:\\mytext.txt"_s);
#else
    EXPECT_TRUE(path.endsWith(u"/mytext.txt"_s)) << path.toStdString();
    EXPECT_TRUE(QDir::isAbsolutePath(path));
#endif
}

} // namespace
