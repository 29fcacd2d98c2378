#include "control/program/programsteps.h"

#include "control/pump/setpoints.h"
#include "link/wire/numberpatterns.h"
#include "link/wire/numbertext.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace program {

namespace {

bool within(double value, double highest)
{
    return std::isfinite(value) && value >= 0 && value <= highest;
}

qint64 msOf(double minutes)
{
    return std::llround(minutes * 60000.0);
}

} // namespace

QString stepProblem(const Step &step, bool last)
{
    if (!std::isfinite(step.minutes) || step.minutes <= 0) {
        return u"时长 %1 分：必须大于 0"_s.arg(numbertext::shortest(step.minutes));
    }
    // The keypad's and the dialogs' bounds: a program never asks the pump for more than an
    // operator could.
    if (!within(step.flow, limits::maxFlow)) {
        return u"流量 %1 超出范围 0～%2 ml/min"_s.arg(numbertext::shortest(step.flow))
            .arg(limits::maxFlow, 0, 'f', 1);
    }
    if (step.pressureLimit && !within(*step.pressureLimit, limits::maxPressureLimit)) {
        return u"压力上限 %1 超出范围 0～%2 MPa"_s.arg(numbertext::shortest(*step.pressureLimit))
            .arg(limits::maxPressureLimit, 0, 'f', 1);
    }
    if (last && step.mode == Mode::Ramp) {
        return u"最后一步不能渐变：没有下一步的流量可以渐变到"_s;
    }
    return {};
}

std::optional<Problem> problem(const Steps &steps)
{
    if (steps.empty()) {
        return Problem{-1, u"程序中没有步骤"_s};
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const QString reason = stepProblem(steps[i], i + 1 == steps.size());
        if (!reason.isEmpty()) {
            return Problem{qsizetype(i), reason};
        }
    }
    const std::vector<Ms> bounds = boundaries(steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (bounds[i + 1] > longest) {
            return Problem{qsizetype(i), u"程序总长超过 24 小时（1440 分）"_s};
        }
        if (bounds[i + 1] <= bounds[i]) {
            return Problem{qsizetype(i), u"时长 %1 分：不足 1 毫秒"_s.arg(
                                             numbertext::shortest(steps[i].minutes))};
        }
    }
    return std::nullopt;
}

QString describe(const Problem &problem)
{
    return problem.step < 0 ? problem.reason
                            : u"第 %1 步：%2"_s.arg(problem.step + 1).arg(problem.reason);
}

std::vector<Ms> boundaries(const Steps &steps)
{
    std::vector<Ms> bounds;
    bounds.reserve(steps.size() + 1);
    double minutes = 0;
    bounds.push_back(Ms(0));
    for (const Step &step : steps) {
        minutes += step.minutes;
        bounds.push_back(Ms(msOf(minutes)));
    }
    return bounds;
}

double asSent(double value)
{
    return numbertext::toDouble(numberpatterns::tenths(value)).value_or(0.0);
}

double rampFlow(double from, double to, Ms length, Ms at)
{
    if (length.count() <= 0) {
        return to;
    }
    const double share = std::clamp(double(at.count()) / double(length.count()), 0.0, 1.0);
    // The sum may land an ulp beyond an end; the pump must never be asked for more than either.
    return std::clamp(from + (to - from) * share, std::min(from, to), std::max(from, to));
}

double flowAt(const Steps &steps, Ms at)
{
    if (steps.empty()) {
        return 0;
    }
    const std::vector<Ms> bounds = boundaries(steps);
    const auto after = std::upper_bound(bounds.begin() + 1, bounds.end() - 1, at);
    const std::size_t i = std::size_t(after - bounds.begin()) - 1;
    const Step &step = steps[i];
    if (step.mode == Mode::Hold || i + 1 >= steps.size()) {
        return step.flow;
    }
    return rampFlow(step.flow, steps[i + 1].flow, bounds[i + 1] - bounds[i], at - bounds[i]);
}

std::vector<Write> rampWrites(double from, double to, Ms length, Ms after)
{
    std::vector<Write> writes;
    const auto text = [&](qint64 at) {
        return numberpatterns::tenths(rampFlow(from, to, length, Ms(at)));
    };
    const qint64 latest = (length - rampPace).count();
    qint64 last = after.count();
    QString lastText = text(last);
    while (last + rampPace.count() <= latest && text(latest) != lastText) {
        // The value only moves one way, so the first moment its text differs is found by
        // halving: at most 27 looks over a day.
        qint64 low = last + 1;
        qint64 high = latest;
        while (low < high) {
            const qint64 middle = low + (high - low) / 2;
            if (text(middle) != lastText) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        last = std::max(low, last + rampPace.count());
        lastText = text(last);
        writes.push_back(
            {Ms(last), Write::Kind::Flow, numbertext::toDouble(lastText).value_or(0.0), -1});
    }
    return writes;
}

std::vector<Write> stepWrites(const Steps &steps, qsizetype step)
{
    const std::vector<Ms> bounds = boundaries(steps);
    const Step &s = steps[std::size_t(step)];
    const Ms start = bounds[std::size_t(step)];
    std::vector<Write> writes;
    // The limit first: it guards the new flow from the frame that sets it.
    if (s.pressureLimit) {
        writes.push_back({start, Write::Kind::PressureLimit, asSent(*s.pressureLimit), step});
    }
    writes.push_back({start, Write::Kind::Flow, asSent(s.flow), step});
    if (s.mode == Mode::Ramp && std::size_t(step) + 1 < steps.size()) {
        for (Write w : rampWrites(s.flow, steps[std::size_t(step) + 1].flow,
                                  bounds[std::size_t(step) + 1] - start, Ms(0))) {
            w.at += start;
            w.step = step;
            writes.push_back(w);
        }
    }
    return writes;
}

std::vector<Write> schedule(const Steps &steps)
{
    std::vector<Write> writes;
    for (qsizetype i = 0; i < qsizetype(steps.size()); ++i) {
        const std::vector<Write> own = stepWrites(steps, i);
        writes.insert(writes.end(), own.begin(), own.end());
        if (i == 0) {
            // The run frame right after the first step's own frames, before its ramp's.
            const auto later = std::find_if(writes.begin(), writes.end(),
                                            [](const Write &w) { return w.at > Ms(0); });
            writes.insert(later, {Ms(0), Write::Kind::Run, 0, 0});
        }
    }
    if (!steps.empty()) {
        writes.push_back(
            {boundaries(steps).back(), Write::Kind::Stop, 0, qsizetype(steps.size()) - 1});
    }
    return writes;
}

} // namespace program
