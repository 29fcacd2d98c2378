// How fast the safety stop answers, timed from the pump's side of a pty: the real console on the
// real serial port, a feeder thread playing the pump on the master side.
//
// 1. Reply -> stop frame: pressure replies at the line rate (106.7 a second), every fifth above
//    the upper limit, each timed from its write until the stop frame can be read back; then the
//    same in a flood: bursts of 100 written as fast as the pty takes them, the last one above
//    the limit, so that the console still has replies to handle ahead of it.
// 2. Silence: with a 1 s limit the feeder stops replying; how late the stop comes after the
//    deadline (the last reply's write + 1 s).
// 3. The pty's own cost in the same run: a frame echoed back by a thread on the slave side of a
//    second pty, back to back before the console starts, and paced at the line rate between the
//    line-rate trips. Paced, both ends sleep between frames, and on a virtual machine waking an
//    idle processor alone can take milliseconds; taking the paced echo between the trips puts
//    both under the same load, so the line-rate trips are set against it, the flood against
//    the back-to-back echo.
//
// Times start just before the write, not after it returns: on a busy machine the reader woken
// by the write often runs before the feeder does again, and a time taken after the write then
// comes after most of what it should measure. After each trip the alarm is acknowledged and the
// pump run again on the console's thread, as an operator would. Figures only: the exit status
// says whether the run worked and every stop came, never whether the figures were good.
//
//   bench_safetytrip [TRIPS [SILENCES]]   (default 2000 and 20)
#include "app/systemparts.h"
#include "control/seams/operatorboxes.h"
#include "link/wire/commandframes.h"
#include "link/wire/replyframes.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <QCoreApplication>
#include <QTimer>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double lineRate = 9600.0 / 90.0; // ten bits a character, nine characters a reply
constexpr int repliesPerTripAtLineRate = 5;
constexpr int repliesPerTripInFlood = 100;
// The silence check ticks at a fixed phase from the run frame: 5 to 10 replies (47 ms apart at
// the most) put the deadline at different places between two ticks.
constexpr int repliesBeforeSilence = 5;
constexpr auto frameWait = 2s; // far beyond any stop the console could still be owing

