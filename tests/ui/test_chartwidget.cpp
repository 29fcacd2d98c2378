// The chart: the scale mapping, the clipping, and that painting depends on the drawing alone.

#include "link/chartsweep.h"
#include "support/wait.h"
#include "ui/chartwidget.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace {

const ChartScale chartScale{0, 2, 100, -0.8}; // the console's: x 0..100, y 2 (top) .. -0.8
const QSize chartSize(665, 145);

TEST(ChartWidgetMapping, UserPointsLandWhereTheScaleSays)
{
    const struct
    {
        double x, y;
        QPointF expected;
    } cases[] = {
        {0, 2, {0, 0}},      {100, -0.8, {665, 145}},      {50, 0, {332.5, 145 * 2 / 2.8}},
        {0, 0.6, {0, 72.5}}, {-1, 3, {-6.65, -145 / 2.8}},
    };
    for (const auto &c : cases) {
        const auto p = ChartWidget::toPixels(chartScale, chartSize, c.x, c.y);
        ASSERT_TRUE(p.has_value()) << c.x << "," << c.y;
        EXPECT_NEAR(p->x(), c.expected.x(), 1e-9) << c.x << "," << c.y;
        EXPECT_NEAR(p->y(), c.expected.y(), 1e-9) << c.x << "," << c.y;
    }
    EXPECT_FALSE(ChartWidget::toPixels({0, 2, 0, -0.8}, chartSize, 1, 1));
    EXPECT_FALSE(ChartWidget::toPixels({0, 1, 1, 1}, chartSize, 1, 1));
}

TEST(ChartWidgetClipping, LinesAreCutAtTheBounds)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QRectF bounds(0, 0, 10, 10);
    const struct
    {
        const char *what;
        QLineF line;
        std::optional<QLineF> expected;
    } cases[] = {
        {"inside", {1, 1, 9, 9}, QLineF(1, 1, 9, 9)},
        {"on an edge", {0, 10, 10, 10}, QLineF(0, 10, 10, 10)},
        {"leaves left", {-5, 5, 5, 5}, QLineF(0, 5, 5, 5)},
        {"spans", {-5, 5, 15, 5}, QLineF(0, 5, 10, 5)},
        {"spans backwards", {15, 5, -5, 5}, QLineF(10, 5, 0, 5)},
        {"diagonal", {-10, -10, 20, 20}, QLineF(0, 0, 10, 10)},
        {"vertical", {5, -5, 5, 5}, QLineF(5, 0, 5, 5)},
        {"far end", {5, 5, 5, 1e30}, QLineF(5, 5, 5, 10)},
        {"beside", {11, 0, 20, 5}, std::nullopt},
        {"above, parallel", {1, -1, 9, -1}, std::nullopt},
        {"corner miss", {-5, 4, 4, -5}, std::nullopt},
        {"nan", {nan, 1, 2, 2}, std::nullopt},
        {"infinite", {1, 1, inf, 2}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto got = ChartWidget::clipped(c.line, bounds);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_NEAR(got->x1(), c.expected->x1(), 1e-9);
            EXPECT_NEAR(got->y1(), c.expected->y1(), 1e-9);
            EXPECT_NEAR(got->x2(), c.expected->x2(), 1e-9);
            EXPECT_NEAR(got->y2(), c.expected->y2(), 1e-9);
        }
    }
}

class ChartWidgetPaint : public ::testing::Test
{
protected:
    ChartDrawing drawing;
    ChartWidget widget{drawing};

    void SetUp() override
    {
        drawing.setScale(chartScale.left, chartScale.top, chartScale.right, chartScale.bottom);
        widget.resize(chartSize);
    }
    QImage picture() { return widget.grab().toImage(); }
    static int countNotWhite(const QImage &image)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += image.pixelColor(x, y) != QColor(Qt::white);
            }
        }
        return n;
    }
};

TEST_F(ChartWidgetPaint, LinesUseTheInkOrTheirOwnColourOnWholePixels)
{
    drawing.drawLine(0, 0, 100, 0);                     // y 0 -> row 103.57 -> 104
    drawing.drawLine(0, 1, 50, 1, chartRgb(255, 0, 0)); // y 1 -> row 51.79 -> 52, x to 332.5 -> 333
    drawing.drawLine(0, 2.5f, 100, 2.5f);               // above the top edge: cut away
    drawing.drawLine(0, -0.9f, 100, -0.9f);             // below the bottom edge
    const QImage image = picture();
    for (int x : {0, 1, 332, 663, 664}) {
        EXPECT_EQ(image.pixelColor(x, 104), QColor(Qt::black)) << x;
        EXPECT_EQ(image.pixelColor(x, 103), QColor(Qt::white)) << x;
        EXPECT_EQ(image.pixelColor(x, 105), QColor(Qt::white)) << x;
    }
    for (int x : {0, 100, 332}) {
        EXPECT_EQ(image.pixelColor(x, 52), QColor(255, 0, 0)) << x;
    }
    EXPECT_EQ(image.pixelColor(334, 52), QColor(Qt::white));
    EXPECT_EQ(countNotWhite(image), 665 + 333);
    drawing.clear();
    EXPECT_EQ(countNotWhite(picture()), 0);
}

