// A long day at the bench in a few seconds: millions of pressure replies through the whole
// reply path (frame reader, chart sweep, read-outs, record), with the console's resident memory
// read before the first reply and again at two marks. The record stops growing at its bound and
// the chart's drawing list is bounded, so memory must level off after the first mark. Printed
// for people to read, never asserted: the figures depend on the machine and its allocator.
//
//   bench_soak [FIRST [TOTAL]]   (default 1000000 and 5000000 replies)
#include "support/doubles.h"

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QFile>

namespace {

// The resident set in MB, as the kernel reports it; -1 where there is no /proc.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // Read whole: the file reports a size of 0, so atEnd() would hold from the start.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
        }
    }
    return -1;
}

// Ten replies a read, their pressures sweeping 00.0 to 19.9 so that the chart keeps moving.
QByteArray replies(int first)
{
    QByteArray bytes;
    for (int i = first; i < first + 10; ++i) {
        const int tenths = i % 200;
        bytes += "Q01N";
        bytes += char('0' + tenths / 100);
        bytes += char('0' + tenths / 10 % 10);
        bytes += '.';
        bytes += char('0' + tenths % 10);
        bytes += 'Y';
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int first = argc > 1 ? std::max(10, std::atoi(argv[1])) / 10 * 10 : 1'000'000;
    const int total = argc > 2 ? std::max(first, std::atoi(argv[2])) / 10 * 10 : 5'000'000;

    TestConsole c;
    c.connect();
    const double start = residentMegabytes();
    std::printf("replies %10s  VmRSS %7.1f MB (baseline)\n", "0", start);

    std::size_t longestDrawing = 0;
    for (int done = 0; done < total; done += 10) {
        c.port.receive(replies(done));
        longestDrawing = std::max(longestDrawing, c.console.chart().lines().size());
        const int now = done + 10;
        if (now == first || now == total) {
            const double rss = residentMegabytes();
            std::printf("replies %10d  VmRSS %7.1f MB = %.2fx baseline (%+.1f MB)\n", now, rss,
                        rss / start, rss - start);
        }
    }

    const auto notices = c.boxes.messages(QStringLiteral("notify"));
    std::printf("record: %lld values (bound %lld); record-full notices: %zu\n",
                static_cast<long long>(c.console.pump().record().size()),
                static_cast<long long>(c.console.pump().record().limit()), notices.size());
    std::printf("chart drawing list never above %zu lines (bound %zu)\n", longestDrawing,
                ChartDrawing::maxLines);
    std::printf("last pressure shown: %s\n", qPrintable(c.caption(Readout::Pressure)));
    return 0;
}
