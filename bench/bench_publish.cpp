// CPU per pump reply at line rate (107 replies a second, as at 9600 baud), with and without
// publishing to a real Mosquitto broker on 127.0.0.1, measured in the same run. The process's
// CPU time counts every thread, so the publisher's network thread is in the figure; the
// broker's own CPU is printed apart.
//
//   bench_publish [SECONDS]   (each phase; default 5)
#include "monitoring/monitorfeed.h"
#include "monitoring/pumpmonitor.h"
#include "mqtt/mosquittopublisher.h"
#include "support/broker.h"
#include "support/doubles.h"

#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr double lineRate = 9600.0 / 90.0; // ten bits a character, nine characters a reply

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The broker's CPU so far, from /proc (Linux).
double brokerCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    return stat.readAll().split(' ').value(0).toDouble() * 1e-9;
}

struct Console : ConsoleDoubles
{
    PumpConsole console{seams()};

    Console()
    {
        boxes.answers.push_back(QStringLiteral("1"));
        console.choosePort();
    }
};

// Feeds pressure replies at line rate for `seconds`, each when it is due; returns the CPU
// seconds the process spent and the number of replies.
std::pair<double, int> feedAtLineRate(Console &c, double seconds)
{
    const int total = int(seconds * lineRate);
    int sent = 0;
    QElapsedTimer clock;
    QTimer next;
    next.setSingleShot(true);
    next.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&next, &QTimer::timeout, [&] {
        const int tenths = sent % 400;
        c.port.received += QStringLiteral("Q01N%1.%2Y")
                               .arg(tenths / 10, 2, 10, QChar(u'0'))
                               .arg(tenths % 10)
                               .toLatin1();
        Q_EMIT c.port.readyRead();
        if (++sent == total) {
            loop.quit();
            return;
        }
        const qint64 due = qint64(sent * 1000.0 / lineRate);
        next.start(int(std::max<qint64>(0, due - clock.elapsed())));
    });
    const double before = processCpuSeconds();
    clock.start();
    next.start(0);
    loop.exec();
    QTest::qWait(200); // what waits in the publisher goes out inside the measurement
    return {processCpuSeconds() - before, sent};
}

// Takes every message and sends none: the monitor's own share of the cost.
class NullPublisher final : public Publisher
{
public:
    void publish(const QString &, const QByteArray &, Delivery, bool) override {}
    QString brokerName() const override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(0.2, std::atof(argv[1])) : 5.0;

    Broker broker;
    if (!broker.available() || !broker.start()) {
        std::fprintf(stderr, "bench_publish: no mosquitto broker (scripts/setup.sh installs it)\n");
        return 1;
    }

    Console plain;
    const auto [plainCpu, plainReplies] = feedAtLineRate(plain, seconds);

    Console worded;
    NullPublisher nowhere;
    PumpMonitor wordedMonitor(nowhere, worded.boxes, QStringLiteral("bench"));
    MonitorFeed wordedFeed(worded.console, wordedMonitor);
    const auto [wordedCpu, wordedReplies] = feedAtLineRate(worded, seconds);

    Console published;
    BrokerConnection connection;
    connection.address = {QStringLiteral("127.0.0.1"), broker.port(), false};
    connection.clientId = QStringLiteral("pumpconsole-bench");
    connection.willTopic =
        monitormessages::topic(QStringLiteral("bench"), QStringLiteral("status"));
    connection.willPayload = monitormessages::offline;
    MosquittoPublisher publisher(connection);
    PumpMonitor monitor(publisher, published.boxes, QStringLiteral("bench"));
    MonitorFeed feed(published.console, monitor);
    Subscriber watcher(broker.port());
    QSignalSpy connected(&publisher, &Publisher::connected);
    if (!connected.wait(5000)) {
        std::fprintf(stderr, "bench_publish: the publisher did not connect\n");
        return 1;
    }
    const double brokerBefore = brokerCpuSeconds(broker.pid());
    const auto [publishCpu, publishReplies] = feedAtLineRate(published, seconds);
    const double brokerCpu = brokerCpuSeconds(broker.pid()) - brokerBefore;
    const std::size_t pressures = watcher.count(QStringLiteral("pumpconsole/bench/pressure"));

    const double plainPer = plainCpu / plainReplies * 1e6;
    const double publishPer = publishCpu / publishReplies * 1e6;
    std::printf("replies at line rate (%.0f/s), %.1f s each phase\n", lineRate, seconds);
    std::printf("without publishing: %8.1f us CPU/reply (baseline)\n", plainPer);
    const double wordedPer = wordedCpu / wordedReplies * 1e6;
    std::printf("monitor, no network:%8.1f us CPU/reply = %.2fx baseline\n", wordedPer,
                wordedPer / plainPer);
    std::printf("with publishing:    %8.1f us CPU/reply = %.2fx baseline (+%.1f us), "
                "%zu pressures reached the broker\n",
                publishPer, publishPer / plainPer, publishPer - plainPer, pressures);
    std::printf("the broker itself:  %8.1f us CPU/reply\n", brokerCpu / publishReplies * 1e6);
    std::printf("CPU share of one core at line rate: %.2f%% without, %.2f%% with publishing\n",
                plainCpu / seconds * 100, publishCpu / seconds * 100);
    return pressures > 0 ? 0 : 1;
}
