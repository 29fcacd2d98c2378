// pumpsim: a pump on a pseudo-terminal, so that the console can be tried and tested without
// the hardware. The console opens the printed device (or types the --port number) exactly as
// it would open a serial adapter.

#include "link/wire/commandframes.h"
#include "link/wire/commandsplitter.h"
#include "link/wire/frame.h"
#include "link/wire/numberpatterns.h"
#include "link/wire/portnames.h"
#include "link/wire/replyframes.h"
#include "sim/faultscript.h"
#include "sim/framelog.h"
#include "sim/pseudoterminal.h"
#include "sim/pumpmodel.h"
#include "sim/replyline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

using Micros = std::chrono::microseconds;
using namespace std::chrono_literals;

struct SimOptions
{
    std::optional<int> port;
    std::optional<int> pump; // answer only this pump; any when unset
    std::vector<int> pumps;  // each a pump of its own on the one line; none: one pump, as above
    double rate = 2.0;       // pressure replies a second, of each pump
    int split = 1;
    bool garbage = false;
    int burst = 0;
    std::optional<double> closeAfter; // seconds
    bool verbose = false;
    double flow = 0.0; // ml/min the pump holds before any flow frame, as left from last time
    FaultScript::Options faults;
    QString frameLog; // none when empty
};

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout); // a test waits for each line as it comes
}

void complain(const QString &text)
{
    std::fprintf(stderr, "pumpsim: %s\n", qPrintable(text));
}

// The signal handler only wakes the loop; everything else happens outside it.
int wakePipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

bool installSignals()
{
    if (pipe(wakePipe) != 0) {
        return false;
    }
    for (int fd : wakePipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout must not kill the pump mid-run
    return true;
}

// One pump on the line: its own hydraulics, its own faults, its own turn to report.
struct ServedPump
{
    ServedPump(int address, const SimOptions &options) : number(address), faults(options.faults)
    {
        model.setFlow(options.flow);
    }

    int number; // the number its replies carry
    PumpModel model;
    FaultScript faults;
    bool silent = false;
    Micros nextPressure{0};
};

class Simulator
{
public:
    Simulator(const SimOptions &options, PseudoTerminal &pty, FrameLog &frameLog)
        : m_options(options), m_pty(pty), m_frameLog(frameLog), m_line(lineOptions(options)),
          m_anyNumber(options.pumps.empty() && !options.pump),
          m_start(std::chrono::steady_clock::now())
    {
        if (options.pumps.empty()) {
            m_pumps.emplace_back(options.pump.value_or(1), options);
        }
        for (int number : options.pumps) {
            m_pumps.emplace_back(number, options);
        }
    }

    // Runs until a signal or --close-after; returns the exit code.
    int run();

private:
    static ReplyLine::Options lineOptions(const SimOptions &options)
    {
        ReplyLine::Options line;
        line.pieces = options.split;
        line.noise = options.garbage;
        line.seed = quint32(getpid());
        return line;
    }

    Micros now() const
    {
        return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now() - m_start);
    }

    ServedPump *addressed(int number);
    // How the line tells the pump's replies from the others': not its number, which may change.
    int sender(const ServedPump &pump) const { return int(&pump - m_pumps.data()); }
    void handle(const QByteArray &frame);
    void reply(const ServedPump &pump, const QByteArray &frame);
    void tickPressure(Micros t);
    bool writeDue(Micros t);
    int pollTimeoutMs(Micros t) const;

    const SimOptions &m_options;
    PseudoTerminal &m_pty;
    FrameLog &m_frameLog;
    ReplyLine m_line;
    std::vector<ServedPump> m_pumps;
    // Neither --pump nor --pumps: the one pump answers to any number, and replies as the
    // number it was last called by.
    bool m_anyNumber;
    size_t m_firstTurn = 0; // which pump reports first when several are due at once
    CommandSplitter m_splitter;
    std::chrono::steady_clock::time_point m_start;
    Micros m_modelTime{0};
    bool m_waitWritable = false;
};

ServedPump *Simulator::addressed(int number)
{
    // A pump's address is two digits; frames for other numbers belong to other pumps.
    if (m_anyNumber) {
        if (number < 0 || number > 99) {
            return nullptr;
        }
        m_pumps.front().number = number;
        return &m_pumps.front();
    }
    const auto found = std::find_if(m_pumps.begin(), m_pumps.end(),
                                    [number](const ServedPump &p) { return p.number == number; });
    return found == m_pumps.end() ? nullptr : &*found;
}

