// The simulated pump as a process, end to end over a real pseudo-terminal: found the way the
// operator finds it (port number 1 -> alias COM1) and talked to through SerialPumpPort.

#include "link/serialpumpport.h"
#include "link/wire/framereader.h"
#include "link/wire/portnames.h"
#include "support/printto.h"
#include "support/runtimedir.h"
#include "support/simulator.h"
#include "support/wait.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What the console's reply path does with the bytes: read, cut into frames, keep them.
struct Receiver
{
    explicit Receiver(SerialPumpPort &port)
    {
        QObject::connect(&port, &PumpPort::readyRead, &context, [this, &port] {
            reads.push_back(port.readAll());
            for (QByteArray &frame : reader.feed(reads.back())) {
                frames.push_back(std::move(frame));
            }
        });
    }
    // The next frame not looked at yet that `match` takes.
    std::optional<QByteArray> waitForFrame(const std::function<bool(const QByteArray &)> &match)
    {
        std::optional<QByteArray> found;
        waitUntil([&] {
            for (; !found && checked < frames.size(); ++checked) {
                if (match(frames[checked])) {
                    found = frames[checked];
                }
            }
            return found.has_value();
        });
        return found;
    }

    QObject context;
    FrameReader reader;
    std::vector<QByteArray> reads, frames;
    size_t checked = 0;
};

std::function<bool(const QByteArray &)> isPressure(const char *pump = "01")
{
    const QRegularExpression form(u"^Q%1N\\d\\d\\.\\dY$"_s.arg(QLatin1String(pump)));
    return [form](const QByteArray &f) { return form.match(QString::fromLatin1(f)).hasMatch(); };
}

double value(const QByteArray &frame)
{
    return frame.mid(4, 4).toDouble();
}

class PumpSim : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Both this process (portnames) and the simulator must agree on the alias folder.
        ASSERT_TRUE(m_runtime.isValid());
    }
    void TearDown() override
    {
        m_simulator.reset(); // before the folder it lives in goes
    }

    // Starts the simulator as pump port 1 and opens `port` on the device the console would.
    void start(const QString &arguments)
    {
        m_simulator = std::make_unique<Simulator>(
            m_runtime.path(), (arguments + u" --port 1"_s).split(u' ', Qt::SkipEmptyParts));
        const auto pty = m_simulator->waitForPrefix(u"pty: "_s);
        const auto alias = m_simulator->waitForPrefix(u"alias: "_s);
        ASSERT_TRUE(pty && alias) << "the simulator did not start: " << qPrintable(simulatorPath());
        m_alias = *alias;
        ASSERT_EQ(portnames::deviceForPortNumber(1), m_alias);
        ASSERT_EQ(QFileInfo(m_alias).symLinkTarget(), *pty);
        const PortStatus opened = port.open(m_alias);
        ASSERT_TRUE(opened.ok()) << qPrintable(opened.detail);
    }

    Simulator &sim() { return *m_simulator; }

    PrivateRuntimeDir m_runtime;
    std::unique_ptr<Simulator> m_simulator;
    QString m_alias;
    SerialPumpPort port;
    Receiver receiver{port};
};

TEST_F(PumpSim, RunFrameReachesThePumpAndItsRepliesComeBack)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 20"_s));
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(u"RX Q01R0000Y"_s));
    EXPECT_TRUE(receiver.waitForFrame(isPressure()).has_value());

    // Setpoints come back as the pump took them.
    ASSERT_TRUE(port.write("Q01L12.5Y").ok());
    EXPECT_EQ(receiver.waitForFrame([](const QByteArray &f) { return f[3] == 'L'; }),
              QByteArray("Q01L12.5Y"));
    ASSERT_TRUE(port.write("Q01P01.5Y").ok());
    EXPECT_EQ(receiver.waitForFrame([](const QByteArray &f) { return f[3] == 'P'; }),
              QByteArray("Q01P01.5Y"));

    // Running at 12.5 ml/min the pressure climbs off zero within a second or so.
    EXPECT_TRUE(receiver
                    .waitForFrame([](const QByteArray &f) {
                        return f[3] == 'N' && f.mid(4, 4).toDouble() >= 0.1;
                    })
                    .has_value());
}

