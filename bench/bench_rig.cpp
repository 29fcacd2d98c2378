// Eight pumps in one console, against the console with one pump, in the same run: two ports
// with four pump numbers each, replies of every pump interleaved as the pumps share the lines.
// Checks that no reply is lost or goes to the wrong pump (each pump's pressures lie in a band
// of their own), and prints the cost per reply of each against the other. Then, with the 多泵
// window up, how long from a reply's arrival until its row is painted again (p50 and p99).
//
//   bench_rig [REPLIES]   (default 1000000)
#include "link/wire/replyframes.h"
#include "support/doubles.h"
#include "ui/pumps/pumpswindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <QApplication>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Steady = std::chrono::steady_clock;

constexpr int pumpsPerPort = 4;

// Pump `number`'s i-th pressure: within [number, number + 1) MPa, so that a reply that went to
// another pump shows in that pump's record.
QByteArray reply(int number, int i)
{
    return replyframes::encode(number, 'N', number + (i % 10) / 10.0);
}

// Reads of about one reply each, as a port delivers them.
std::vector<QByteArray> reads(const std::vector<int> &numbers, int count)
{
    std::vector<QByteArray> out;
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        out.push_back(reply(numbers[std::size_t(i) % numbers.size()], i));
    }
    return out;
}

double secondsFor(const std::function<void()> &run)
{
    const auto start = Steady::now();
    run();
    return std::chrono::duration<double>(Steady::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    // Painted off screen unless a display is chosen: the rows' own cost, not the X server's.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(16, std::atoi(argv[1])) : 1'000'000;
    const std::vector<QByteArray> one = reads({0}, count);
    const std::vector<QByteArray> portOne = reads({0, 1, 2, 3}, count / 2);
    const std::vector<QByteArray> portTwo = reads({4, 5, 6, 7}, count / 2);

    TestConsole single;
    single.connect();
    const double singleSeconds = secondsFor([&] {
        for (const QByteArray &read : one) {
            single.port.receive(read);
        }
    });

    TestConsole eight;
    eight.connect(); // the panel's pump 0 on port 1
    PumpRig &rig = eight.console.rig();
    for (int n = 1; n < 2 * pumpsPerPort; ++n) {
        if (!rig.addPump(n < pumpsPerPort ? u"1"_s : u"2"_s, qint16(n))) {
            std::fprintf(stderr, "bench_rig: pump %d could not be added\n", n);
            return 1;
        }
    }
    FakePort &second = *eight.rigParts.ports.at(0);
    const double eightSeconds = secondsFor([&] {
        for (std::size_t i = 0; i < portOne.size(); ++i) {
            eight.port.receive(portOne[i]);
            second.receive(portTwo[i]);
        }
    });

    // Every pump got its share, and only its own.
    bool routed = rig.droppedReplies() == 0;
    for (const PumpRig::Row &row : rig.rows()) {
        const int number = row.pump->setpoints().pumpNumber();
        const auto values = row.pump->record().values();
        routed = routed && qsizetype(values.size()) == count / 2 / pumpsPerPort &&
                 std::all_of(values.begin(), values.end(),
                             [number](double v) { return v >= number && v < number + 1; });
    }
    const int eightCount = int(2 * portOne.size());
    const double singleNs = singleSeconds / count * 1e9;
    const double eightNs = eightSeconds / eightCount * 1e9;
    std::printf("one pump:    %d replies, %8.1f ns/reply (baseline)\n", count, singleNs);
    std::printf("eight pumps: %d replies on two ports, %8.1f ns/reply = %.2fx baseline\n",
                eightCount, eightNs, eightNs / singleNs);
    std::printf("routing: %s (%lld dropped)\n", routed ? "every reply to its own pump" : "WRONG",
                static_cast<long long>(rig.droppedReplies()));

    // Reply to pixels: each reply handled, then what it changed painted, as the event loop
    // would paint it.
    PumpsWindow window(rig, eight.boxes);
    window.show();
    QCoreApplication::processEvents();
    const int painted = std::min<int>(5'000, int(portOne.size()));
    // What the reply changed, as the event loop paints it; and the whole window, the most a
    // reply could cost.
    for (const bool whole : {false, true}) {
        std::vector<double> ms;
        for (int i = 0; i < painted; ++i) {
            const auto arrived = Steady::now();
            const auto at = std::size_t(i);
            (i % 2 ? second : eight.port).receive(i % 2 ? portTwo[at] : portOne[at]);
            if (whole) {
                window.repaint();
            } else {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            }
            ms.push_back(
                std::chrono::duration<double, std::milli>(Steady::now() - arrived).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("多泵 window, %-17s reply to pixels p50 %.3f ms, p99 %.3f ms (%d replies)\n",
                    whole ? "whole window:" : "what changed:", ms[ms.size() / 2],
                    ms[ms.size() * 99 / 100], painted);
    }
    return routed ? 0 : 1;
}