void Simulator::reply(const ServedPump &pump, const QByteArray &frame)
{
    if (!pump.silent) {
        m_line.queueReply(frame, sender(pump));
    }
}

void Simulator::handle(const QByteArray &frame)
{
    m_frameLog.received(frame);
    const auto command = commandframes::parse(frame);
    if (!command) {
        return;
    }
    ServedPump *const pump = addressed(command->pump);
    if (!pump) {
        say("RX " + frame + " (other pump, ignored)");
        return;
    }
    say("RX " + frame);

    PumpModel &model = pump->model;
    bool numeric = false;
    const double value = QString::fromLatin1(command->value).toDouble(&numeric);
    switch (command->letter) {
    case 'R':
        model.run();
        pump->faults.started(now(), model.pressure());
        break;
    case 'S':
        model.stop();
        pump->faults.stopped();
        break;
    case 'L':
        if (numeric && model.setFlow(value)) {
            reply(*pump, replyframes::encode(pump->number, 'L', model.flow()));
        } else if (m_options.verbose) {
            say("refused flow " + command->value);
        }
        break;
    case 'P':
        if (numeric && model.setPressureLimit(value)) {
            reply(*pump, replyframes::encode(pump->number, 'P', model.pressureLimit()));
        } else if (m_options.verbose) {
            say("refused pressure limit " + command->value);
        }
        break;
    default:
        if (m_options.verbose) {
            say("unknown command " + QByteArray(1, command->letter));
        }
        break;
    }
}

void Simulator::tickPressure(Micros t)
{
    const double elapsed = std::chrono::duration<double>(t - m_modelTime).count();
    m_modelTime = t;
    for (ServedPump &pump : m_pumps) {
        pump.model.advance(elapsed);
        if (const auto forced = pump.faults.pressure(t)) {
            pump.model.setPressure(*forced);
        }
    }
    if (m_options.rate <= 0.0) {
        return;
    }
    const Micros period{qint64(1e6 / m_options.rate)};
    // A slow line (or nobody reading) drops readings rather than piling them up: the console
    // should see the pressure of now, not of a minute ago. Two readings a pump may wait, so
    // that pumps reporting at the same moment do not crowd each other out.
    const qsizetype backlog = 2 * wire::frameLength * qsizetype(m_pumps.size());
    // Whoever reports first gets the line when it is full; the pump that got a reading in
    // goes to the back, so that no pump's readings are always the ones dropped.
    const size_t count = m_pumps.size();
    const size_t first = m_firstTurn;
    for (size_t i = 0; i < count; ++i) {
        const size_t index = (first + i) % count;
        ServedPump &pump = m_pumps[index];
        if (t < pump.nextPressure) {
            continue;
        }
        pump.nextPressure += period;
        if (pump.nextPressure <= t) {
            pump.nextPressure = t + period; // fell behind: carry on from now, not catch up
        }
        if (m_line.queuedBytes() < backlog && m_pty.unread() < backlog) {
            reply(pump, replyframes::encode(pump.number, 'N', pump.model.pressure()));
            m_firstTurn = (index + 1) % count;
        }
    }
}

bool Simulator::writeDue(Micros t)
{
    while (!m_waitWritable) {
        const QByteArrayView piece = m_line.due(t);
        if (piece.isEmpty()) {
            return true;
        }
        const ssize_t n = ::write(m_pty.master(), piece.data(), size_t(piece.size()));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_waitWritable = true;
                return true;
            }
            complain(QStringLiteral("write: %1").arg(QString::fromLocal8Bit(strerror(errno))));
            return false;
        }
        for (const QByteArray &frame : m_line.written(n, t)) {
            m_frameLog.sent(frame);
            if (m_options.verbose) {
                say("TX " + frame);
            }
        }
    }
    return true;
}

int Simulator::pollTimeoutMs(Micros t) const
{
    Micros wake = t + 200ms; // never sleep long: the model keeps moving
    if (m_options.rate > 0.0) {
        for (const ServedPump &pump : m_pumps) {
            wake = std::min(wake, pump.nextPressure);
        }
    }
    if (const auto due = m_line.nextDue(); due && !m_waitWritable) {
        wake = std::min(wake, *due);
    }
    if (m_options.closeAfter) {
        wake = std::min(wake, Micros{qint64(*m_options.closeAfter * 1e6)});
    }
    const qint64 us = std::max<qint64>(0, (wake - t).count());
    return int((us + 999) / 1000); // round up, or a wait just short of the time would spin
}

