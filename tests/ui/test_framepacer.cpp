// The window's repaints under a burst of changes: at most one per interval, the last change
// always painted, a quiet change painted at once.

#include "support/wait.h"
#include "ui/framepacer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <QPainter>
#include <QPaintEvent>
#include <QTest>
#include <QWidget>

using namespace std::chrono_literals;

namespace {

struct WaitCase
{
    std::optional<std::chrono::nanoseconds> sinceFrame;
    std::chrono::nanoseconds wait;
};

class FramePacerWait : public ::testing::TestWithParam<WaitCase>
{
};

TEST_P(FramePacerWait, IsTheRestOfTheInterval)
{
    EXPECT_EQ(FramePacer::waitFor(GetParam().sinceFrame, 4ms).count(), GetParam().wait.count());
}

INSTANTIATE_TEST_SUITE_P(Cases, FramePacerWait,
                         ::testing::Values(WaitCase{std::nullopt, 0ns}, // nothing painted yet
                                           WaitCase{0ns, 4ms}, WaitCase{1ms, 3ms},
                                           WaitCase{3999us, 1us}, WaitCase{4ms, 0ns},
                                           WaitCase{9400us, 0ns}, // every reply at 9600 baud
                                           WaitCase{-1ms, 0ns})); // a clock that went back

// A window that shows one number and remembers every number it painted.
class Meter : public QWidget
{
public:
    Meter() { resize(120, 40); }
    void setValue(int value)
    {
        m_value = value;
        update();
    }
    int value() const { return m_value; }
    std::vector<int> painted;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).drawText(rect(), QString::number(m_value));
        painted.push_back(m_value);
    }

private:
    int m_value = 0;
};

class FramePacerWindow : public ::testing::Test
{
protected:
    static constexpr auto interval = 50ms; // long beside a pass, even under a sanitizer

    void SetUp() override
    {
        meter.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&meter));
        QTest::qWait(int(interval.count()) + 10);
        meter.painted.clear();
    }

    // Changes the number as fast as the event loop turns for `length`; how many paints that took.
    std::size_t burst(std::chrono::milliseconds length)
    {
        const std::size_t before = meter.painted.size();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < length.count()) {
            meter.setValue(meter.value() + 1);
            QCoreApplication::processEvents();
        }
        return meter.painted.size() - before;
    }

    bool lastValuePainted()
    {
        return waitUntil(
            [this] { return !meter.painted.empty() && meter.painted.back() == meter.value(); },
            2000);
    }

    Meter meter;
};

TEST_F(FramePacerWindow, AChangeAfterAQuietIntervalIsPaintedInTheSamePass)
{
    FramePacer pacer(&meter, interval);
    meter.setValue(7);
    QCoreApplication::processEvents();
    ASSERT_FALSE(meter.painted.empty());
    EXPECT_EQ(meter.painted.back(), 7);
}

TEST_F(FramePacerWindow, ABurstIsPaintedAtMostOncePerIntervalAndEndsOnItsLastValue)
{
    const std::size_t unpaced = burst(150ms);
    ASSERT_TRUE(lastValuePainted());
    QTest::qWait(int(interval.count()) + 10);

    FramePacer pacer(&meter, interval);
    const std::size_t paced = burst(150ms);
    // One at the start, one per interval after it, and one for a timer that fires at the end.
    EXPECT_LE(paced, 150 / interval.count() + 2);
    EXPECT_LT(paced, unpaced) << "the burst must change faster than the pacer paints";
    EXPECT_TRUE(lastValuePainted()) << "the burst's last value never reached the screen";
}

TEST_F(FramePacerWindow, APacerGoneWhileHoldingARepaintLeavesTheWindowPainting)
{
    auto pacer = std::make_unique<FramePacer>(&meter, interval);
    meter.setValue(1);
    QCoreApplication::processEvents(); // painted at once
    meter.setValue(2);
    QCoreApplication::processEvents(); // held back for the rest of the interval
    ASSERT_EQ(meter.painted.back(), 1);
    pacer.reset();
    EXPECT_TRUE(lastValuePainted());
    meter.setValue(3);
    EXPECT_TRUE(lastValuePainted()) << "the window stopped repainting";
}

} // namespace
