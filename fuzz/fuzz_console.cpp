// Drives the whole console core with an arbitrary sequence of operator actions and line events
// (bytes, whole replies, a lost line, bytes arriving while a box is open or a frame is being
// written) and checks after every step what must always hold: no read-out longer than its
// field, every frame written well formed, the record within its bound, the chart's sweep and
// drawing within theirs, an open port only while the console says it is connected.
//
// Each input runs on a console of its own, so that a finding replays from its input alone;
// nothing waits: queued work is delivered with sendPostedEvents, and time passes only when the
// input ticks a manual ticker or moves the manual clock. The line watch gets doubles too (its
// tickers, clock and the system's port list, where an adapter comes and goes): a real clock
// would make a run depend on when it ran, and real timers add to every fresh console's cost.
#include "link/wire/commandframes.h"
#include "support/doubles.h"
#include "support/linedoubles.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The widest caption each read-out's label has room for, in Readout order.
constexpr std::array<qsizetype, readoutCount> fieldWidth = {4, 4, 4, 9, 4, 2, 1, 2, 1, 2, 1};

// Set by the step that acknowledges a safety stop: only then may a run frame follow a latch.
bool acknowledgedThisStep = false;

void checkInvariants(const WatchedConsole &c)
{
    const PumpConsole &console = c.console;
    for (int i = 0; i < readoutCount; ++i) {
        check(console.readouts().caption(Readout(i)).size() <= fieldWidth[std::size_t(i)]);
    }
    for (const QByteArray &frame : c.port.written) {
        const auto command = commandframes::parse(frame);
        check(command.has_value());
        check(command->value.size() <= commandframes::maxValueLength);
    }
    check(console.line().link().sweep().position() >= 0 &&
          console.line().link().sweep().position() < ChartSweep::length);
    check(console.chart().lines().size() <= ChartDrawing::maxLines);
    check(console.pump().timedRun().elapsedSeconds() >= 0);
    check(console.pump().record().size() <= console.pump().record().limit());
    check(!c.port.isOpen() || console.isConnected());
}

// Answers the operator might type: numbers at and past every bound, names, nonsense.
const std::array<const char *, 32> answers = {
    "1",     "2",     "0",      "-1",     "50",    "50.01", "5",       "5.1",
    "0.05",  "-99.9", "-99.95", "-1e308", "1e308", "546",   "546.12",  "0.02",
    "12.34", "2.25",  "COM1",   "COM0",   "abc",   "",      "5,5",     "/dev/fuzz-a",
    "ttyF0", "32767", "-32768", "32768",  "99",    "nan",   "  3.5  ", "1e-308",
};

