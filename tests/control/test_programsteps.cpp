// A program's arithmetic: where its steps start, which frames go out when, as the pump receives
// them, and that no valid program ever asks for more than the panel's bounds.

#include "control/program/programsteps.h"
#include "control/pump/setpoints.h"
#include "link/wire/numberpatterns.h"

#include <gtest/gtest.h>
#include <random>

using namespace program;
using Kind = Write::Kind;

namespace {

Step hold(double minutes, double flow, std::optional<double> limit = std::nullopt)
{
    return {minutes, flow, Mode::Hold, limit};
}

Step ramp(double minutes, double flow, std::optional<double> limit = std::nullopt)
{
    return {minutes, flow, Mode::Ramp, limit};
}

// "@4000 L01.1" per write: one comparison checks times, kinds, values and order.
std::vector<std::string> described(const std::vector<Write> &writes)
{
    std::vector<std::string> out;
    for (const Write &w : writes) {
        const char letter = "PLRS"[int(w.kind)];
        std::string text = "@" + std::to_string(w.at.count()) + ' ' + letter;
        if (w.kind == Kind::Flow || w.kind == Kind::PressureLimit) {
            text += numberpatterns::tenths(w.value).toStdString();
        }
        out.push_back(text);
    }
    return out;
}

} // namespace

TEST(ProgramSteps, BoundariesAreTheRoundedSumsOfTheMinutes)
{
    struct Row
    {
        Steps steps;
        std::vector<qint64> ms;
    };
    const Row rows[] = {
        {{hold(1, 1)}, {0, 60000}},
        // A third of a minute three times ends on the minute, not a millisecond off it.
        {{hold(1.0 / 3, 1), hold(1.0 / 3, 1), hold(1.0 / 3, 1)}, {0, 20000, 40000, 60000}},
        // Each boundary rounds its own sum: 0.4 ms steps do not vanish together.
        {{hold(0.4 / 60000, 1), hold(0.4 / 60000, 1), hold(0.4 / 60000, 1)}, {0, 0, 1, 1}},
        {{hold(1439.5, 1), hold(0.5, 1)}, {0, 86370000, 86400000}},
    };
    for (const Row &row : rows) {
        std::vector<qint64> got;
        for (const Ms m : boundaries(row.steps)) {
            got.push_back(m.count());
        }
        EXPECT_EQ(got, row.ms);
    }
}

TEST(ProgramSteps, RampWritesWhenTheSentValueChangesAtMostOnceASecond)
{
    struct Row
    {
        const char *what;
        double from, to;
        qint64 length, after;
        std::vector<std::string> writes;
    };
    const Row rows[] = {
        {"a tenth every half second, paced to one a second, none in the last second",
         1.0,
         2.0,
         10000,
         0,
         {"@1000 L01.1", "@2000 L01.2", "@3000 L01.3", "@4000 L01.4", "@5000 L01.5", "@6000 L01.6",
          "@7000 L01.7", "@8000 L01.8", "@9000 L01.9"}},
        {"a slow ramp writes once, where the rounding turns",
         0.5,
         0.6,
         600000,
         0,
         {"@300000 L00.6"}},
        // Halves round away from zero: downwards the text turns a millisecond after the half.
        {"downwards", 2.0, 1.7, 30000, 0, {"@5001 L01.9", "@15001 L01.8", "@25001 L01.7"}},
        {"fast: the value as it is each second",
         0,
         50,
         5000,
         0,
         {"@1000 L10.0", "@2000 L20.0", "@3000 L30.0", "@4000 L40.0"}},
        {"continued mid-ramp: a second after the continue's own frame",
         1.0,
         2.0,
         10000,
         4300,
         {"@5300 L01.5", "@6300 L01.6", "@7300 L01.7", "@8300 L01.8"}},
        {"flat", 3.0, 3.0, 60000, 0, {}},
        {"too short for a frame a second clear of both ends", 1.0, 5.0, 1999, 0, {}},
        {"just long enough", 1.0, 5.0, 2000, 0, {"@1000 L03.0"}},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(described(rampWrites(row.from, row.to, Ms(row.length), Ms(row.after))),
                  row.writes)
            << row.what;
    }
}

TEST(ProgramSteps, ScheduleOfARunWithoutPause)
{
    struct Row
    {
        const char *what;
        Steps steps;
        std::vector<std::string> writes;
    };
    const Row rows[] = {
        {"hold, ramp, hold: the ramp ends on the next step's flow",
         {hold(0.05, 1.0, 2.0), ramp(0.05, 1.0), hold(0.05, 1.3)},
         {"@0 P02.0", "@0 L01.0", "@0 R", "@3000 L01.0", "@4000 L01.1", "@5000 L01.2",
          "@6000 L01.3", "@9000 S"}},
        {"a limit only where given, rounded as sent",
         {hold(0.1, 0.25), hold(0.1, 7.04, 4.96)},
         {"@0 L00.3", "@0 R", "@6000 P05.0", "@6000 L07.0", "@12000 S"}},
        {"ramp to zero, then the stop",
         {ramp(0.05, 0.3), hold(0.01, 0)},
         {"@0 L00.3", "@0 R", "@1000 L00.2", "@2000 L00.1", "@3000 L00.0", "@3600 S"}},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(described(schedule(row.steps)), row.writes) << row.what;
    }
}