int Simulator::run()
{
    if (m_options.rate > 0.0) {
        // Spread over the period, so that several pumps' readings come evenly, not in clumps.
        const double period = 1e6 / m_options.rate;
        for (size_t i = 0; i < m_pumps.size(); ++i) {
            m_pumps[i].nextPressure = Micros{qint64(period * (1.0 + double(i) / m_pumps.size()))};
        }
    }
    if (m_options.burst > 0) {
        std::vector<QByteArray> frames;
        for (int i = 0; i < m_options.burst; ++i) {
            for (const ServedPump &pump : m_pumps) {
                frames.push_back(replyframes::encode(pump.number, 'N', pump.model.pressure()));
            }
        }
        m_line.queueBurst(frames);
    }

    char buffer[1024];
    while (true) {
        const Micros t = now();
        if (m_options.closeAfter && t >= Micros{qint64(*m_options.closeAfter * 1e6)}) {
            m_pty.close();
            say("closed");
            return 0;
        }
        for (ServedPump &pump : m_pumps) {
            pump.silent = pump.faults.silent(t);
            if (pump.silent) {
                m_line.clear(sender(pump));
            }
        }
        tickPressure(t);
        if (!writeDue(t)) {
            return 1;
        }

        pollfd fds[2] = {{m_pty.master(), short(POLLIN | (m_waitWritable ? POLLOUT : 0)), 0},
                         {wakePipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, pollTimeoutMs(now()));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            complain(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(strerror(errno))));
            return 1;
        }
        if (fds[1].revents & POLLIN) {
            return 0; // SIGINT, SIGTERM or SIGHUP: leave cleanly
        }
        if (fds[0].revents & POLLOUT) {
            m_waitWritable = false;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
            if (n > 0) {
                for (const QByteArray &frame : m_splitter.feed(QByteArrayView(buffer, n))) {
                    handle(frame);
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                complain(QStringLiteral("read: %1").arg(QString::fromLocal8Bit(strerror(errno))));
                return 1;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // We hold the slave open, so this is not the console going away.
            complain(QStringLiteral("the pseudo-terminal hung up"));
            return 1;
        }
    }
}

std::optional<double> number(const QCommandLineParser &parser, const QString &name, double low,
                             double high)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    // "nan" reads as a number and compares false both ways: it must not slip between the bounds.
    if (!ok || !std::isfinite(value) || value < low || value > high) {
        complain(
            QStringLiteral("--%1 must be a number from %2 to %3").arg(name).arg(low).arg(high));
        return std::nullopt;
    }
    return value;
}

std::optional<int> integer(const QCommandLineParser &parser, const QString &name, int low, int high)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        complain(QStringLiteral("--%1 must be a whole number from %2 to %3")
                     .arg(name)
                     .arg(low)
                     .arg(high));
        return std::nullopt;
    }
    return value;
}

// "1,2,12": each a pump number of two digits at most, each once.
std::optional<std::vector<int>> pumpList(const QString &name, const QString &text)
{
    std::vector<int> numbers;
    for (const QString &item : text.split(u',')) {
        bool ok = false;
        const int number = item.toInt(&ok);
        if (!ok || number < 0 || number > 99) {
            complain(QStringLiteral("--%1 takes pump numbers from 0 to 99 separated by commas; "
                                    "\"%2\" is not one")
                         .arg(name, item));
            return std::nullopt;
        }
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) {
            complain(QStringLiteral("--%1 names pump %2 twice").arg(name).arg(number));
            return std::nullopt;
        }
        numbers.push_back(number);
    }
    return numbers;
}

Micros seconds(double value)
{
    return Micros{std::llround(value * 1e6)};
}

// A pressure as the replies can carry it: in tenths, rounded the way a reply rounds, so that a
// ramp to 8.05 ends at the 08.1 it reports and no reply lies above the value it ramps to.
std::optional<double> pressureOption(const QCommandLineParser &parser, const QString &name)
{
    const auto value = number(parser, name, 0, PumpModel::maxValue);
    if (!value) {
        return std::nullopt;
    }
    return numberpatterns::tenths(*value).toDouble();
}

// Options that only mean something together: both or neither.
bool paired(const QCommandLineParser &parser, const QString &first, const QString &second)
{
    if (parser.isSet(first) != parser.isSet(second)) {
        const bool firstSet = parser.isSet(first);
        complain(QStringLiteral("--%1 needs --%2")
                     .arg(firstSet ? first : second, firstSet ? second : first));
        return false;
    }
    return true;
}

