// What the run log costs per pump reply: the same console handles the same replies with and
// without the log, in the same run, alternately, and the ratio is printed. The log's rows are
// handed to its writer every 53 replies and synced to the disk every 106, as its half-second
// timer and its once-a-second sync do at line rate (107 replies a second), so that the
// writer's per-batch costs (a queued call, a write, a sync) are shared as in a real run.
//
// Two figures: the console's own thread (what the window waits for), and the whole process
// (the writer's thread too), each per reply and as a ratio to the console without the log.
//
//   bench_runlog [REPLIES]   (default 100000)
#include "control/runlog/runlog.h"
#include "support/doubles.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <vector>

namespace {

constexpr int repliesPerBatch = 53;

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Pressures rising and falling as a pump's do, one reply per read as the line delivers them,
// with a setpoint echo now and then.
std::vector<QByteArray> replies(int count)
{
    std::vector<QByteArray> reads;
    reads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const int tenths = (i / 7) % 400;
        const char letter = i % 500 == 499 ? 'L' : 'N';
        reads.push_back("Q01" + QByteArray(1, letter) +
                        QByteArray::number(tenths / 10).rightJustified(2, '0') + '.' +
                        QByteArray::number(tenths % 10) + 'Y');
    }
    return reads;
}

struct Cost
{
    double thread = 0;  // seconds of the console's thread
    double process = 0; // seconds of every thread
};

Cost run(const std::vector<QByteArray> &reads, const QString *logFolder)
{
    TestConsole c;
    if (logFolder) {
        // The timer never fires during the run: the batches are handed over below.
        c.console.startRunLog({*logFolder, RunLogOptions{}.maxFileBytes, std::chrono::hours(1)});
    }
    c.connect();
    RunLog *log = c.console.line().runLog();
    if (log) {
        log->waitForWriter(); // the file is open before the clock starts
    }
    const double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    int replies = 0;
    for (const QByteArray &read : reads) {
        c.port.receive(read);
        if (log && ++replies % repliesPerBatch == 0) {
            log->flush(replies % (2 * repliesPerBatch) == 0);
        }
    }
    const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
    if (log) {
        log->flush();
        log->waitForWriter();
    }
    return {thread, cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(repliesPerBatch, std::atoi(argv[1])) : 100000;
    const std::vector<QByteArray> reads = replies(count);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_runlog: no temporary folder\n");
        return 1;
    }

    // Alternating, so that a machine busy with something else slows both alike.
    std::vector<double> plainThread, plainProcess, loggedThread, loggedProcess;
    for (int round = 0; round < 5; ++round) {
        const QString folder = dir.filePath(QStringLiteral("round%1").arg(round));
        const Cost plain = run(reads, nullptr);
        const Cost logged = run(reads, &folder);
        plainThread.push_back(plain.thread);
        plainProcess.push_back(plain.process);
        loggedThread.push_back(logged.thread);
        loggedProcess.push_back(logged.process);
    }

    qint64 bytes = 0;
    const QFileInfoList files =
        QDir(dir.filePath(QStringLiteral("round0"))).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        bytes += file.size();
    }
    const auto perReply = [count](double seconds) { return seconds / count * 1e9; };
    std::printf("replies: %d, one per read; log batches of %d replies; median of 5 rounds\n", count,
                repliesPerBatch);
    std::printf("                         console thread    whole process\n");
    std::printf("without the log:         %8.1f ns/reply  %8.1f ns/reply (baseline)\n",
                perReply(median(plainThread)), perReply(median(plainProcess)));
    std::printf("with the log:            %8.1f ns/reply  %8.1f ns/reply\n",
                perReply(median(loggedThread)), perReply(median(loggedProcess)));
    std::printf("with / without:          %8.3fx          %8.3fx\n",
                median(loggedThread) / median(plainThread),
                median(loggedProcess) / median(plainProcess));
    const double extra = perReply(median(loggedProcess) - median(plainProcess));
    std::printf(
        "at 107 replies a second the log takes %.0f us of CPU a second (%.3f %% of a core)\n",
        extra * 107 / 1000, extra * 107 / 1e7);
    std::printf("log: %lld bytes in %lld file(s), %.1f bytes a reply\n",
                static_cast<long long>(bytes), static_cast<long long>(files.size()),
                double(bytes) / count);
    return bytes > qint64(count) * 50 ? 0 : 1; // every reply made its row
}