class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    QByteArray bytes(std::size_t n)
    {
        n = std::min(n, m_size - std::min(m_at, m_size));
        QByteArray b(reinterpret_cast<const char *>(m_data + m_at), qsizetype(n));
        m_at += n;
        return b;
    }
    // An answer for the next box: one of the list, raw text, or Cancel.
    std::optional<QString> answer()
    {
        const std::uint8_t k = byte();
        if (k < 200) {
            return QString::fromLatin1(answers[k % answers.size()]);
        }
        if (k < 250) {
            return QString::fromLatin1(bytes(k % 16));
        }
        return std::nullopt;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void arrive(WatchedConsole &c, const QByteArray &bytes)
{
    c.port.received += bytes;
    Q_EMIT c.port.readyRead();
}

// One whole reply, so that the fuzzer reaches what replies do without first guessing frames.
QByteArray reply(Input &in)
{
    static const char letters[] = "NNNPLRX";
    static const char chars[] = "0123456789.-a ";
    QByteArray frame = "Q01";
    frame += letters[in.byte() % (sizeof letters - 1)];
    const std::uint8_t v = in.byte();
    for (int i = 0; i < 4; ++i) {
        frame += i == 2 && v < 200 ? '.' : chars[(v >> (2 * i)) % (sizeof chars - 1)];
    }
    return frame + 'Y';
}

void step(WatchedConsole &c, Input &in)
{
    PumpConsole &console = c.console;
    const std::uint8_t op = in.byte();
    const int arg = op >> 4;
    switch (op % 16) {
    case 0:
    case 1:
        arrive(c, in.bytes(std::size_t(arg) + 1));
        break;
    case 2:
        arrive(c, reply(in));
        break;
    case 3:
        switch (arg) {
        case 10:
            console.beginFlowEntry();
            break;
        case 11:
            console.beginPressureLimitEntry();
            break;
        case 12:
            console.runFromKeypad();
            break;
        case 13:
            console.stopFromKeypad();
            break;
        default:
            console.pressDigit(arg % 10);
            break;
        }
        break;
    case 4:
        arg % 2 ? console.stopPump() : console.runPump();
        break;
    case 5:
        c.ticker.ticks(arg == 15 ? 60 : arg + 1); // a minute at a time reaches a set time
        break;
    case 6: {
        c.boxes.answers.push_back(in.answer());
        switch (arg % 4) {
        case 0:
            console.askFlow();
            break;
        case 1:
            console.askPressureLimit();
            break;
        case 2:
            console.askPumpNumber();
            break;
        default:
            console.askRunLength();
            break;
        }
        break;
    }
    case 7:
        switch (arg % 4) {
        case 0:
            console.startTimedRun();
            break;
        case 1:
            console.pauseTimedRun();
            break;
        case 2:
            console.resumeTimedRun();
            break;
        default:
            console.endTimedRun();
            break;
        }
        break;
    case 8:
        c.boxes.answers.push_back(in.answer());
        console.choosePort();
        break;
    case 9:
        switch (arg) {
        case 12: // time passes for the pressure read-out's watch
        case 13:
            c.clock.advance(std::chrono::seconds(arg == 12 ? 1 : 4));
            c.staleTicker.ticks();
            break;
        case 14: // the look for a lost adapter
            c.pollTicker.ticks();
            break;
        case 15: // the line's adapter is pulled out, or plugged in again
            if (c.system.ports.isEmpty()) {
                c.system.plugIn(usbPort(c.port.device()));
            } else {
                c.system.ports.clear();
            }
            break;
        default:
            if (c.port.isOpen()) {
                c.port.lose(LossCause(arg % 6));
            }
            break;
        }
        break;
    case 10:
        c.port.failWrites = arg & 1;
        c.port.openResult =
            arg & 2 ? PortStatus::failure(PortError(1 + arg / 4)) : PortStatus::success();
        break;
    case 11: // bytes that arrive while the next frame is being written
        c.port.arrivesDuringWrite = reply(in);
        break;
    case 12: // the line goes, or a reply arrives, while the next box is open
        c.boxes.whileOpen = [&c, lose = arg % 2 == 0, bytes = reply(in)] {
            if (lose && c.port.isOpen()) {
                c.port.lose();
            } else {
                arrive(c, bytes);
                QCoreApplication::sendPostedEvents();
            }
        };
        break;
    case 13:
        console.closeLine();
        break;
    case 14: // the safety band set, the alarm acknowledged, time passing for the silence check
        if (arg < 8) {
            const std::uint8_t upper = in.byte();
            const std::uint8_t lower = in.byte();
            safety::Limits band;
            band.upper = arg & 1 ? std::optional(upper / 10.0) : std::nullopt;
            band.lower = arg & 2 ? std::optional(lower / 20.0) : std::nullopt;
            band.silenceSeconds = arg & 4 ? std::optional(1 + upper % 8) : std::nullopt;
            console.setSafetyLimits(band);
        } else if (arg < 12) {
            acknowledgedThisStep = c.boxes.acknowledgeAlarm();
        } else {
            c.clock.advance(std::chrono::milliseconds(250 << (arg - 12)));
            c.safetyTicker.ticks();
        }
        break;
    default: // more plain line bytes: noise is what the line mostly carries
        arrive(c, in.bytes(std::size_t(arg) + 1));
        break;
    }
    QCoreApplication::sendPostedEvents();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // A private runtime and configuration folder: no aliases to find, nothing to warn about.
    static QTemporaryDir home;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    WatchedConsole c;
    c.console.pump().setRecordLimit(50);
    const SafetyEnvelope &safety = c.console.pump().safety();
    // A stop is latched only once its frame went out, or is owed when it could not.
    bool wasLatched = false;
    QObject::connect(&c.console, &PumpConsole::safetyChanged, [&] {
        if (safety.isLatched() && !wasLatched) {
            check(safety.owesStop() ||
                  (!c.port.written.empty() && commandframes::parse(c.port.written.back()) &&
                   commandframes::parse(c.port.written.back())->letter == 'S'));
        }
        wasLatched = safety.isLatched();
    });
    // A pressure above the upper limit never leaves the pump guarded as running: it stopped it
    // (in the same reply) or the pump was not running.
    QObject::connect(&c.console, &PumpConsole::runEvent, [&](const RunEvent &event) {
        if (event.kind == RunEventKind::Pressure && event.mpa && safety.limits().upper &&
            *event.mpa > *safety.limits().upper) {
            check(!safety.isArmed());
        }
    });
    c.console.setRecordPath(QString()); // never saved: nothing here writes files
    Input in(data, size);
    while (!in.atEnd()) {
        const bool latchedBefore = safety.isLatched();
        acknowledgedThisStep = false;
        step(c, in);
        checkInvariants(c);
        // Nothing runs the pump while a safety stop stands unacknowledged.
        if (latchedBefore && !acknowledgedThisStep) {
            for (const QByteArray &frame : c.port.written) {
                check(commandframes::parse(frame) && commandframes::parse(frame)->letter != 'R');
            }
        }
        c.boxes.shown.clear();
        c.port.written.clear();
    }
    return 0;
}