std::optional<FaultScript::Options> parseFaults(const QCommandLineParser &parser)
{
    const QString rampTo = QStringLiteral("ramp-to");
    const QString rampSeconds = QStringLiteral("ramp-seconds");
    const QString dropTo = QStringLiteral("drop-to");
    const QString dropAfter = QStringLiteral("drop-after");
    const QString silentAfter = QStringLiteral("silent-after");
    const QString silentFor = QStringLiteral("silent-for");
    if (!paired(parser, rampTo, rampSeconds) || !paired(parser, dropTo, dropAfter)) {
        return std::nullopt;
    }
    if (parser.isSet(silentFor) && !parser.isSet(silentAfter)) {
        complain(QStringLiteral("--%1 needs --%2").arg(silentFor, silentAfter));
        return std::nullopt;
    }

    FaultScript::Options faults;
    if (parser.isSet(rampTo)) {
        const auto to = pressureOption(parser, rampTo);
        const auto over = number(parser, rampSeconds, 0, 1e6);
        if (!to || !over) {
            return std::nullopt;
        }
        faults.ramp = FaultScript::Ramp{*to, seconds(*over)};
    }
    if (parser.isSet(dropTo)) {
        const auto to = pressureOption(parser, dropTo);
        const auto after = number(parser, dropAfter, 0, 1e6);
        if (!to || !after) {
            return std::nullopt;
        }
        faults.drop = FaultScript::Drop{*to, seconds(*after)};
    }
    if (parser.isSet(silentAfter)) {
        const auto after = number(parser, silentAfter, 0, 1e6);
        if (!after) {
            return std::nullopt;
        }
        faults.silence = FaultScript::Silence{seconds(*after), std::nullopt};
        if (parser.isSet(silentFor)) {
            const auto lasting = number(parser, silentFor, 0, 1e6);
            if (!lasting) {
                return std::nullopt;
            }
            faults.silence->lasting = seconds(*lasting);
        }
    }
    return faults;
}

