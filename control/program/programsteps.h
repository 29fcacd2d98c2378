#pragma once
// A program: a table of timed flow steps, each held or ramped to the next step's flow, and the
// arithmetic of running one, as plain values and functions. Times are on the program's own
// clock (milliseconds from its start, frozen while it is paused), so that which frame goes out
// when is decided here and nowhere else.

#include <chrono>
#include <optional>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace program {

using Ms = std::chrono::milliseconds;

enum class Mode {
    Hold, // the flow is set once, at the step's start
    Ramp, // from this step's flow to the next step's, linearly over the step
};

struct Step
{
    double minutes = 1;                  // the step's length; decimals allowed
    double flow = 0;                     // ml/min at the step's start
    Mode mode = Mode::Hold;              //
    std::optional<double> pressureLimit; // MPa, sent at the step's start when given

    bool operator==(const Step &) const = default;
};
using Steps = std::vector<Step>;

// A whole program may last a day at most.
inline constexpr Ms longest = std::chrono::hours(24);
// A ramp writes at most one flow frame in this time, and none in the last such time before
// the next step's frame.
inline constexpr Ms rampPace = std::chrono::seconds(1);

// Why `step` cannot be run, in the operator's words ("流量 60 超出范围 0～50.0 ml/min"); empty
// when it can. `last`: it is the program's last step (which has no flow to ramp to).
[[nodiscard]] QString stepProblem(const Step &step, bool last);

struct Problem
{
    qsizetype step = -1; // the step at fault, from 0; -1 for the program as a whole
    QString reason;
};
// The first reason the program cannot be run: a step's, too short to time, too long, or none.
[[nodiscard]] std::optional<Problem> problem(const Steps &steps);
// The problem as a box says it after its lead-in: "第 2 步：流量 60 超出范围 0～50.0 ml/min".
[[nodiscard]] QString describe(const Problem &problem);

// Where each step starts on the program's clock, and last where the program ends: one more
// entry than steps. Each is the sum of the minutes before it, rounded to the millisecond, so
// that no rounding piles up over many steps.
[[nodiscard]] std::vector<Ms> boundaries(const Steps &steps);

// The value as the pump receives it: written as "00.0" and read back (2.25 gives 2.3).
[[nodiscard]] double asSent(double value);
// A ramp's flow `at` into it, unrounded, never beyond its two ends.
[[nodiscard]] double rampFlow(double from, double to, Ms length, Ms at);
// What the program asks for `at` on its clock, unrounded: a held step's flow, or a ramp's
// flow at that point. After the end, the last step's flow.
[[nodiscard]] double flowAt(const Steps &steps, Ms at);

struct Write
{
    enum class Kind { PressureLimit, Flow, Run, Stop };
    Ms at{0};
    Kind kind = Kind::Flow;
    double value = 0;    // as sent, for flow and pressure limit
    qsizetype step = -1; // the step it belongs to, from 0

    bool operator==(const Write &) const = default;
};

// The flow frames of a ramp of `length` from `from` to `to`, after one written `after` into it
// (0: the step's own flow frame): a frame whenever the value as sent changes, each at least
// rampPace after the one before and at least rampPace before the ramp's end, where the next
// step's flow goes out. Times from the ramp's start.
[[nodiscard]] std::vector<Write> rampWrites(double from, double to, Ms length, Ms after);

// The frames of step `step` from its start on, at their times on the program's clock: its
// pressure limit (when given) and its flow at its start, then a ramp's frames.
[[nodiscard]] std::vector<Write> stepWrites(const Steps &steps, qsizetype step);

// Every frame of a run without pause, in order: each step's frames, the run frame right after
// the first step's, the stop frame at the end. For tests and for whoever wants the whole list.
[[nodiscard]] std::vector<Write> schedule(const Steps &steps);

} // namespace program
