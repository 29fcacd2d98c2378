#pragma once
// The safety stop's rules, as plain values and functions: the band the operator set (each
// bound may be off), what trips it, the dialog's checks and the words the operator reads.

#include <chrono>
#include <optional>
#include <QString>
#include <QTime>

namespace safety {

inline constexpr double lowestLimit = 0.1;   // MPa
inline constexpr double highestLimit = 99.9; // MPa, the most a reply can show
inline constexpr int shortestSilence = 1;    // s
inline constexpr int longestSilence = 3600;  // s

struct Limits
{
    std::optional<double> upper;       // MPa: a pressure strictly above it trips
    std::optional<double> lower;       // MPa: strictly below it trips, once it has been reached
    std::optional<int> silenceSeconds; // no pressure reply for this long while running trips

    bool any() const { return upper || lower || silenceSeconds; }
    bool operator==(const Limits &) const = default;
};

enum class Cause { None, AboveUpper, BelowLower, Silence };

// What a pressure reply of `mpa` does while the pump runs; `lowerReached`: a reply at or above
// the lower limit has come since the run began (so that the pressure may build up first).
[[nodiscard]] Cause judgePressure(const Limits &limits, double mpa, bool lowerReached) noexcept;
// Whether the lower limit counts from this reply on.
[[nodiscard]] bool reachesLower(const Limits &limits, double mpa) noexcept;
// Whether `silence` without a pressure reply while running trips: at the deadline exactly.
[[nodiscard]] bool silenceTrips(const Limits &limits, std::chrono::milliseconds silence) noexcept;

// The dialog's three fields as typed; empty means off.
struct Typed
{
    QString upper;
    QString lower;
    QString silence;
};
enum class Field { Upper, Lower, Silence };
struct Checked
{
    std::optional<Limits> limits; // set when every field is acceptable
    Field field = Field::Upper;   // otherwise, the first field refused
    QString refusal;              // and why, for the operator
};
[[nodiscard]] Checked check(const Typed &typed);
// The fields as the dialog shows the limits.
[[nodiscard]] Typed typed(const Limits &limits);

// The fields' names, as the dialog labels them and as screen readers find them.
QString fieldName(Field field);

// "压力 12.6 MPa 高于上限 12.0 MPa，已停泵（14:03:07）" and its kin. `mpa` is the reply's
// value (unused for silence).
QString tripMessage(Cause cause, const Limits &limits, double mpa, QTime at);
// Why the stop was tripped, for the run log's note and the monitor: "高于上限 12.0 MPa".
QString causeNote(Cause cause, const Limits &limits);

} // namespace safety