TEST_F(PumpSim, TenCharacterRunFrameReachesPumpTwelve)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--pump 12 --rate 20"_s));
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    ASSERT_TRUE(port.write("Q012R0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(u"RX Q012R0000Y"_s));
    EXPECT_EQ(sim().countExact(u"RX Q01R0000Y"_s), 0); // not pump 12's
    EXPECT_EQ(sim().countExact(u"RX Q01R0000Y (other pump, ignored)"_s), 1);
    EXPECT_TRUE(receiver.waitForFrame(isPressure("12")).has_value());
}

TEST_F(PumpSim, ThePumpOutlivesTheConsoleClosingAndReopeningTheLine)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 20"_s));
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    ASSERT_TRUE(sim().waitForExact(u"RX Q01R0000Y"_s));

    port.close();
    ASSERT_TRUE(port.open(m_alias).ok());
    ASSERT_TRUE(port.write("Q01S0000Y").ok());
    EXPECT_TRUE(sim().waitForExact(u"RX Q01S0000Y"_s));
    const size_t before = receiver.frames.size();
    EXPECT_TRUE(waitUntil([&] { return receiver.frames.size() > before; }));
}

TEST_F(PumpSim, UnpluggedLineIsReportedOnceAndThePumpLeavesCleanly)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 20 --close-after 0.5"_s));
    QSignalSpy lost(&port, &PumpPort::connectionLost);
    ASSERT_TRUE(lost.wait(3000));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(lost.wait(300)); // and not again
    ASSERT_EQ(lost.count(), 1);
    EXPECT_EQ(lost.front().front().value<LineLoss>().device, m_alias);
    EXPECT_EQ(port.write("Q01R0000Y").error, PortError::NotOpen);

    // The pump side went away cleanly and took its alias with it.
    EXPECT_TRUE(sim().waitForExact(u"closed"_s));
    if (sim().process().state() != QProcess::NotRunning) {
        ASSERT_TRUE(sim().process().waitForFinished(2000));
    }
    EXPECT_EQ(sim().process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim().process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(m_alias).isSymLink());
}

TEST_F(PumpSim, PacesItselfToNineThousandSixHundredBaud)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 1000"_s));
    ASSERT_TRUE(receiver.waitForFrame(isPressure()).has_value());
    const size_t first = receiver.frames.size();
    QElapsedTimer clock;
    clock.start();
    waitUntil([&] { return clock.elapsed() >= 700; }, 1000);
    const double perSecond = double(receiver.frames.size() - first) / (clock.nsecsElapsed() / 1e9);
    EXPECT_LE(perSecond, 115.0); // 106.7 frames a second at most, with a little timing slack
    EXPECT_GE(perSecond, 40.0);  // and it does keep sending
}

TEST_F(PumpSim, SplitRepliesAndNoiseStillGiveWholeFrames)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 40 --split 3 --garbage"_s));
    int replies = 0;
    while (replies < 12 && receiver.waitForFrame([](const QByteArray &) { return true; })) {
        ++replies;
    }
    ASSERT_EQ(replies, 12);
    for (const QByteArray &frame : receiver.frames) {
        EXPECT_TRUE(isPressure()(frame)) << frame.data();
    }
    EXPECT_TRUE(std::any_of(receiver.reads.begin(), receiver.reads.end(),
                            [](const QByteArray &r) { return r.size() < 9; }));
}

TEST_F(PumpSim, StartUpBurstArrivesInOneRead)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 0 --burst 30"_s));
    ASSERT_TRUE(receiver.waitForFrame(isPressure()).has_value());
    waitUntil([] { return false; }, 200); // anything that did not come in the first read
    EXPECT_EQ(receiver.frames.size(), 30u);
    ASSERT_FALSE(receiver.reads.empty());
    EXPECT_EQ(receiver.reads.front().size(), 30 * 9);
}

