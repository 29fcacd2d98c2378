// What the trend costs, each figure against a baseline from the same run:
// - opening a run log of the rollover size (100 MB, about 1.4 million rows): the time to the
//   first picture and to the whole file, against reading the same bytes and doing nothing
//   with them; the memory the loaded trend holds;
// - repainting the whole file, panned and zoomed, against painting the same plot with no data;
// - live: the console's thread per reply with the trend window listening, against without.
//
//   bench_trend [MEGABYTES] [REPLIES]   (default 100 and 100000)
#include "control/runlog/runlogformat.h"
#include "support/doubles.h"
#include "ui/trend/logfollower.h"
#include "ui/trend/trendplot.h"
#include "ui/trend/trendwindow.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Resident memory in MB, from the kernel's own count.
double residentMb(const char *field = "VmRSS:")
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(std::string(field).size())) / 1024.0;
        }
    }
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A run as the console logs it: replies at line rate (107 a second) rising and falling, a
// setpoint echo now and then, a command every few minutes and a mark an hour.
qint64 writeLog(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return 0;
    }
    file.write(runlog::header());
    const qint64 start = 1'796'000'000'000; // late 2026
    QByteArray rows;
    qint64 written = 0;
    for (qint64 i = 0; written < bytes; ++i) {
        RunEvent e;
        const qint64 ms = i * 1000 / 107;
        e.time = {start + ms, 8 * 3600, ms * 1'000'000};
        const int hundredths = int((i / 3) % 4000 + (i % 97 == 0 ? 900 : 0));
        e.value = QString::number(hundredths / 100.0, 'f', 1).rightJustified(4, u'0');
        e.frame = "Q01N" + e.value.toLatin1() + "Y";
        e.mpa = hundredths / 100.0;
        if (i % 500 == 499) {
            e.kind = RunEventKind::FlowSetpoint;
            e.value = u"05.0"_s;
        } else if (i % 30'000 == 0) {
            e.kind = RunEventKind::CommandSent;
            e.command = i % 60'000 == 0 ? PumpCommand::Run : PumpCommand::Stop;
        } else if (i % 385'000 == 1) {
            e.kind = RunEventKind::Mark;
            e.note = u"换柱"_s;
        }
        runlog::appendRow(rows, e, 0);
        if (rows.size() > 1 << 20) {
            written += file.write(rows);
            rows.clear();
        }
    }
    written += file.write(rows);
    return written;
}

double readBaselineMs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    (void)file.open(QIODevice::ReadOnly);
    QByteArray piece(LogFollower::pieceBytes, Qt::Uninitialized);
    quint64 sum = 0;
    for (qint64 got; (got = file.read(piece.data(), piece.size())) > 0;) {
        sum += quint8(piece[got - 1]);
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("(read checksum %llu)\n", static_cast<unsigned long long>(sum));
    return ms;
}

double paintMs(TrendPlot &plot, QImage &image)
{
    QElapsedTimer timer;
    timer.start();
    QPainter painter(&image);
    plot.render(painter, image.rect());
    painter.end();
    return double(timer.nsecsElapsed()) / 1e6;
}

