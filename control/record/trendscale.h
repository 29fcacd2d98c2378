#pragma once
// How a trend meets the screen, as pure functions: which pressures each pixel column draws and
// where the time and value axes put their ticks. A full 100 MB log holds 1.4 million
// pressures; a picture of it is a thousand columns, each drawn as the range its pressures span,
// so that no peak is lost however far out the view is, and a repaint costs the columns, not
// the rows.

#include <functional>
#include <QString>
#include <span>
#include <vector>

namespace trendscale {

// One pixel column of the curve: the pressures whose times fall in it.
struct Column
{
    int x = 0;
    float first = 0; // the column's first and last pressure, where the curve enters and leaves
    float last = 0;
    float min = 0;
    float max = 0;
    bool joinsPrevious = false; // no break in the curve since the column before
    bool operator==(const Column &) const = default;
};

// The pressures with times in [fromMs, toMs) spread over `width` columns: one Column for each
// column that has any, in order. The last pressure before the range and the first after it come
// as columns -1 and `width`, so that the curve runs on to the edges. `times` ascend;
// `segmentStarts` are the indices that begin a new segment.
std::vector<Column> minMaxColumns(std::span<const qint64> times, std::span<const float> values,
                                  std::span<const qsizetype> segmentStarts, qint64 fromMs,
                                  qint64 toMs, int width);

// A tick on the time axis at a round local time. `date` ("12-08") is set on the first tick and
// on the first tick of each new day, when the range shown crosses midnight.
struct TimeTick
{
    qint64 utcMs = 0;
    QString time; // "14:05", "14:05:30" or "14:05:30.500", by the spacing of the ticks
    QString date;
    bool operator==(const TimeTick &) const = default;
};
using OffsetAt = std::function<int(qint64 utcMs)>;
// Ticks in [fromMs, toMs], at most `maxTicks`, spaced by a round step (a second, 5 min, 1 h, …)
// and placed on round local times at the offset in force there.
std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int maxTicks, const OffsetAt &offsetAt);

// "2026-12-08 14:03:27.123": an instant as the local clock showed it.
QString clockText(qint64 utcMs, int offsetSeconds);

// Round values (1, 2 or 5 times a power of ten apart) covering [min, max], at most `maxTicks`.
std::vector<double> valueTicks(double min, double max, int maxTicks);

} // namespace trendscale