TEST_F(ChartWidgetPaint, PaintsTheSameAfterHideShowAndResize)
{
    // A grid and one sweep of steps, as the console draws them.
    drawing.drawLine(0, 0, 100, 0);
    for (float y : {0.5f, 1.0f, 1.5f}) {
        drawing.drawLine(0, y, 1.5f, y);
    }
    for (int x = 0; x < 99; ++x) {
        const auto value = [](int at) { return 1.0f + 0.9f * std::sin(float(at) / 7.0f); };
        drawing.drawLine(float(x - 1), x ? value(x - 1) : 0, float(x), value(x),
                         chartRgb(255, 0, 0));
    }
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    const QImage before = picture();
    ASSERT_GT(countNotWhite(before), 665);

    widget.hide();
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    EXPECT_EQ(picture(), before);

    widget.resize(300, 90);
    QCoreApplication::processEvents();
    EXPECT_NE(picture(), before);
    widget.resize(chartSize);
    QCoreApplication::processEvents();
    EXPECT_EQ(picture(), before);
}

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ChartWidgetPaint, RepaintsWhenTheDrawingChanges)
{
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    PaintCounter counter;
    widget.installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    drawing.drawLine(0, 1, 100, 1);
    EXPECT_TRUE(waitUntil([&counter] { return counter.paints > 0; }, 2000));
}

// The chart as the widget painted it before it kept a picture: every line of the list, in
// order, straight onto white paper of `size`. The widget must match this pixel for pixel.
QImage replayedDrawing(const ChartDrawing &drawing, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF bounds = QRectF(QRect(QPoint(), size)).adjusted(-1, -1, 1, 1);
    QPen pen(Qt::black, 1);
    pen.setCapStyle(Qt::FlatCap);
    for (const ChartLine &line : drawing.lines()) {
        const auto from = ChartWidget::toPixels(drawing.scale(), size, line.x1, line.y1);
        const auto to = ChartWidget::toPixels(drawing.scale(), size, line.x2, line.y2);
        if (!from || !to) {
            break;
        }
        const auto visible = ChartWidget::clipped(QLineF(*from, *to), bounds);
        if (!visible) {
            continue;
        }
        const ChartColour c = line.colour.value_or(0xff000000u);
        pen.setColor(QColor(int((c >> 16) & 0xff), int((c >> 8) & 0xff), int(c & 0xff)));
        painter.setPen(pen);
        painter.drawLine(QLineF(std::round(visible->x1()), std::round(visible->y1()),
                                std::round(visible->x2()), std::round(visible->y2())));
    }
    return image;
}

// What the window system shows now, where only the repainted parts have changed since the last
// paint (offscreen, the screen is the window's backing store).
QImage onScreen(QWidget &window)
{
    QCoreApplication::processEvents();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pressures that swing through the whole scale, off it at both ends, and now and then garbled.
std::optional<double> pressureAt(int step)
{
    if (step % 37 == 5) {
        return std::nullopt;
    }
    return 1.0 + 1.4 * std::sin(step / 6.0) * std::cos(step / 17.0) + (step % 11 == 0 ? 1.5 : 0);
}

// The console's sweep on a chart in its own window.
class ChartWidgetPicture : public ::testing::Test
{
protected:
    ChartSweep sweep;
    ChartWidget widget{sweep.drawing()};

    void SetUp() override
    {
        widget.resize(chartSize);
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    }
};

TEST_F(ChartWidgetPicture, MatchesTheReplayedDrawingThroughSweepsWrapsCoversAndResizes)
{
    const auto expectSame = [&](const char *when, int step) {
        SCOPED_TRACE(::testing::Message() << when << " after step " << step);
        const QImage reference = replayedDrawing(sweep.drawing(), widget.size());
        ASSERT_EQ(onScreen(widget), reference) << "the partly repainted window";
        ASSERT_EQ(widget.grab().toImage().convertToFormat(QImage::Format_RGB32), reference)
            << "a full repaint from the picture";
    };

    int step = 0;
    // Two and a half sweeps, one paint per reply: each wrap clears to a fresh grid.
    for (; step < 250; ++step) {
        sweep.step(pressureAt(step));
        expectSame("a paint per reply", step);
    }
    // Bursts: many replies (across a wrap) between two paints.
    for (const int burst : {7, 60, 130, 3}) {
        for (int i = 0; i < burst; ++i) {
            sweep.step(pressureAt(step++));
        }
        expectSame("a burst", step);
    }
    // Covered and uncovered, and resized half-way through a sweep, smaller and back.
    widget.hide();
    sweep.step(pressureAt(step++));
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    expectSame("uncovered", step);
    for (const QSize size : {QSize(300, 90), QSize(701, 163), chartSize}) {
        widget.resize(size);
        expectSame("resized", step);
        for (int i = 0; i < 45; ++i) {
            sweep.step(pressureAt(step++));
            expectSame("after a resize", step);
        }
    }
}

TEST_F(ChartWidgetPicture, AReplyRepaintsOnlyAroundItsStep)
{
    for (int i = 0; i < 10; ++i) {
        sweep.step(1.0);
    }
    QCoreApplication::processEvents();
    struct PaintAreas : QObject
    {
        std::vector<QRect> areas;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint) {
                areas.push_back(static_cast<QPaintEvent *>(event)->rect());
            }
            return false;
        }
    } painted;
    widget.installEventFilter(&painted);
    sweep.step(1.5); // x 9 to 10 (pixels 60 to 67), 1 to 1.5 MPa (rows 52 to 26)
    QCoreApplication::processEvents();
    ASSERT_EQ(painted.areas.size(), 1u);
    const QRect area = painted.areas.front();
    EXPECT_TRUE(area.contains(QRect(60, 26, 8, 27))) << "the whole new segment";
    EXPECT_LE(area.width(), 12);
    EXPECT_LE(area.height(), 32);
}

} // namespace