double msSince(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Nearest rank: the figure no more than `share` of the samples exceed.
double percentile(std::vector<double> samples, double share)
{
    std::sort(samples.begin(), samples.end());
    const auto rank = std::size_t(std::ceil(share * double(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

// Pressures inside the band (below 12.0), each unlike the one before, or above it.
QByteArray reply(int n, bool aboveLimit = false)
{
    return replyframes::encode(1, 'N', aboveLimit ? 12.1 + (n % 50) / 10.0 : (n % 120) / 10.0);
}

// Writes every byte, waiting for the pty to take them when it is full.
bool writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), std::size_t(bytes.size()));
        if (n > 0) {
            bytes = bytes.sliced(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

// The pump's end of the pty, the master side, non-blocking: what the console writes is gathered
// in `m_in`.
class PumpEnd
{
public:
    explicit PumpEnd(int master) : m_fd(master) {}

    // Waits up to `wait` for `frame`; takes it and everything before it.
    bool await(const QByteArray &frame, Steady::duration wait)
    {
        const auto deadline = Steady::now() + wait;
        char buffer[4096];
        while (true) {
            for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
                m_in.append(buffer, n);
            }
            if (const qsizetype at = m_in.indexOf(frame); at >= 0) {
                m_in.remove(0, at + frame.size());
                return true;
            }
            const auto left = deadline - Steady::now();
            if (left <= 0s) {
                return false;
            }
            pollfd p{m_fd, POLLIN, 0};
            ::poll(&p, 1, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
    }

    bool write(QByteArrayView bytes) { return writeAll(m_fd, bytes); }

private:
    int m_fd;
    QByteArray m_in;
};

// The operator, as far as the safety stop needs one: alarms are kept to be acknowledged.
class BenchBoxes final : public OperatorBoxes
{
public:
    int alarms = 0;
    int others = 0; // tell and notify: none are expected

    std::optional<QString> ask(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> choose(const QString &, const QString &, const QStringList &,
                                  const QString &) override
    {
        return std::nullopt;
    }
    void tell(const QString &, const QString &) override { ++others; }
    void notify(const QString &, const QString &) override { ++others; }
    void alarm(const QString &, const QString &, std::function<void()> acknowledged) override
    {
        ++alarms;
        m_acknowledge = std::move(acknowledged);
    }
    void acknowledge()
    {
        if (auto acknowledged = std::exchange(m_acknowledge, {})) {
            acknowledged();
        }
    }

private:
    std::function<void()> m_acknowledge;
};

struct Figures
{
    std::vector<double> echo, pacedEcho, lineRate, flood, silenceLateness;
    std::string failure;
};

// A pseudo-terminal in raw mode: the master side non-blocking, our own handle on the slave side
// held to the end (without it the master sees a hang-up whenever the console's side is closed).
struct Pty
{
    int master = -1;
    int slave = -1;
    QString slaveName;

    bool open()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char *name = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0
                               ? ::ptsname(master)
                               : nullptr;
        slave = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
        termios raw{};
        if (slave < 0 || ::tcgetattr(slave, &raw) != 0) {
            return false;
        }
        // Raw before anything is echoed: the line discipline would otherwise hold bytes for a
        // line.
        ::cfmakeraw(&raw);
        slaveName = QString::fromLocal8Bit(name);
        return ::tcsetattr(slave, TCSANOW, &raw) == 0;
    }
    ~Pty()
    {
        for (const int fd : {slave, master}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
};

// The baseline: a trivial reader on the slave side of its own pty echoes each frame straight
// back, `count` frames in all.
class Echo
{
public:
    Echo(Pty &pty, int count) : m_master(pty.master)
    {
        m_thread = std::thread([slave = pty.slave, count] {
            char frame[9];
            for (int i = 0; i < count; ++i) {
                std::size_t got = 0;
                while (got < sizeof frame) {
                    const ssize_t n = ::read(slave, frame + got, sizeof frame - got);
                    if (n <= 0) {
                        return;
                    }
                    got += std::size_t(n);
                }
                writeAll(slave, QByteArrayView(frame, sizeof frame));
            }
        });
    }
    ~Echo()
    {
        // A thread still waiting for an echo that failed is left to the process's end.
        m_failed ? m_thread.detach() : m_thread.join();
    }

    // One frame there and back; false when it never came back.
    bool time(int n, std::vector<double> &samples)
    {
        const QByteArray frame = reply(n);
        const auto written = Steady::now();
        m_master.write(frame);
        m_failed = !m_master.await(frame, frameWait);
        if (!m_failed) {
            samples.push_back(msSince(written, Steady::now()));
        }
        return !m_failed;
    }

private:
    PumpEnd m_master;
    std::thread m_thread;
    bool m_failed = false;
};

// On the console's thread: once every reply written so far has been handled, the operator
// acknowledges the stop and runs the pump again. Not sooner: a frame written while replies wait
// can cost the line (Qt's read notifier fires for bytes the write's own wait has already taken,
// reads nothing and reports a read error), which is not what this run measures.
void rearm(PumpConsole &console, BenchBoxes &boxes, const int &handled, int written)
{
    if (handled < written) {
        QTimer::singleShot(1ms, &console, [&console, &boxes, &handled, written] {
            rearm(console, boxes, handled, written);
        });
        return;
    }
    boxes.acknowledge();
    console.runPump();
}

// The pump's side of the run, on its own thread; the console is reached only through queued
// calls on its own thread, as a window's clicks would reach it. `handled`: the replies the
// console has handled, read on its thread only.
void feed(PumpConsole &console, BenchBoxes &boxes, const int &handled, PumpEnd &master, Echo &echo,
          int trips, int silences, Figures &figures)
{
    const qint16 pump = console.pump().setpoints().pumpNumber();
    const QByteArray runFrame = commandframes::run(pump);
    const QByteArray stopFrame = commandframes::stop(pump);
    const auto onConsole = [&console](auto call) {
        QMetaObject::invokeMethod(&console, call, Qt::QueuedConnection);
    };
    const auto fail = [&figures](const char *why) {
        figures.failure = why;
        return false;
    };
    int replies = 0; // every pressure reply written
    // The operator acknowledges the last stop (if any) and runs the pump again.
    const auto arm = [&] {
        onConsole([&console, &boxes, &handled, written = replies] {
            rearm(console, boxes, handled, written);
        });
        return master.await(runFrame, frameWait) || fail("the run frame never came");
    };
    const auto period = std::chrono::duration_cast<Steady::duration>(1s / lineRate);

    const auto atLineRate = [&] {
        onConsole([c = &console] { c->setSafetyLimits({12.0, {}, {}}); });
        auto due = Steady::now();
        for (int trip = 0; trip < trips; ++trip) {
            if (!arm()) {
                return false;
            }
            due = std::max(due, Steady::now());
            for (int i = 1; i < repliesPerTripAtLineRate; ++i) {
                std::this_thread::sleep_until(due);
                master.write(reply(replies++));
                due += period;
            }
            std::this_thread::sleep_until(due);
            const auto written = Steady::now();
            master.write(reply(replies++, true));
            due += period;
            if (!master.await(stopFrame, frameWait)) {
                return fail("a reply above the limit was never stopped at line rate");
            }
            figures.lineRate.push_back(msSince(written, Steady::now()));
            std::this_thread::sleep_until(due);
            due += period;
            if (!echo.time(trip, figures.pacedEcho)) {
                return fail("an echo never came back");
            }
        }
        return true;
    };

    const auto inFlood = [&] {
        for (int trip = 0; trip < trips; ++trip) {
            if (!arm()) {
                return false;
            }
            QByteArray burst;
            for (int i = 1; i < repliesPerTripInFlood; ++i) {
                burst += reply(replies++);
            }
            master.write(burst);
            const auto written = Steady::now();
            master.write(reply(replies++, true));
            if (!master.await(stopFrame, frameWait)) {
                return fail("a reply above the limit was never stopped in a flood");
            }
            figures.flood.push_back(msSince(written, Steady::now()));
        }
        return true;
    };

    const auto silent = [&] {
        onConsole([c = &console] { c->setSafetyLimits({{}, {}, 1}); });
        for (int trip = 0; trip < silences; ++trip) {
            if (!arm()) {
                return false;
            }
            auto due = Steady::now();
            for (int i = 0; i < repliesBeforeSilence + trip % 6; ++i) {
                std::this_thread::sleep_until(due);
                master.write(reply(replies++));
                due += period;
            }
            const auto deadline = Steady::now() + 1s;
            if (!master.await(stopFrame, 1s + frameWait)) {
                return fail("a silent pump was never stopped");
            }
            figures.silenceLateness.push_back(msSince(deadline, Steady::now()));
        }
        return true;
    };

    (void)(atLineRate() && inFlood() && silent());
    onConsole([] { QCoreApplication::quit(); });
}

void printLatency(const char *what, const std::vector<double> &ms, const std::vector<double> &echo)
{
    std::printf("%-34s p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms  (%zu trips)  / echo: p50 %.1fx, "
                "p99 %.1fx\n",
                what, percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0), ms.size(),
                percentile(ms, 0.5) / percentile(echo, 0.5),
                percentile(ms, 0.99) / percentile(echo, 0.99));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int trips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int silences = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;

    Pty consolePty;
    Pty echoPty;
    if (!consolePty.open() || !echoPty.open()) {
        std::fprintf(stderr, "bench_safetytrip: no pseudo-terminal\n");
        return 1;
    }
    PumpEnd master(consolePty.master);
    Figures figures;

    // The back-to-back baseline first, while nothing else runs.
    Echo echo(echoPty, 2 * trips);
    for (int i = 0; i < trips; ++i) {
        if (!echo.time(i, figures.echo)) {
            std::fprintf(stderr, "bench_safetytrip: an echo never came back\n");
            return 1;
        }
    }

    SystemParts system;
    BenchBoxes boxes;
    PumpConsole console(system.seams(boxes));
    console.connectTo(consolePty.slaveName);
    if (!console.isConnected()) {
        std::fprintf(stderr, "bench_safetytrip: the console did not connect to the pty\n");
        return 1;
    }
    int handled = 0;
    QObject::connect(&console.line(), &PumpLine::replyReceived, &console,
                     [&handled] { ++handled; });
    std::thread feeder(feed, std::ref(console), std::ref(boxes), std::cref(handled),
                       std::ref(master), std::ref(echo), trips, silences, std::ref(figures));
    app.exec();
    feeder.join();
    console.closeLine();

    if (!figures.failure.empty()) {
        std::fprintf(stderr, "bench_safetytrip: %s (after %zu + %zu trips; other boxes %d)\n",
                     figures.failure.c_str(), figures.lineRate.size(), figures.flood.size(),
                     boxes.others);
        return 1;
    }
    std::printf("pty %s; %d trips each; alarms %d, other boxes %d\n",
                qPrintable(consolePty.slaveName), trips, boxes.alarms, boxes.others);
    const auto printEcho = [](const char *what, const std::vector<double> &ms) {
        std::printf("%-34s p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms  (%zu frames)\n", what,
                    percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0), ms.size());
    };
    printEcho("echo, back to back (baseline)", figures.echo);
    printEcho("echo, line rate (baseline)", figures.pacedEcho);
    printLatency("reply -> stop, line rate", figures.lineRate, figures.pacedEcho);
    printLatency("reply -> stop, flood (1 in 100)", figures.flood, figures.echo);
    std::printf("%-34s p50 %7.3f ms  max %7.3f ms  (%zu trips, 1 s limit)\n",
                "silence stop after its deadline", percentile(figures.silenceLateness, 0.5),
                percentile(figures.silenceLateness, 1.0), figures.silenceLateness.size());
    return 0;
}