// The console would not follow an alias from a folder someone else owns or may write to, so
// the pump must not pretend to be port N there; it says why and exits.
TEST_F(PumpSim, RefusesAnAliasFolderOthersMayWriteToOrDoNotOwn)
{
    const QString folder = m_runtime.path() + u"/pumpconsole"_s;
    struct Case
    {
        const char *what;
        bool chownToNobody;
        QFileDevice::Permissions mode;
        const char *said;
    };
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const Case cases[] = {
        {"writable by the group", false, owner | QFileDevice::WriteGroup | QFileDevice::ExeGroup,
         "other users may write to it"},
        {"writable by anybody", false, owner | QFileDevice::WriteOther | QFileDevice::ExeOther,
         "other users may write to it"},
        {"another user's", true, owner, "it belongs to user 65534, not to you"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        if (k.chownToNobody && ::geteuid() != 0) {
            std::printf("[  SKIPPED ] %s: needs root to give the folder away\n", k.what);
            continue;
        }
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::setPermissions(folder, k.mode));
        if (k.chownToNobody) {
            ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        }
        QProcess pump;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        pump.setProcessEnvironment(environment);
        pump.start(simulatorPath(), {u"--port"_s, u"1"_s});
        ASSERT_TRUE(pump.waitForFinished(5000));
        EXPECT_EQ(pump.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(pump.readAllStandardError());
        EXPECT_TRUE(said.contains(u"refusing the alias folder "_s + folder)) << said.toStdString();
        EXPECT_TRUE(said.contains(QLatin1String(k.said))) << said.toStdString();
        EXPECT_FALSE(QFileInfo(folder + u"/COM1"_s).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(folder + u"/COM1"_s));
        ASSERT_TRUE(QDir(folder).removeRecursively());
    }
}

TEST_F(PumpSim, LeavesCleanlyOnTerminate)
{
    ASSERT_NO_FATAL_FAILURE(start(u""_s));
    ASSERT_TRUE(QFileInfo(m_alias).isSymLink());
    sim().process().terminate();
    ASSERT_TRUE(sim().process().waitForFinished(2000));
    EXPECT_EQ(sim().process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim().process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(m_alias).isSymLink());
    // With the alias gone, port 1 is the built-in port again.
    EXPECT_EQ(portnames::deviceForPortNumber(1), u"/dev/ttyS0"_s);
}

// Several pumps on one line, as the console will meet them on one multi-drop cable.

TEST_F(PumpSim, SeveralPumpsEachTakeTheirOwnFramesInEitherForm)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--pumps 1,2,12 --rate 20"_s));
    const auto isSetpoint = [](const QByteArray &f) { return f[3] == 'L' || f[3] == 'P'; };
    // Each sent, the frame logged, and the next setpoint reply; an unserved number's frame
    // gets none, so the reply after it is the next frame's.
    const char *const cases[][3] = {
        {"Q02L12.5Y", "RX Q02L12.5Y", "Q02L12.5Y"},
        {"Q012P01.5Y", "RX Q012P01.5Y", "Q12P01.5Y"},
        {"Q05L10.0Y", "RX Q05L10.0Y (other pump, ignored)", nullptr},
        {"Q12L03.0Y", "RX Q12L03.0Y", "Q12L03.0Y"},
        {"Q01P02.0Y", "RX Q01P02.0Y", "Q01P02.0Y"},
    };
    for (const auto &[frame, logged, reply] : cases) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(port.write(frame).ok());
        EXPECT_TRUE(sim().waitForExact(QLatin1String(logged)));
        if (reply) {
            EXPECT_EQ(receiver.waitForFrame(isSetpoint), QByteArray(reply));
        }
    }
    // Only pump 2 runs: its pressure climbs while the others' stay at zero.
    ASSERT_TRUE(port.write("Q02R0000Y").ok());
    ASSERT_TRUE(receiver.waitForFrame(
        [](const QByteArray &f) { return isPressure("02")(f) && value(f) >= 0.1; }));
    EXPECT_TRUE(std::any_of(receiver.frames.begin(), receiver.frames.end(), isPressure("12")));
    for (const QByteArray &f : receiver.frames) {
        EXPECT_TRUE(f[3] != 'N' || f.mid(1, 2) == "02" || value(f) == 0.0) << f.data();
    }
}

TEST_F(PumpSim, SeveralPumpsShareTheLineWholeFrameByWholeFrame)
{
    const auto received = [this] {
        QByteArray all;
        for (const QByteArray &read : receiver.reads) {
            all += read;
        }
        return all;
    };
    for (const QString &split : {u""_s, u" --split 3"_s}) {
        SCOPED_TRACE(split.toStdString());
        ASSERT_NO_FATAL_FAILURE(start(u"--pumps 3,7,42 --rate 1000"_s + split));
        ASSERT_TRUE(receiver.waitForFrame(isPressure("03")));
        const qsizetype first = received().size() / 9;
        QElapsedTimer clock;
        clock.start();
        waitUntil([&] { return clock.elapsed() >= 1000; }, 1500);
        const QByteArray stream = received();
        const qsizetype frames = stream.size() / 9; // the last may not be all here yet
        EXPECT_LE(double(frames - first) / (clock.nsecsElapsed() / 1e9), 115.0); // 106.7 at most
        std::map<QByteArray, int> perPump;
        for (qsizetype i = 0; i < frames; ++i) {
            const QByteArray frame = stream.mid(i * 9, 9);
            EXPECT_TRUE(isPressure("(03|07|42)")(frame)) << frame.data();
            ++perPump[frame.mid(1, 2)];
        }
        for (const char *number : {"03", "07", "42"}) {
            EXPECT_GE(perPump[number], frames / 3 - 2) << number; // they take turns
        }
        m_simulator.reset();
        port.close();
        receiver.reads.clear();
        receiver.frames.clear();
        receiver.checked = 0;
    }
}