double liveCost(const std::vector<QByteArray> &reads, bool withTrend)
{
    TestConsole c;
    std::unique_ptr<TrendWindow> trend;
    if (withTrend) {
        trend = std::make_unique<TrendWindow>(c.console, c.boxes);
        trend->show(); // shown and following, as an operator watching it has it
    }
    c.connect();
    const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (const QByteArray &read : reads) {
        c.clock.advance(9);
        c.port.receive(read); // (this also runs the event loop once, as a real read would)
    }
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int replies = argc > 2 ? std::max(100, std::atoi(argv[2])) : 100'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"run.csv"_s);
    const qint64 bytes = writeLog(path, megabytes * 1024 * 1024);
    if (bytes <= 0) {
        std::fprintf(stderr, "bench_trend: cannot write %s\n", qPrintable(path));
        return 1;
    }

    // Opening, against reading the bytes (the file is in the page cache for both).
    const double readMs = readBaselineMs(path);
    const double rssBefore = residentMb();
    TrendSeries series;
    LogFollower follower(series);
    TrendPlot plot(&series);
    plot.resize(1200, 600);
    QImage image(plot.size(), QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    if (const QString why = follower.open(path); !why.isEmpty()) {
        std::fprintf(stderr, "bench_trend: %s\n", qPrintable(why));
        return 1;
    }
    plot.showAll();
    (void)paintMs(plot, image);
    const double firstPictureMs = double(timer.nsecsElapsed()) / 1e6;
    QEventLoop loop;
    QObject::connect(&follower, &LogFollower::reachedEnd, &loop, &QEventLoop::quit);
    loop.exec();
    plot.showAll();
    (void)paintMs(plot, image);
    const double wholeMs = double(timer.nsecsElapsed()) / 1e6;
    const double rssAfter = residentMb();
    follower.stop();
    const auto rows = series.times().size();

    // Repaints of the whole file, panned and zoomed, against the same plot with no data.
    std::vector<double> full, panned, zoomed, minute, empty;
    const qint64 from = plot.viewFrom(), to = plot.viewTo();
    const TrendSeries none;
    TrendPlot bare(&none);
    bare.resize(plot.size());
    bare.setView(from, to);
    for (int i = 0; i < 30; ++i) {
        plot.setView(from, to);
        full.push_back(paintMs(plot, image));
        const qint64 shift = (to - from) / 10 * (i % 5);
        plot.setView(from + shift, to + shift);
        panned.push_back(paintMs(plot, image));
        plot.setView(from + (to - from) / 3, from + (to - from) / 3 + (to - from) / 50);
        zoomed.push_back(paintMs(plot, image));
        // What following a live connection shows: its newest minute.
        plot.setView(series.lastMs() - TrendPlot::followSpanMs, series.lastMs());
        minute.push_back(paintMs(plot, image));
        empty.push_back(paintMs(bare, image));
    }

    // Live: the console with and without the trend listening, alternately.
    std::vector<QByteArray> reads;
    for (int i = 0; i < replies; ++i) {
        const int tenths = (i / 7) % 400;
        reads.push_back("Q01N" + QByteArray::number(tenths / 10).rightJustified(2, '0') + '.' +
                        QByteArray::number(tenths % 10) + 'Y');
    }
    std::vector<double> without, with;
    for (int round = 0; round < 5; ++round) {
        without.push_back(liveCost(reads, false));
        with.push_back(liveCost(reads, true));
    }

    std::printf("run log: %.1f MB, %zu pressures\n", double(bytes) / 1048576.0, rows);
    std::printf("open:   read the bytes only       %8.1f ms (baseline)\n", readMs);
    std::printf("        first picture             %8.1f ms\n", firstPictureMs);
    std::printf("        whole file, drawn         %8.1f ms  (%.1fx the read; goal < 2000 ms)\n",
                wholeMs, wholeMs / readMs);
    std::printf("memory: resident %.1f MB before, %.1f MB loaded: +%.1f MB (goal < 150 MB); peak "
                "%.1f MB\n",
                rssBefore, rssAfter, rssAfter - rssBefore, residentMb("VmHWM:"));
    std::printf("repaint 1200x600, median (max) of 30:\n");
    std::printf("        no data                   %8.2f ms (%.2f) (baseline)\n", median(empty),
                *std::max_element(empty.begin(), empty.end()));
    const auto line = [&](const char *what, const std::vector<double> &v) {
        std::printf("        %-25s %8.2f ms (%.2f)  %.1fx the baseline; goal < 30 ms\n", what,
                    median(v), *std::max_element(v.begin(), v.end()), median(v) / median(empty));
    };
    line("whole file", full);
    line("panned", panned);
    line("zoomed to 1/50", zoomed);
    line("the newest minute (live)", minute);
    const double per = 1e9 / replies;
    std::printf("live: console thread per reply, median of 5 rounds of %d replies\n", replies);
    std::printf("        without the trend         %8.1f ns (baseline)\n", median(without) * per);
    std::printf("        with the trend shown      %8.1f ns  (%.3fx; goal < 1.10x)\n",
                median(with) * per, median(with) / median(without));
    // The live view repaints four times a second, whatever the reply rate: per reply at line
    // rate that is a quarter of the replies' repaints.
    const double repaintPerReplyUs = median(minute) * 1000 * 4 / 107;
    std::printf("        live repaints, 4 a second at 107 replies a second: %.1f us a reply "
                "(%.2f %% of a core)\n",
                repaintPerReplyUs, median(minute) * 4 / 10);
    std::printf("        trend per reply at line rate, handling and repaints: %.1f us\n",
                (median(with) - median(without)) * per / 1000 + repaintPerReplyUs);
    return rows > 0 ? 0 : 1;
}
