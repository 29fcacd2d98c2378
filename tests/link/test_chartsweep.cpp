// The sweeping pressure chart: one light red step per reply from the previous sample to this
// one, over a grid, and a clean sheet after the hundredth step.

#include "link/chartsweep.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

inline void PrintTo(const ChartLine &l, std::ostream *os)
{
    *os << '(' << l.x1 << ',' << l.y1 << ")-(" << l.x2 << ',' << l.y2 << ')'
        << (l.colour ? " colour " + std::to_string(*l.colour) : std::string(" plain"));
}

namespace {

constexpr ChartColour red = chartRgb(255, 0, 0);

std::vector<ChartLine> lines(const ChartSweep &sweep, bool steps)
{
    std::vector<ChartLine> result;
    for (const ChartLine &l : sweep.drawing().lines()) {
        if ((l.colour == red) == steps) {
            result.push_back(l);
        }
    }
    return result;
}

void expectGrid(const ChartSweep &sweep)
{
    const std::vector<ChartLine> grid = {{0, 0, 100, 0, {}},
                                         {0, 0.5f, 1.5f, 0.5f, {}},
                                         {0, 1, 1.5f, 1, {}},
                                         {0, 1.5f, 1.5f, 1.5f, {}}};
    const auto drawn = lines(sweep, false);
    for (const ChartLine &g : grid) {
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), g), drawn.end())
            << "grid line missing: " << ::testing::PrintToString(g);
    }
    EXPECT_EQ(drawn.size(), grid.size()) << "only the grid is drawn without the step colour";
}

void expectStep(const ChartLine &l, float x1, float y1, float x2, float y2)
{
    EXPECT_FLOAT_EQ(l.x1, x1);
    EXPECT_FLOAT_EQ(l.y1, y1);
    EXPECT_FLOAT_EQ(l.x2, x2);
    EXPECT_FLOAT_EQ(l.y2, y2);
}

TEST(ChartSweep, EachStepJoinsThePreviousSampleToThisOneOverTheGrid)
{
    ChartSweep sweep;
    sweep.step(1.2);
    ASSERT_EQ(lines(sweep, true).size(), 1u);
    // The first step of a sweep starts outside the area, from zero.
    expectStep(lines(sweep, true)[0], -1, 0, 0, 1.2f);
    expectGrid(sweep);
    sweep.step(1.2);
    sweep.step(0.5);
    sweep.step(-0.7);
    const auto steps = lines(sweep, true);
    ASSERT_EQ(steps.size(), 4u);
    expectStep(steps[1], 0, 1.2f, 1, 1.2f);
    expectStep(steps[2], 1, 1.2f, 2, 0.5f);
    expectStep(steps[3], 2, 0.5f, 3, -0.7f);
    EXPECT_EQ(sweep.position(), 4);
    expectGrid(sweep);
}

TEST(ChartSweep, HundredthStepWrapsToAnEmptyChartAndKeepsTheSamples)
{
    ChartSweep sweep;
    for (int i = 0; i < 99; ++i) {
        sweep.step((i % 20) / 10.0);
    }
    EXPECT_EQ(sweep.position(), 99);
    EXPECT_EQ(lines(sweep, true).size(), 99u);

    sweep.step(99 % 20 / 10.0);
    EXPECT_EQ(sweep.position(), 0);
    EXPECT_TRUE(sweep.drawing().lines().empty());

    // The next sweep starts at the left edge with a fresh grid and replaces samples one by one;
    // steps with no value of their own show the last sweep's samples.
    sweep.step(1.7);
    expectGrid(sweep);
    for (int i = 1; i < 99; ++i) {
        sweep.step(std::nullopt);
    }
    EXPECT_EQ(sweep.position(), 99);
    const auto steps = lines(sweep, true);
    ASSERT_EQ(steps.size(), 99u);
    expectStep(steps[0], -1, 0, 0, 1.7f);
    for (int i = 1; i < 99; ++i) {
        EXPECT_FLOAT_EQ(steps[std::size_t(i)].y2, float((i % 20) / 10.0)) << "position " << i;
    }
}

TEST(ChartSweep, AStepWithoutAPressureGoesToThePreviousSweepsSample)
{
    ChartSweep sweep;
    for (int i = 0; i < ChartSweep::length; ++i) {
        sweep.step(1.5);
    }
    sweep.step(0.5);
    sweep.step(std::nullopt);
    sweep.step(std::nullopt);
    const auto steps = lines(sweep, true);
    ASSERT_EQ(steps.size(), 3u);
    expectStep(steps[1], 0, 0.5f, 1, 1.5f);
    expectStep(steps[2], 1, 1.5f, 2, 1.5f);
    // In a first sweep there is no earlier sample: the step goes to zero.
    ChartSweep fresh;
    fresh.step(1.0);
    fresh.step(std::nullopt);
    expectStep(lines(fresh, true).back(), 0, 1.0f, 1, 0);
}

} // namespace
