#include "control/record/trendscale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <QDateTime>

using namespace Qt::StringLiterals;

namespace trendscale {

std::vector<Column> minMaxColumns(std::span<const qint64> times, std::span<const float> values,
                                  std::span<const qsizetype> segmentStarts, qint64 fromMs,
                                  qint64 toMs, int width)
{
    std::vector<Column> columns;
    if (width <= 0 || toMs <= fromMs || times.empty()) {
        return columns;
    }
    const auto indexOf = [&](qint64 t, qsizetype from = 0) {
        return qsizetype(std::lower_bound(times.begin() + from, times.end(), t) - times.begin());
    };
    const auto n = qsizetype(times.size());
    const qsizetype lo = indexOf(fromMs);
    const qsizetype hi = indexOf(toMs);
    const double msPerColumn = double(toMs - fromMs) / width;
    qsizetype previousLast = -1;
    const auto add = [&](int x, qsizetype begin, qsizetype end) {
        const auto [low, high] = std::minmax_element(values.begin() + begin, values.begin() + end);
        // Joined unless a segment starts after the previous column's last pressure, up to
        // and with this column's first.
        const auto start =
            std::upper_bound(segmentStarts.begin(), segmentStarts.end(), previousLast);
        const bool joins = previousLast >= 0 && (start == segmentStarts.end() || *start > begin);
        columns.push_back({x, values[begin], values[end - 1], *low, *high, joins});
        previousLast = end - 1;
    };
    if (lo > 0) {
        add(-1, lo - 1, lo);
    }
    // Each column's pressures found by their times, so a column costs a search, not a pass.
    qsizetype begin = lo;
    for (int x = 0; x < width && begin < hi; ++x) {
        const qsizetype end =
            x + 1 == width
                ? hi
                : std::min(hi, indexOf(fromMs + qint64(std::ceil((x + 1) * msPerColumn)), begin));
        if (end > begin) {
            add(x, begin, end);
        }
        begin = end;
    }
    if (hi < n) {
        add(width, hi, hi + 1);
    }
    return columns;
}

namespace {

constexpr qint64 second = 1000;
constexpr qint64 minute = 60 * second;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;
// Steps that divide a day, so that every tick lands on a round local time.
constexpr std::array<qint64, 23> steps{
    100,         200,         500,         second,  2 * second, 5 * second,
    10 * second, 15 * second, 30 * second, minute,  2 * minute, 5 * minute,
    10 * minute, 15 * minute, 30 * minute, hour,    2 * hour,   3 * hour,
    6 * hour,    12 * hour,   day,         2 * day, 7 * day};

QDateTime localFields(qint64 utcMs, int offsetSeconds)
{
    // The fields at the log's own offset, not the machine's time zone.
    return QDateTime::fromMSecsSinceEpoch(utcMs + qint64(offsetSeconds) * 1000, Qt::UTC);
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int maxTicks, const OffsetAt &offsetAt)
{
    std::vector<TimeTick> ticks;
    if (toMs < fromMs || maxTicks < 1) {
        return ticks;
    }
    const qint64 span = toMs - fromMs;
    qint64 step = steps.back();
    for (const qint64 s : steps) {
        if (span / s < maxTicks) {
            step = s;
            break;
        }
    }
    while (span / step >= maxTicks) {
        step *= 2;
    }
    const QString format =
        step < second ? u"HH:mm:ss.zzz"_s : (step < minute ? u"HH:mm:ss"_s : u"HH:mm"_s);
    const int fromOffset = offsetAt(fromMs);
    const int toOffset = offsetAt(toMs);
    const bool crossesMidnight = floorDiv(fromMs + fromOffset * qint64(1000), day) !=
                                 floorDiv(toMs + toOffset * qint64(1000), day);

    // Walked in local time, each tick's instant at the offset in force there.
    const qint64 localFrom = fromMs + qint64(fromOffset) * 1000;
    qint64 previousDay = std::numeric_limits<qint64>::min();
    for (qint64 local = -floorDiv(-localFrom, step) * step;; local += step) {
        const int offset = offsetAt(local - qint64(fromOffset) * 1000);
        const qint64 utc = local - qint64(offset) * 1000;
        if (utc > toMs || qsizetype(ticks.size()) > maxTicks) {
            break;
        }
        // A local time the clocks skipped when summer time began is no tick of its own.
        if (utc < fromMs || (!ticks.empty() && utc <= ticks.back().utcMs)) {
            continue;
        }
        TimeTick tick{utc, localFields(utc, offset).toString(format), {}};
        const qint64 dayNumber = floorDiv(local, day);
        if (crossesMidnight && dayNumber != previousDay) {
            tick.date = localFields(utc, offset).toString(u"MM-dd"_s);
        }
        previousDay = dayNumber;
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

QString clockText(qint64 utcMs, int offsetSeconds)
{
    return localFields(utcMs, offsetSeconds).toString(u"yyyy-MM-dd HH:mm:ss.zzz"_s);
}

std::vector<double> valueTicks(double min, double max, int maxTicks)
{
    std::vector<double> ticks;
    if (!(max >= min) || maxTicks < 2 || !std::isfinite(min) || !std::isfinite(max)) {
        return ticks;
    }
    const double span = std::max(max - min, 1e-9);
    double step = std::pow(10.0, std::floor(std::log10(span / maxTicks)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        if (span / (step * factor) <= maxTicks - 1) {
            step *= factor;
            break;
        }
    }
    for (double v = std::ceil(min / step - 1e-9) * step; v <= max + step * 1e-9; v += step) {
        // -0.0 and 0.30000000000000004 read badly on an axis.
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : std::round(v / step) * step);
    }
    return ticks;
}

} // namespace trendscale
