// The trend's picture decisions: which pressures each pixel column draws (every peak kept, no
// line across a break, the curve running on to the edges), where the time axis puts its ticks
// and dates (midnight, offsets, summer time) and the value axis its round numbers.

#include "control/record/trendscale.h"
#include "control/record/trendseries.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <random>

using namespace Qt::StringLiterals;
using trendscale::Column;

namespace {

qint64 utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toMSecsSinceEpoch();
}

} // namespace

TEST(TrendScale, ColumnsKeepEveryPeakAndBreak)
{
    struct Case
    {
        const char *what;
        std::vector<qint64> times;
        std::vector<float> values;
        std::vector<qsizetype> starts;
        qint64 from, to;
        int width;
        std::vector<Column> columns;
    };
    const Case cases[] = {
        {"one pressure per column",
         {0, 10, 20},
         {1, 2, 3},
         {},
         0,
         30,
         3,
         {{0, 1, 1, 1, 1, false}, {1, 2, 2, 2, 2, true}, {2, 3, 3, 3, 3, true}}},
        {"a one-sample spike among many is kept",
         {0, 1, 2, 3, 4, 5, 6, 7},
         {1, 1, 9, 1, 1, -4, 1, 1},
         {},
         0,
         8,
         2,
         {{0, 1, 1, 1, 9, false}, {1, 1, 1, -4, 1, true}}},
        {"empty columns are left out and the curve joins across them",
         {0, 25},
         {1, 2},
         {},
         0,
         30,
         3,
         {{0, 1, 1, 1, 1, false}, {2, 2, 2, 2, 2, true}}},
        {"a break is not joined",
         {0, 10, 20},
         {1, 2, 3},
         {2},
         0,
         30,
         3,
         {{0, 1, 1, 1, 1, false}, {1, 2, 2, 2, 2, true}, {2, 3, 3, 3, 3, false}}},
        {"a break inside a column: its bar spans both, the next column joins",
         {0, 10, 12, 20},
         {1, 2, 5, 3},
         {2},
         0,
         30,
         3,
         {{0, 1, 1, 1, 1, false}, {1, 2, 5, 2, 5, true}, {2, 3, 3, 3, 3, true}}},
        {"neighbours outside the range run the curve to the edges",
         {-5, 0, 10, 31},
         {7, 1, 2, 8},
         {},
         0,
         30,
         3,
         {{-1, 7, 7, 7, 7, false},
          {0, 1, 1, 1, 1, true},
          {1, 2, 2, 2, 2, true},
          {3, 8, 8, 8, 8, true}}},
        {"nothing in range: only the neighbours",
         {-5, 40},
         {7, 8},
         {},
         0,
         30,
         3,
         {{-1, 7, 7, 7, 7, false}, {3, 8, 8, 8, 8, true}}},
        {"the range's end is not in it",
         {0, 30},
         {1, 2},
         {},
         0,
         30,
         3,
         {{0, 1, 1, 1, 1, false}, {3, 2, 2, 2, 2, true}}},
        {"first and last in time order within a column",
         {0, 1, 2},
         {5, 9, 3},
         {},
         0,
         3,
         1,
         {{0, 5, 3, 3, 9, false}}},
        {"no width", {0}, {1}, {}, 0, 30, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(trendscale::minMaxColumns(c.times, c.values, c.starts, c.from, c.to, c.width),
                  c.columns);
    }
}

TEST(TrendScale, ColumnsAgreeWithAPassOverEveryPressure)
{
    // A million pressures in 997 columns: each column's range is exactly that of its pressures.
    std::mt19937 random(24);
    std::vector<qint64> times;
    std::vector<float> values;
    qint64 t = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        t += 1 + random() % 20;
        times.push_back(t);
        values.push_back(float(random() % 100000) / 1000.f);
    }
    const qint64 from = times[1000], to = times[900'000];
    const int width = 997;
    std::vector<Column> expected;
    for (qsizetype i = 1000; i < 900'000; ++i) {
        const int x = int((times[i] - from) * width / (to - from));
        if (expected.empty() || expected.back().x != x) {
            expected.push_back({x, values[i], values[i], values[i], values[i], true});
        }
        Column &c = expected.back();
        c.last = values[i];
        c.min = std::min(c.min, values[i]);
        c.max = std::max(c.max, values[i]);
    }
    auto columns = trendscale::minMaxColumns(times, values, {}, from, to, width);
    ASSERT_GE(columns.size(), 2u);
    EXPECT_EQ(columns.front().x, -1);
    EXPECT_EQ(columns.back().x, width);
    EXPECT_EQ(std::vector<Column>(columns.begin() + 1, columns.end() - 1), expected);
}

TEST(TrendScale, TimeTicksFallOnRoundLocalTimesWithTheDateAcrossMidnight)
{
    const auto fixed = [](int offset) { return [offset](qint64) { return offset; }; };
    struct Case
    {
        const char *what;
        qint64 from, to;
        trendscale::OffsetAt offsetAt;
        std::vector<trendscale::TimeTick> ticks;
    };
    const Case cases[] = {
        {"minutes at +08:00, no date within a day",
         utc(2026, 12, 8, 6, 1),
         utc(2026, 12, 8, 6, 5),
         fixed(8 * 3600),
         {{utc(2026, 12, 8, 6, 1), u"14:01"_s, {}},
          {utc(2026, 12, 8, 6, 2), u"14:02"_s, {}},
          {utc(2026, 12, 8, 6, 3), u"14:03"_s, {}},
          {utc(2026, 12, 8, 6, 4), u"14:04"_s, {}},
          {utc(2026, 12, 8, 6, 5), u"14:05"_s, {}}}},
        {"seconds when close in",
         utc(2026, 12, 8, 6, 0, 1),
         utc(2026, 12, 8, 6, 0, 9),
         fixed(0),
         {{utc(2026, 12, 8, 6, 0, 2), u"06:00:02"_s, {}},
          {utc(2026, 12, 8, 6, 0, 4), u"06:00:04"_s, {}},
          {utc(2026, 12, 8, 6, 0, 6), u"06:00:06"_s, {}},
          {utc(2026, 12, 8, 6, 0, 8), u"06:00:08"_s, {}}}},
        {"local midnight at +08:00 is 16:00 UTC; the date on the first tick and after midnight",
         utc(2026, 12, 8, 14, 10),
         utc(2026, 12, 8, 18, 0),
         fixed(8 * 3600),
         {{utc(2026, 12, 8, 15, 0), u"23:00"_s, u"12-08"_s},
          {utc(2026, 12, 8, 16, 0), u"00:00"_s, u"12-09"_s},
          {utc(2026, 12, 8, 17, 0), u"01:00"_s, {}},
          {utc(2026, 12, 8, 18, 0), u"02:00"_s, {}}}},
        {"a log from +05:30 keeps its own round hours",
         utc(2026, 12, 8, 17, 0),
         utc(2026, 12, 8, 20, 0),
         fixed(5 * 3600 + 1800),
         {{utc(2026, 12, 8, 17, 30), u"23:00"_s, u"12-08"_s},
          {utc(2026, 12, 8, 18, 30), u"00:00"_s, u"12-09"_s},
          {utc(2026, 12, 8, 19, 30), u"01:00"_s, {}}}},
        {"summer time starts at 01:00 UTC: local 02:00 is skipped, the hours stay round",
         utc(2026, 3, 28, 23, 30),
         utc(2026, 3, 29, 4, 0),
         [](qint64 t) { return t < utc(2026, 3, 29, 1, 0) ? 3600 : 7200; },
         {{utc(2026, 3, 29, 0, 0), u"01:00"_s, {}},
          {utc(2026, 3, 29, 1, 0), u"03:00"_s, {}},
          {utc(2026, 3, 29, 2, 0), u"04:00"_s, {}},
          {utc(2026, 3, 29, 3, 0), u"05:00"_s, {}},
          {utc(2026, 3, 29, 4, 0), u"06:00"_s, {}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(trendscale::timeTicks(c.from, c.to, 6, c.offsetAt), c.ticks);
    }
    // Whatever the range, no more ticks than asked for and all inside it.
    for (const qint64 span : {1LL, 999LL, 61'000LL, 7'200'000LL, 86'400'000LL * 40}) {
        const auto ticks = trendscale::timeTicks(1000, 1000 + span, 8, fixed(3600));
        EXPECT_LE(ticks.size(), 8u) << span;
        for (const auto &tick : ticks) {
            EXPECT_TRUE(tick.utcMs >= 1000 && tick.utcMs <= 1000 + span) << span;
        }
    }
}

TEST(TrendScale, ValueTicksAreRoundAndCoverTheRange)
{
    struct Case
    {
        double min, max;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        {0, 1, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {0, 42, {0, 10, 20, 30, 40}},
        {-0.3, 0.3, {-0.2, 0, 0.2}},
        {1.2, 1.2, {1.2}},
    };
    for (const Case &c : cases) {
        const auto ticks = trendscale::valueTicks(c.min, c.max, 6);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.max;
        for (size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12) << c.max;
        }
    }
}

TEST(TrendSeries, TimesStayInOrderBreaksAndStepsAreKept)
{
    TrendSeries s;
    s.addPressure(1000, 1);
    s.addPressure(900, 2); // the wall clock set back: held at the latest time
    s.breakCurve();
    s.addPressure(2000, 3);
    s.addFlow(2100, 5);
    s.addFlow(2150, 5); // the same setpoint again is no new step
    s.addFlow(2200, 6);
    s.addPressure(2300, 4);
    EXPECT_EQ(std::vector<qint64>(s.times().begin(), s.times().end()),
              (std::vector<qint64>{1000, 1000, 2000, 2300}));
    EXPECT_EQ(std::vector<qsizetype>(s.segmentStarts().begin(), s.segmentStarts().end()),
              std::vector<qsizetype>{2});
    ASSERT_EQ(s.flow().size(), 2u);
    s.setOffset(0, 3600);
    s.setOffset(1500, 7200);
    EXPECT_EQ(s.offsetAt(-50), 3600);
    EXPECT_EQ(s.offsetAt(1499), 3600);
    EXPECT_EQ(s.offsetAt(1500), 7200);

    s.dropBefore(2250);
    EXPECT_EQ(s.times().size(), 1u);
    EXPECT_TRUE(s.segmentStarts().empty());
    ASSERT_EQ(s.flow().size(), 1u); // the setpoint in force at the cut
    EXPECT_EQ(s.flow().front().utcMs, 2250);
    EXPECT_EQ(s.flow().front().value, 6);
}
