// The cap on publications: at most N in any window, the latest value waiting, none held back
// that could go, and the last of a burst never lost.

#include "monitoring/latestthrottle.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

// Values arrive at the given times (value = index); the waiting one is released exactly when
// wakeAt() says. Returns (time, value) of each publication.
std::vector<std::pair<qint64, int>> run(int count, qint64 window,
                                        const std::vector<qint64> &arrivals)
{
    LatestThrottle<int> throttle(count, window);
    std::vector<std::pair<qint64, int>> out;
    auto releaseUntil = [&](qint64 t) {
        while (const auto wake = throttle.wakeAt()) {
            if (*wake > t) {
                break;
            }
            const auto value = throttle.release(*wake);
            EXPECT_TRUE(value.has_value()) << "wakeAt promised a value at " << *wake;
            if (!value) {
                break;
            }
            out.emplace_back(*wake, *value);
        }
    };
    for (int i = 0; i < int(arrivals.size()); ++i) {
        releaseUntil(arrivals[std::size_t(i)]);
        if (const auto now = throttle.offer(i, arrivals[std::size_t(i)])) {
            out.emplace_back(arrivals[std::size_t(i)], *now);
        }
    }
    releaseUntil(std::numeric_limits<qint64>::max() / 4);
    return out;
}

TEST(LatestThrottle, Table)
{
    using Out = std::vector<std::pair<qint64, int>>;
    struct Case
    {
        const char *what;
        int count;
        qint64 window;
        std::vector<qint64> arrivals;
        Out published;
    };
    const Case cases[] = {
        {"slower than the cap: every value at once",
         2,
         100,
         {0, 60, 120, 180},
         {{0, 0}, {60, 1}, {120, 2}, {180, 3}}},
        {"exactly at the cap", 2, 100, {0, 50, 100, 150}, {{0, 0}, {50, 1}, {100, 2}, {150, 3}}},
        {"jitter at the cap is absorbed",
         2,
         100,
         {0, 55, 95, 150, 205},
         {{0, 0}, {55, 1}, {100, 2}, {155, 3}, {205, 4}}},
        {"a burst: two at once, then the latest when the window allows",
         2,
         100,
         {0, 1, 2, 3, 4},
         {{0, 0}, {1, 1}, {100, 4}}},
        {"the burst's last value goes out even with nothing after it",
         1,
         1000,
         {0, 10, 20},
         {{0, 0}, {1000, 2}}},
        {"each waiting value goes at its own time",
         1,
         100,
         {0, 50, 150},
         {{0, 0}, {100, 1}, {200, 2}}},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(run(k.count, k.window, k.arrivals), k.published) << k.what;
    }
}

TEST(LatestThrottle, FloodNeverExceedsTheCapInAnyWindowAndEndsOnTheLastValue)
{
    // Line rate: a reply every 9.4 ms for ten seconds, capped at 2 per 100 ms.
    std::vector<qint64> arrivals;
    for (qint64 t = 0; t < 10000; t += 9) {
        arrivals.push_back(t + (t % 7 == 0 ? 1 : 0));
    }
    const auto out = run(2, 100, arrivals);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back().second, int(arrivals.size()) - 1) << "the last value is published";
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(out[i].second, out[i - 1].second) << "in order, no value twice";
        }
        int inSecond = 0;
        for (std::size_t j = i; j < out.size() && out[j].first < out[i].first + 1000; ++j) {
            ++inSecond;
        }
        EXPECT_LE(inSecond, 20) << "from " << out[i].first << " ms";
    }
    EXPECT_GE(out.size(), 195u) << "the cap is used, not starved";
}

TEST(LatestThrottle, DiscardDropsTheWaitingValue)
{
    LatestThrottle<int> throttle(1, 100);
    ASSERT_TRUE(throttle.offer(1, 0));
    EXPECT_FALSE(throttle.offer(2, 10));
    EXPECT_EQ(throttle.wakeAt(), 100);
    throttle.discardWaiting();
    EXPECT_FALSE(throttle.wakeAt());
    EXPECT_FALSE(throttle.release(200));
}

} // namespace
