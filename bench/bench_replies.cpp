// How many pump replies per second the console digests, against the cost of only cutting the
// same bytes into frames, measured in the same run. At 9600 baud the line carries at most
// ~107 replies per second; the ratio shows how much of the handler's time goes to the
// read-outs, the chart and the record rather than to the frame reader.
//
//   bench_replies [REPLIES]   (default 200000)
#include "link/wire/framereader.h"
#include "support/doubles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <QCoreApplication>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray replies(int count)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 9);
    static const char *const letters = "NNNNNNNNPL";
    for (int i = 0; i < count; ++i) {
        const int tenths = i % 200;
        bytes += QStringLiteral("Q01%1%2.%3Y")
                     .arg(QChar::fromLatin1(letters[i % 10]))
                     .arg(tenths / 10, 2, 10, QChar(u'0'))
                     .arg(tenths % 10)
                     .toLatin1();
    }
    return bytes;
}

template<typename F> double medianSeconds(F &&run)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    // Reads of about one reply each, as the port delivers them, with a few bursts.
    const QByteArray stream = replies(count);
    std::vector<QByteArray> reads;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = (at / 9) % 50 == 0 ? 9 * 20 : 9;
        reads.push_back(stream.mid(at, n));
        at += n;
    }

    std::size_t frames = 0;
    const double reader = medianSeconds([&] {
        FrameReader r;
        for (const auto &read : reads) {
            frames += r.feed(read).size();
        }
    });

    std::size_t lines = 0;
    const double console = medianSeconds([&] {
        TestConsole c;
        c.connect();
        for (const auto &read : reads) {
            c.port.receive(read);
            lines = std::max(lines, c.console.chart().lines().size());
        }
    });

    std::printf("replies: %d in %zu reads\n", count, reads.size());
    std::printf("frame reader only:   %8.1f ns/reply (baseline)\n", reader / count * 1e9);
    std::printf("full reply handling: %8.1f ns/reply  = %.1fx baseline, %.0f replies/s\n",
                console / count * 1e9, console / reader, count / console);
    std::printf("line rate at 9600 baud: 107 replies/s, %.0fx headroom\n", count / console / 107);
    std::printf("chart drawing list never above %zu lines (bound %zu)\n", lines,
                ChartDrawing::maxLines);
    return frames == std::size_t(count) * 5 ? 0 : 1;
}
