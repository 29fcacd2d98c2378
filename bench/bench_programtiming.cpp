// How late a program's frames go out against their times, on the system's steady clock and the
// real 20 ms ticker (as the program has it): a program of 3 s steps, held and ramped in turn,
// for SECONDS; each frame's lateness is its write time less the program's start plus its place
// in the schedule. A tick only reads the clock, so a frame is late by at most one tick period
// plus however long the event loop was held; the first and the last fifth of the run are set
// side by side to show that this does not grow with the program's length (the ticks' phase
// against the steps wanders, so the two fifths differ within that bound).
// BUSY_MS > 0 holds the event loop that long every 250 ms, as a window busy painting would.
//
//   bench_programtiming [SECONDS] [BUSY_MS]   (default 60 0)
#include "control/program/programsteps.h"
#include "support/doubles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

// The line's far end: takes every frame and notes when it came.
class TimedPort final : public PumpPort
{
public:
    std::vector<std::pair<Steady::time_point, QByteArray>> written;

    PortStatus open(const QString &) override { return PortStatus::success(); }
    void close() override {}
    bool isOpen() const override { return true; }
    QString device() const override { return QStringLiteral("bench"); }
    QByteArray readAll() override { return {}; }
    PortStatus writeFrame(const QByteArray &frame) override
    {
        written.emplace_back(Steady::now(), frame);
        return PortStatus::success();
    }
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    const int busyMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;

    TimedPort port;
    ScriptedBoxes boxes;
    FakePortInfoSource system;
    SystemClock clock;
    ManualTicker runTicker, staleTicker, pollTicker, safetyTicker;
    QtTicker programTicker(std::chrono::milliseconds(20));
    PumpConsole console({port, boxes, system, clock, runTicker, staleTicker, pollTicker,
                         safetyTicker, programTicker});

    program::Steps steps;
    for (int i = 0; i < seconds / 3; ++i) {
        const double flow = (i % 5) * 2.0;
        steps.push_back({0.05, flow, i % 2 ? program::Mode::Ramp : program::Mode::Hold, {}});
    }
    steps.back().mode = program::Mode::Hold;
    const std::vector<program::Write> schedule = program::schedule(steps);

    QTimer busy;
    if (busyMs > 0) {
        QObject::connect(&busy, &QTimer::timeout, [busyMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(busyMs));
        });
        busy.start(250);
    }
    const Steady::time_point start = Steady::now();
    if (!console.program().start(steps, QStringLiteral("bench"))) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    while (console.program().isActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }

    if (port.written.size() != schedule.size()) {
        std::printf("frames: %zu written, %zu scheduled (a tick over a second late merges ramp "
                    "frames)\n",
                    port.written.size(), schedule.size());
    }
    std::vector<double> all, stepStarts, first, last;
    const std::vector<program::Ms> bounds = program::boundaries(steps);
    const auto total = double(bounds.back().count());
    for (std::size_t i = 0; i < std::min(port.written.size(), schedule.size()); ++i) {
        const double late =
            std::chrono::duration<double, std::milli>(port.written[i].first - start).count() -
            double(schedule[i].at.count());
        all.push_back(late);
        const auto step = std::size_t(schedule[i].step);
        if (schedule[i].at == bounds[step]) {
            stepStarts.push_back(late);
        }
        const double share = double(schedule[i].at.count()) / total;
        if (share < 0.2) {
            first.push_back(late);
        } else if (share >= 0.8) {
            last.push_back(late);
        }
    }
    std::printf(
        "program of %zu steps over %d s, ticker 20 ms, event loop held %d ms every 250 ms\n",
        steps.size(), seconds, busyMs);
    std::printf("lateness (ms)         frames    p50     p99     max\n");
    const auto row = [](const char *name, const std::vector<double> &v) {
        std::printf("%-20s %7zu %7.1f %7.1f %7.1f\n", name, v.size(), percentile(v, 0.5),
                    percentile(v, 0.99), v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
    };
    row("every frame", all);
    row("step starts", stepStarts);
    row("first fifth", first);
    row("last fifth", last);
    return 0;
}