// In pieces, pump 2's replies wait on the line while pump 1 is silent: a silence that dropped
// everything queued would cut them.
TEST_F(PumpSim, OnePumpFallingSilentLeavesTheOthersTalking)
{
    ASSERT_NO_FATAL_FAILURE(start(u"--pumps 1,2 --rate 20 --split 3 --silent-after 0.3"_s));
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    ASSERT_TRUE(sim().waitForExact(u"RX Q01R0000Y"_s));
    waitUntil([] { return false; }, 600);
    const size_t from = receiver.frames.size();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(receiver.waitForFrame(isPressure("02")));
    }
    EXPECT_FALSE(std::any_of(receiver.frames.begin() + from, receiver.frames.end(), isPressure()));
}

// The faults the console's safety stop is tried against, and the log that times them.

using std::chrono::steady_clock;

qint64 steadyNs()
{
    return std::chrono::nanoseconds(steady_clock::now().time_since_epoch()).count();
}

// The frame log as (monotonic ns, "RX FRAME" or "TX FRAME") pairs.
std::vector<std::pair<qint64, QString>> readLog(const QString &path)
{
    QFile file(path);
    std::vector<std::pair<qint64, QString>> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &text : file.readAll().split('\n')) {
            const QList<QByteArray> fields = text.split(' ');
            if (fields.size() == 4 && fields[1].toLongLong() > 1'600'000'000'000) { // UTC ms
                lines.emplace_back(fields[0].toLongLong(),
                                   QString::fromLatin1(fields[2] + ' ' + fields[3]));
            }
        }
    }
    return lines;
}

struct PressureFault
{
    const char *arguments;
    double passes;  // a value reported on the way
    double settles; // the value it reaches, no sooner than `notBefore` s after the run frame
    double notBefore;
    double ceiling; // never reported above this
};

void PrintTo(const PressureFault &k, std::ostream *os)
{
    *os << k.arguments;
}

class PumpSimFault : public PumpSim, public ::testing::WithParamInterface<PressureFault>
{
};

TEST_P(PumpSimFault, ComesNoSoonerThanAskedAndHolds)
{
    const PressureFault &k = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(QLatin1String(k.arguments) + u" --rate 40"_s));
    const auto sent = steady_clock::now();
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    const auto on =
        receiver.waitForFrame([&](const QByteArray &f) { return value(f) >= k.passes; });
    const auto reached =
        receiver.waitForFrame([&](const QByteArray &f) { return value(f) == k.settles; });
    ASSERT_TRUE(on && reached);
    EXPECT_NE(value(*on), k.settles); // not there in one step
    const double seconds = std::chrono::duration<double>(steady_clock::now() - sent).count();
    EXPECT_GE(seconds, k.notBefore);
    EXPECT_LE(seconds, k.notBefore + 4.0);
    for (int i = 0; i < 5; ++i) {
        const auto next = receiver.waitForFrame([](const QByteArray &) { return true; });
        ASSERT_TRUE(next);
        EXPECT_EQ(value(*next), k.settles) << next->data();
    }
    for (const QByteArray &frame : receiver.frames) {
        EXPECT_LE(value(frame), k.ceiling) << frame.data();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, PumpSimFault,
                         ::testing::Values(
                             // A blocked column, past the pump's own 5 MPa limit.
                             PressureFault{"--ramp-to 8.0 --ramp-seconds 1", 4.0, 8.0, 0.9, 8.0},
                             // A leak once the pressure has climbed on its way to 3.96.
                             PressureFault{"--flow 99 --drop-to 0.0 --drop-after 1", 0.5, 0.0, 1.0,
                                           4.0}));