std::optional<SimOptions> parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated pump on a pseudo-terminal. Prints \"pty: DEVICE\" (and \"alias: PATH\" with "
        "--port), logs each received frame as \"RX FRAME\", and runs until SIGINT or SIGTERM."));
    parser.addHelpOption();
    const QString port = QStringLiteral("port");
    const QString pump = QStringLiteral("pump");
    const QString pumps = QStringLiteral("pumps");
    const QString rate = QStringLiteral("rate");
    const QString split = QStringLiteral("split");
    const QString garbage = QStringLiteral("garbage");
    const QString burst = QStringLiteral("burst");
    const QString closeAfter = QStringLiteral("close-after");
    const QString verbose = QStringLiteral("verbose");
    const QString flow = QStringLiteral("flow");
    const QString frameLog = QStringLiteral("frame-log");
    parser.addOptions({
        {port, QStringLiteral("Also make the alias COMN, so the console finds the pump as port N."),
         QStringLiteral("N")},
        {pump,
         QStringLiteral("Answer only frames for pump N (default: any, replying as the last "
                        "pump addressed, 01 at first)."),
         QStringLiteral("N")},
        {pumps,
         QStringLiteral("Be each of the pumps N,M,... (0 to 99) on the one line: each its own "
                        "flow, limit and running state, its replies carrying its own number; "
                        "frames for other numbers are ignored. --flow, --rate, --burst and the "
                        "fault options apply to each pump, the faults counting from that "
                        "pump's own run frame. Not with --pump."),
         QStringLiteral("N,M,...")},
        {rate,
         QStringLiteral("Pressure replies a second, of each pump (default 2; 0 for none). "
                        "Several pumps share the line's 107 frames a second: past that, "
                        "readings are dropped, each pump's in turn."),
         QStringLiteral("HZ"), QStringLiteral("2")},
        {split, QStringLiteral("Write each reply in K pieces with short gaps."),
         QStringLiteral("K"), QStringLiteral("1")},
        {garbage, QStringLiteral("Put a few random bytes (never 'Q') between replies.")},
        {burst, QStringLiteral("Send N pressure replies (of each pump) in one write at start-up."),
         QStringLiteral("N"), QStringLiteral("0")},
        {closeAfter,
         QStringLiteral("Close the line and exit after SECONDS, like an unplugged "
                        "adapter."),
         QStringLiteral("SECONDS")},
        {verbose, QStringLiteral("Also log each reply sent, as \"TX FRAME\".")},
        {flow, QStringLiteral("Flow the pump holds before any flow frame arrives (default 0)."),
         QStringLiteral("ML_PER_MIN"), QStringLiteral("0")},
        {QStringLiteral("ramp-to"),
         QStringLiteral("Once running, report a pressure that climbs in a straight line from "
                        "where it is to MPA (in tenths, as a reply carries it) over "
                        "--ramp-seconds and holds there, past any limit (a blocked column). "
                        "Each run starts the climb again."),
         QStringLiteral("MPA")},
        {QStringLiteral("ramp-seconds"), QStringLiteral("How long the --ramp-to climb takes."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("drop-to"),
         QStringLiteral("--drop-after SECONDS into each run, report MPA at once and from then "
                        "on while running (a leak)."),
         QStringLiteral("MPA")},
        {QStringLiteral("drop-after"),
         QStringLiteral("When the --drop-to fall comes, counted from the run frame."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("silent-after"),
         QStringLiteral("SECONDS after the first run frame, send nothing more, a stop frame "
                        "included, while still taking and logging every frame (a hung pump)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("silent-for"),
         QStringLiteral("Answer again after SECONDS of --silent-after's silence."),
         QStringLiteral("SECONDS")},
        {frameLog,
         QStringLiteral("Append a line \"MONOTONIC_NS UTC_MS RX FRAME\" for each frame "
                        "received and \"... TX FRAME\" for each reply sent to FILE, each "
                        "line written as it happens (CLOCK_MONOTONIC, as steady_clock)."),
         QStringLiteral("FILE")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        complain(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().front()));
        return std::nullopt;
    }

    SimOptions options;
    if (parser.isSet(port)) {
        options.port = integer(parser, port, 1, 255);
        if (!options.port) {
            return std::nullopt;
        }
    }
    if (parser.isSet(pump) && parser.isSet(pumps)) {
        complain(QStringLiteral("--%1 and --%2 do not go together: --%2 lists every pump "
                                "answered (--%2 %3 for that pump alone)")
                     .arg(pump, pumps, parser.value(pump)));
        return std::nullopt;
    }
    if (parser.isSet(pump)) {
        options.pump = integer(parser, pump, 0, 99);
        if (!options.pump) {
            return std::nullopt;
        }
    }
    if (parser.isSet(pumps)) {
        auto numbers = pumpList(pumps, parser.value(pumps));
        if (!numbers) {
            return std::nullopt;
        }
        options.pumps = std::move(*numbers);
    }
    const auto hz = number(parser, rate, 0, 1000);
    const auto pieces = integer(parser, split, 1, wire::frameLength);
    const auto replies = integer(parser, burst, 0, 10000);
    const auto startFlow = number(parser, flow, 0, 99.9);
    if (!hz || !pieces || !replies || !startFlow) {
        return std::nullopt;
    }
    options.flow = *startFlow;
    options.rate = *hz;
    options.split = *pieces;
    options.burst = *replies;
    if (parser.isSet(closeAfter)) {
        options.closeAfter = number(parser, closeAfter, 0, 1e6);
        if (!options.closeAfter) {
            return std::nullopt;
        }
    }
    options.garbage = parser.isSet(garbage);
    options.verbose = parser.isSet(verbose);
    const auto faults = parseFaults(parser);
    if (!faults) {
        return std::nullopt;
    }
    options.faults = *faults;
    if (parser.isSet(frameLog)) {
        options.frameLog = parser.value(frameLog);
        if (options.frameLog.isEmpty()) {
            complain(QStringLiteral("--%1 needs a file name").arg(frameLog));
            return std::nullopt;
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pumpsim"));
    const auto options = parseOptions(app);
    if (!options) {
        return 2;
    }
    // Opened before anything else happens, so that a log that cannot be written is refused as
    // any other bad option is, before the pump appears.
    FrameLog frameLog;
    QString error;
    if (!options->frameLog.isEmpty() && !frameLog.open(options->frameLog, &error)) {
        complain(error);
        return 2;
    }
    if (!installSignals()) {
        complain(QStringLiteral("cannot set up signal handling"));
        return 1;
    }

    PseudoTerminal pty;
    if (!pty.open(&error)) {
        complain(error);
        return 1;
    }
    say("pty: " + pty.slaveName().toLocal8Bit());

    AliasLink alias;
    if (options->port) {
        if (!alias.create(portnames::aliasDirectory(), QStringLiteral("COM%1").arg(*options->port),
                          pty.slaveName(), &error)) {
            complain(error);
            return 1;
        }
        say("alias: " + alias.path().toLocal8Bit());
    }

    Simulator simulator(*options, pty, frameLog);
    const int code = simulator.run();
    alias.remove();
    pty.close();
    return code;
}