TEST(ProgramSteps, ProblemsNameTheStepAndTheBound)
{
    struct Row
    {
        Steps steps;
        qsizetype step; // -2: none
        const char *reasonHas;
    };
    const Row rows[] = {
        {{hold(1, 0), hold(1, limits::maxFlow, limits::maxPressureLimit)}, -2, ""},
        {{}, -1, "没有步骤"},
        {{hold(1, 1), hold(-1, 1)}, 1, "时长 -1 分"},
        {{hold(std::nan(""), 1)}, 0, "必须大于 0"},
        {{hold(1, -0.1)}, 0, "流量 -0.1 超出范围"},
        {{hold(1, 1, -1)}, 0, "压力上限 -1 超出范围"},
        {{hold(1000, 1), hold(440, 1)}, -2, ""},
        {{hold(1, 1), hold(0.000001, 1)}, 1, "不足 1 毫秒"},
    };
    for (const Row &row : rows) {
        const auto found = problem(row.steps);
        if (row.step == -2) {
            EXPECT_FALSE(found) << found->reason.toStdString();
            continue;
        }
        ASSERT_TRUE(found) << row.reasonHas;
        EXPECT_EQ(found->step, row.step) << row.reasonHas;
        EXPECT_TRUE(found->reason.contains(QString::fromUtf8(row.reasonHas)))
            << found->reason.toStdString();
    }
}

// Any program the checks take writes only flows and limits inside the panel's bounds, paces a
// ramp's frames a second apart and ends each ramp exactly on the next step's flow.
TEST(ProgramSteps, AValidProgramNeverLeavesTheBounds)
{
    std::mt19937 rng(20261208);
    const auto pick = [&](double low, double high) {
        // The bounds themselves, and just inside them, come up often.
        switch (rng() % 6) {
        case 0:
            return low;
        case 1:
            return high;
        case 2:
            return high - 0.04;
        default:
            return std::uniform_real_distribution<double>(low, high)(rng);
        }
    };
    int programs = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        Steps steps(1 + rng() % 6);
        for (Step &s : steps) {
            s.minutes = rng() % 3 ? pick(0.001, 3) : pick(1, 200);
            s.flow = pick(0, limits::maxFlow);
            s.mode = rng() % 2 ? Mode::Ramp : Mode::Hold;
            if (rng() % 2) {
                s.pressureLimit = pick(0, limits::maxPressureLimit);
            }
        }
        steps.back().mode = Mode::Hold;
        if (problem(steps)) {
            continue;
        }
        ++programs;
        const std::vector<Ms> bounds = boundaries(steps);
        const std::vector<Write> writes = schedule(steps);
        std::optional<Write> lastFlow;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const Write &w = writes[i];
            if (i > 0) {
                ASSERT_GE(w.at, writes[i - 1].at);
            }
            if (w.kind == Kind::PressureLimit) {
                ASSERT_GE(w.value, 0);
                ASSERT_LE(w.value, limits::maxPressureLimit);
            }
            if (w.kind != Kind::Flow) {
                continue;
            }
            ASSERT_GE(w.value, 0);
            ASSERT_LE(w.value, limits::maxFlow);
            ASSERT_EQ(w.value, asSent(w.value)) << "a value the pump cannot receive as such";
            const std::size_t step = std::size_t(w.step);
            const bool atStart = w.at == bounds[step];
            if (atStart) {
                ASSERT_EQ(w.value, asSent(steps[step].flow));
            } else {
                // A ramp's own frame: paced, clear of the next step's, between its two ends.
                ASSERT_EQ(steps[step].mode, Mode::Ramp);
                ASSERT_GE(w.at - lastFlow->at, rampPace);
                ASSERT_GE(bounds[step + 1] - w.at, rampPace);
                ASSERT_NE(w.value, lastFlow->value) << "a frame although the value did not change";
                const auto [low, high] = std::minmax(steps[step].flow, steps[step + 1].flow);
                ASSERT_GE(w.value, asSent(low));
                ASSERT_LE(w.value, asSent(high));
            }
            lastFlow = w;
        }
        ASSERT_EQ(writes.back().kind, Kind::Stop);
        ASSERT_EQ(writes.back().at, bounds.back());
    }
    EXPECT_GT(programs, 1000) << "too few valid programs drawn to mean anything";
}