TEST_F(PumpSim, HungPumpSendsNothingYetLogsWhatArrivesThenAnswersAgain)
{
    const QString log = m_runtime.path() + u"/frames.log"_s;
    ASSERT_NO_FATAL_FAILURE(
        start(u"--rate 40 --silent-after 0.5 --silent-for 1.5 --frame-log "_s + log));
    ASSERT_TRUE(port.write("Q01R0000Y").ok());
    ASSERT_TRUE(sim().waitForExact(u"RX Q01R0000Y"_s));
    qint64 run = 0;
    for (const auto &[ns, line] : readLog(log)) {
        run = line == u"RX Q01R0000Y"_s ? ns : run;
    }
    // Silent from 0.5 s to 2 s after the run frame; a reply half written at 0.5 s may finish.
    const qint64 quiet = run + 750'000'000, loud = run + 2'000'000'000;
    waitUntil([&] { return steadyNs() >= quiet; });
    ASSERT_TRUE(port.write("Q01L12.5Y").ok());
    ASSERT_TRUE(port.write("Q01S0000Y").ok()); // a stop does not wake a hung board
    ASSERT_TRUE(sim().waitForExact(u"RX Q01S0000Y"_s));
    ASSERT_LT(steadyNs(), loud) << "the frames came after the silence: the machine is too slow";
    waitUntil([&] { return steadyNs() >= loud; });
    const size_t before = receiver.frames.size();
    EXPECT_TRUE(waitUntil([&] { return receiver.frames.size() > before; })); // answers again

    int spokeBefore = 0, spokeWhileSilent = 0;
    for (const auto &[ns, line] : readLog(log)) {
        if (line.startsWith(u"TX"_s)) {
            spokeBefore += ns > run && ns < quiet;
            spokeWhileSilent += ns >= quiet && ns < loud;
        }
    }
    EXPECT_GT(spokeBefore, 0);
    EXPECT_EQ(spokeWhileSilent, 0);
    EXPECT_EQ(sim().countExact(u"RX Q01L12.5Y"_s), 1);
    EXPECT_FALSE(std::any_of(receiver.frames.begin(), receiver.frames.end(),
                             [](const QByteArray &f) { return f[3] == 'L'; }));
}

TEST_F(PumpSim, FrameLogHasALinePerFrameOnTheTestsOwnClock)
{
    const QString log = m_runtime.path() + u"/frames.log"_s;
    ASSERT_NO_FATAL_FAILURE(start(u"--rate 0 --frame-log "_s + log));
    QStringList expected;
    std::vector<std::pair<qint64, qint64>> windows; // each RX between writing and seeing it
    for (const QByteArray frame : {"Q01R0000Y", "Q01L12.5Y", "Q01P01.5Y", "Q01S0000Y"}) {
        const qint64 written = steadyNs();
        ASSERT_TRUE(port.write(frame).ok());
        ASSERT_TRUE(sim().waitForExact(u"RX "_s + QLatin1String(frame)));
        windows.emplace_back(written, steadyNs());
        expected << u"RX "_s + QLatin1String(frame);
        if (frame[3] != 'R' && frame[3] != 'S') {
            ASSERT_EQ(receiver.waitForFrame([](const QByteArray &) { return true; }), frame);
            expected << u"TX "_s + QLatin1String(frame);
        }
    }
    QStringList got;
    qint64 previous = 0;
    size_t rx = 0;
    for (const auto &[ns, line] : readLog(log)) {
        got << line;
        EXPECT_GT(ns, previous);
        previous = ns;
        if (line.startsWith(u"RX"_s) && rx < windows.size()) {
            EXPECT_GE(ns, windows[rx].first);
            EXPECT_LE(ns, windows[rx++].second);
        }
    }
    EXPECT_EQ(got, expected);
}

TEST(PumpSimOptions, BadValuesAreRefusedWithExitCodeTwo)
{
    const char *const cases[][2] = {
        {"--ramp-to 100 --ramp-seconds 1", "--ramp-to"},
        {"--ramp-to 3 --ramp-seconds nan", "--ramp-seconds"},
        {"--ramp-to 3", "--ramp-seconds"},
        {"--drop-to -1 --drop-after 1", "--drop-to"},
        {"--drop-to 1 --drop-after x", "--drop-after"},
        {"--drop-after 1", "--drop-to"},
        {"--silent-after -0.5", "--silent-after"},
        {"--silent-after 1 --silent-for inf", "--silent-for"},
        {"--silent-for 1", "--silent-after"},
        {"--frame-log /nonexistent/frames.log", "/nonexistent/frames.log"},
        {"--pumps 1,2,1", "pump 1 twice"},
        {"--pumps 1,100", "\"100\" is not one"},
        {"--pumps -1", "\"-1\" is not one"},
        {"--pumps 1,,2", "\"\" is not one"},
        {"--pumps 1,x", "\"x\" is not one"},
        {"--pump 1 --pumps 2,3", "--pump and --pumps do not go together"},
    };
    for (const auto &[arguments, named] : cases) {
        SCOPED_TRACE(arguments);
        QProcess pump;
        pump.start(simulatorPath(), QString::fromLatin1(arguments).split(u' '));
        ASSERT_TRUE(pump.waitForFinished(5000));
        EXPECT_EQ(pump.exitCode(), 2);
        EXPECT_TRUE(pump.readAllStandardError().contains(named));
        EXPECT_TRUE(pump.readAllStandardOutput().isEmpty()); // no pump appeared
    }
}

} // namespace
