// The chart's list of drawn lines: a line already there is not drawn again, wherever it lies in
// the list and however the lines after it were drawn.

#include "link/chartdrawing.h"

#include <gtest/gtest.h>
#include <limits>
#include <QSignalSpy>
#include <vector>

namespace {

struct DrawCase
{
    const char *name;
    std::vector<ChartLine> drawn;
    std::size_t kept; // lines in the list afterwards
};

void PrintTo(const DrawCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChartDrawingRepeats : public ::testing::TestWithParam<DrawCase>
{
};

TEST_P(ChartDrawingRepeats, KeepsEachDistinctLineOnce)
{
    ChartDrawing drawing;
    QSignalSpy changes(&drawing, &ChartDrawing::changed);
    for (const ChartLine &l : GetParam().drawn) {
        drawing.drawLine(l.x1, l.y1, l.x2, l.y2, l.colour);
    }
    EXPECT_EQ(drawing.lines().size(), GetParam().kept);
    EXPECT_EQ(std::size_t(changes.count()), GetParam().kept) << "a repeat must not signal";
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

ChartLine L(float x1, float y1, float x2, float y2, std::optional<ChartColour> colour = {})
{
    return {x1, y1, x2, y2, colour};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChartDrawingRepeats,
    ::testing::Values(
        DrawCase{"the newest line again", {L(0, 0, 1, 1), L(1, 1, 2, 0), L(1, 1, 2, 0)}, 2},
        DrawCase{"an older line again, after lines to its right",
                 {L(5, 0, 6, 1), L(10, 1, 11, 1), L(20, 0, 21, 0), L(5, 0, 6, 1)},
                 3},
        DrawCase{"the grid again after steps",
                 {L(0, 0, 100, 0), L(0, 1, 1, 1), L(1, 1, 2, 1), L(0, 0, 100, 0)},
                 3},
        DrawCase{"the same start, another end", {L(3, 0, 4, 1), L(3, 0, 4, 2), L(3, 0, 4, 1)}, 2},
        DrawCase{"the same line in another colour",
                 {L(3, 0, 4, 1, std::nullopt), L(3, 0, 4, 1, chartRgb(255, 0, 0))},
                 2},
        DrawCase{
            "a start left of every other", {L(9, 0, 10, 0), L(-1, 0, 0, 0), L(-1, 0, 0, 0)}, 2},
        DrawCase{"zero and minus zero are the same place", {L(0, 0, 1, 0), L(-0.0f, 0, 1, 0)}, 1},
        DrawCase{
            "a start that is not a number", {L(nan, 0, 1, 0), L(2, 0, 3, 0), L(2, 0, 3, 0)}, 2}));

TEST(ChartDrawing, AClearedLineCanBeDrawnAgain)
{
    ChartDrawing drawing;
    drawing.drawLine(50, 0, 51, 1);
    drawing.clear();
    drawing.drawLine(1, 0, 2, 0);
    drawing.drawLine(1, 0, 2, 0);
    drawing.drawLine(50, 0, 51, 1);
    EXPECT_EQ(drawing.lines().size(), 2u);
}

TEST(ChartDrawing, AtTheBoundTheOldestLineGoesAndMayReturn)
{
    ChartDrawing drawing;
    for (std::size_t i = 0; i < ChartDrawing::maxLines; ++i) {
        drawing.drawLine(float(i), 0, float(i + 1), 1);
    }
    const quint64 epoch = drawing.epoch();
    drawing.drawLine(float(ChartDrawing::maxLines), 0, float(ChartDrawing::maxLines + 1), 1);
    EXPECT_EQ(drawing.lines().size(), ChartDrawing::maxLines);
    EXPECT_EQ(drawing.lines().front().x1, 1.0f);
    EXPECT_NE(drawing.epoch(), epoch) << "a line already painted went";
    drawing.drawLine(0, 0, 1, 1); // the one that went: no longer there, so drawn
    EXPECT_EQ(drawing.lines().back().x1, 0.0f);
    drawing.drawLine(5, 0, 6, 1); // still there
    EXPECT_EQ(drawing.lines().back().x1, 0.0f);
}

} // namespace
