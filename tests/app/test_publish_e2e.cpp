// The console published to a real Mosquitto broker on 127.0.0.1: the window against the
// simulated pump on a pseudo-terminal, the real serial layer and the real publisher, and a
// separate client that watches as a lab's dashboard would. Only the boxes are scripted.

#include "app/monitoring.h"
#include "control/pumpconsole.h"
#include "support/broker.h"
#include "support/doubles.h"
#include "support/printto.h"
#include "support/simulator.h"
#include "support/wait.h"
#include "support/windowonline.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The longest the event loop went without running a 5 ms timer: how long the window would
// have kept an operator's click waiting. What it catches is a window held by the network (a
// connect or a publish waiting on a broker takes seconds); the bound leaves room for a loaded
// machine and the sanitizers, which alone stalled the loop by up to 160 ms here.
inline constexpr qint64 stalledMs = 500;

class Responsiveness
{
public:
    Responsiveness()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_worst = std::max(m_worst, m_clock.restart()); });
        m_timer.start(5);
        m_clock.start();
    }
    // After the test itself blocked (starting or stopping the broker), which is not the
    // window's doing.
    void forgiveSinceLastTick() { m_clock.restart(); }
    qint64 worstMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
};

class PublishedConsole : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_broker.available()) {
            GTEST_SKIP() << "mosquitto is not installed (scripts/setup.sh installs it)";
        }
        ASSERT_TRUE(m_broker.start()) << "the broker did not start on port " << m_broker.port();
        ASSERT_TRUE(m_runtime.isValid());
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override
    {
        m_monitoring.reset();
        m_window.reset();
        m_sim.reset();
        qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    }

    void startPump(const QStringList &options)
    {
        m_sim = std::make_unique<Simulator>(m_runtime.path(),
                                            QStringList{u"--port"_s, u"1"_s} + options);
        ASSERT_TRUE(m_sim->waitForPrefix(u"alias: "_s).has_value())
            << "simulated pump did not start";
    }
    // As `pumpconsole --port 1 --mqtt URL --mqtt-id ID --mqtt-keepalive 5` would.
    void startConsole()
    {
        m_window = std::make_unique<WindowOnLine>(
            m_boxes, WindowOnLine::withBoxesAndTicker(m_boxes, m_ticker));
        m_window->show();
        m_monitoring =
            Monitoring::start({m_broker.url(), {}, u"e2e"_s, u"5"_s}, m_window->console(), m_boxes);
        ASSERT_TRUE(m_monitoring);
        m_boxes.answers.push_back(u"1"_s);
        m_window->menuAction(u"Communication"_s)->trigger();
        ASSERT_TRUE(m_window->console().isConnected());
    }
    void press(const QString &key)
    {
        QTest::mouseClick(m_window->findChild<QAbstractButton *>(key), Qt::LeftButton);
    }
    QString shown(Readout which) { return m_window->label(which)->text(); }
    // The values of the pressure replies the pump has sent so far (needs --verbose).
    std::vector<double> pumpSent()
    {
        std::vector<double> values;
        m_sim->waitForLine(
            [&](const QString &line) {
                if (line.startsWith(u"TX Q"_s) && line.size() == 12 && line[6] == u'N') {
                    values.push_back(line.mid(7, 4).toDouble());
                }
                return false;
            },
            0);
        return values;
    }
    static QString topic(const char *leaf)
    {
        return u"pumpconsole/e2e/"_s + QLatin1StringView(leaf);
    }
    static std::vector<double> mpaOf(const std::vector<Subscriber::Message> &messages)
    {
        std::vector<double> values;
        for (const auto &m : messages) {
            values.push_back(m.json().value(u"mpa"_s).toDouble());
        }
        return values;
    }

    Broker m_broker;
    QTemporaryDir m_runtime;
    QByteArray m_savedRuntime;
    std::unique_ptr<Simulator> m_sim;
    ScriptedBoxes m_boxes;
    ManualTicker m_ticker;
    std::unique_ptr<WindowOnLine> m_window;
    std::unique_ptr<Monitoring> m_monitoring;
};

TEST_F(PublishedConsole, StatusStateEventAndEveryPressureInOrder)
{
    ASSERT_NO_FATAL_FAILURE(
        startPump({u"--rate"_s, u"10"_s, u"--flow"_s, u"20"_s, u"--verbose"_s}));
    ASSERT_NO_FATAL_FAILURE(startConsole());

    // A dashboard that comes later still learns the status and the state: both retained.
    ASSERT_TRUE(waitUntil([&] { return m_window->console().pump().record().size() > 3; }));
    Subscriber dashboard(m_broker.port());
    // From here: the subscriber's own connecting above blocks this thread, not the window.
    Responsiveness window;
    ASSERT_TRUE(waitUntil([&] { return dashboard.count(topic("state")) > 0; }));
    const auto status = dashboard.messages(topic("status"));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].payload, "online"_ba);
    EXPECT_TRUE(status[0].retained);
    EXPECT_TRUE(dashboard.messages(topic("state")).front().retained);

    // RUN on the keypad: an event with the exact frame the pump received.
    press(u"Cmdr_11"_s);
    ASSERT_TRUE(m_sim->waitForExact(u"RX Q00R0000Y"_s));
    ASSERT_TRUE(waitUntil([&] { return dashboard.count(topic("event")) > 0; }));
    const auto event = dashboard.messages(topic("event")).front().json();
    EXPECT_EQ(event.value(u"event"_s), u"command_sent"_s);
    EXPECT_EQ(event.value(u"command"_s), u"run"_s);
    EXPECT_EQ(event.value(u"frame"_s), u"Q00R0000Y"_s);

    // Every pressure at the pump's rate, in order, with the values the pump sent.
    ASSERT_TRUE(waitUntil([&] { return dashboard.count(topic("pressure")) >= 25; }, 10000));
    const std::vector<double> published = mpaOf(dashboard.messages(topic("pressure")));
    // The pump's log may lag behind the broker on a busy machine: read it until it has caught up.
    std::vector<double> sent;
    const auto inSent = [&] {
        return std::search(sent.begin(), sent.end(), published.begin(), published.end()) !=
               sent.end();
    };
    EXPECT_TRUE(waitUntil(
        [&] {
            sent = pumpSent();
            return inSent();
        },
        5000))
        << "published pressures are not one unbroken run of the replies:\n"
        << ::testing::PrintToString(published) << "\nsent:\n"
        << ::testing::PrintToString(sent);
    EXPECT_GT(published.back(), 0.0) << "the pump was running";

    // The retained state is the panel (the pressure once it has been restated).
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto s = dashboard.messages(topic("state")).back().json();
            return s.value(u"pressure_mpa"_s).toDouble() == shown(Readout::Pressure).toDouble();
        },
        5000));
    const auto state = dashboard.messages(topic("state")).back().json();
    EXPECT_EQ(state.value(u"connected"_s), true);
    EXPECT_EQ(state.value(u"port"_s), m_window->port().device());
    EXPECT_EQ(state.value(u"run"_s), u"run"_s);
    EXPECT_EQ(shown(Readout::RunState).trimmed().toLower(), u"run"_s);
    EXPECT_EQ(state.value(u"flow_ml_min"_s).toDouble(), shown(Readout::Flow).toDouble());
    EXPECT_EQ(state.value(u"pressure_limit_mpa"_s).toDouble(),
              shown(Readout::PressureLimit).toDouble());
    EXPECT_EQ(state.value(u"live"_s), true);
    EXPECT_LT(window.worstMs(), stalledMs);
}

TEST_F(PublishedConsole, FloodIsCappedAtTwentyASecondAndTheRecordKeepsEveryReply)
{
    ASSERT_NO_FATAL_FAILURE(startPump({u"--rate"_s, u"300"_s, u"--flow"_s, u"40"_s}));
    ASSERT_NO_FATAL_FAILURE(startConsole());
    Subscriber dashboard(m_broker.port());
    press(u"Cmdr_11"_s);
    ASSERT_TRUE(waitUntil([&] { return dashboard.count(topic("status")) > 0; }));
    const qsizetype recordedBefore = m_window->console().pump().record().size();
    const std::size_t before = dashboard.count(topic("pressure"));
    QTest::qWait(3000);
    const auto pressures = dashboard.messages(topic("pressure"));
    const qsizetype replies = m_window->console().pump().record().size() - recordedBefore;

    EXPECT_GT(replies, 250) << "the line was flooded (the pump paces itself to 9600 baud)";
    const std::size_t published = pressures.size() - before;
    EXPECT_LE(published, 63u);
    EXPECT_GE(published, 45u) << "the cap is used, not starved";
    for (std::size_t i = 0; i < pressures.size(); ++i) {
        std::size_t inWindow = 0;
        for (std::size_t j = i;
             j < pressures.size() && pressures[j].receivedMs < pressures[i].receivedMs + 900; ++j) {
            ++inWindow;
        }
        EXPECT_LE(inWindow, 20u) << "at message " << i;
        if (i > 0) {
            // Two replies can arrive within one millisecond; their times must never go back.
            EXPECT_GE(pressures[i].json().value(u"time"_s).toString(),
                      pressures[i - 1].json().value(u"time"_s).toString())
                << "each is a later reply";
        }
    }
}

TEST_F(PublishedConsole, BrokerRestartIsToldOnceAndPublishingResumes)
{
    ASSERT_NO_FATAL_FAILURE(startPump({u"--rate"_s, u"10"_s}));
    ASSERT_NO_FATAL_FAILURE(startConsole());
    auto dashboard = std::make_unique<Subscriber>(m_broker.port());
    ASSERT_TRUE(waitUntil([&] { return dashboard->count(topic("pressure")) > 3; }));
    EXPECT_TRUE(m_boxes.messages(u"notify"_s).empty());
    Responsiveness window;

    m_broker.stop();
    window.forgiveSinceLastTick();
    ASSERT_TRUE(waitUntil([&] { return !m_boxes.messages(u"notify"_s).empty(); }, 5000));
    QTest::qWait(2500); // retries fail meanwhile, untold
    EXPECT_EQ(m_boxes.messages(u"notify"_s).size(), 1u);
    EXPECT_TRUE(m_boxes.messages(u"notify"_s)[0].prompt.contains(u"127.0.0.1"_s));

    ASSERT_TRUE(m_broker.start());
    window.forgiveSinceLastTick();
    const std::size_t pressuresBefore = dashboard->count(topic("pressure"));
    ASSERT_TRUE(
        waitUntil([&] { return dashboard->count(topic("pressure")) > pressuresBefore + 3; }, 20000))
        << "publishing did not resume";
    // The broker forgot everything (no persistence): a dashboard opened now still finds the
    // status and the state, stated again on the new connection.
    Subscriber later(m_broker.port(), "pumpconsole-test-watch-later");
    ASSERT_TRUE(waitUntil([&] { return later.count(topic("state")) > 0; }, 3000));
    ASSERT_FALSE(later.messages(topic("status")).empty());
    EXPECT_EQ(later.messages(topic("status")).front().payload, "online"_ba);
    EXPECT_TRUE(later.messages(topic("status")).front().retained);
    EXPECT_TRUE(later.messages(topic("state")).front().retained);
    EXPECT_EQ(m_boxes.messages(u"notify"_s).size(), 1u) << "one notice for the outage";
    EXPECT_TRUE(m_boxes.messages(u"tell"_s).empty()) << "nothing blocked the operator";
    EXPECT_LT(window.worstMs(), stalledMs) << "the window stalled";
}

// The console dies: killed at once, or frozen with its connection still open. Either way the
// broker says "offline" for it, within the keep-alive.
TEST_F(PublishedConsole, KilledOrFrozenConsoleGoesOffline)
{
    ASSERT_NO_FATAL_FAILURE(startPump({u"--rate"_s, u"10"_s}));
    Subscriber dashboard(m_broker.port());
    auto start = [&](const QString &id) {
        auto console = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        console->setProcessEnvironment(environment);
        console->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        console->start(
            QStringLiteral(MONITORED_CONSOLE_PATH),
            {u"--mqtt"_s, m_broker.url(), u"--mqtt-id"_s, id, u"--mqtt-keepalive"_s, u"5"_s});
        return console;
    };
    auto status = [&](const QString &id) {
        const auto messages = dashboard.messages(u"pumpconsole/%1/status"_s.arg(id));
        return messages.empty() ? QByteArray() : messages.back().payload;
    };

    auto killed = start(u"killed"_s);
    ASSERT_TRUE(waitUntil([&] { return status(u"killed"_s) == "online"_ba; }, 10000));
    ::kill(pid_t(killed->processId()), SIGKILL);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return status(u"killed"_s) == "offline"_ba; }, 9000));
    EXPECT_LT(clock.elapsed(), 7500) << "later than 1.5 keep-alives";
    killed->waitForFinished(1000);

    // Frozen: the socket stays open and only the missing keep-alive gives it away. Mosquitto
    // 2.0 checks every few seconds, so allow it 1.5 keep-alives and 5 s.
    auto frozen = start(u"frozen"_s);
    ASSERT_TRUE(waitUntil([&] { return status(u"frozen"_s) == "online"_ba; }, 10000));
    ::kill(pid_t(frozen->processId()), SIGSTOP);
    clock.restart();
    EXPECT_TRUE(waitUntil([&] { return status(u"frozen"_s) == "offline"_ba; }, 15000));
    EXPECT_LT(clock.elapsed(), 12500) << "later than 1.5 keep-alives and a margin";
    ::kill(pid_t(frozen->processId()), SIGKILL);
    ::kill(pid_t(frozen->processId()), SIGCONT);
    frozen->waitForFinished(1000);

    // Retained: a dashboard opened afterwards reads "offline" for both.
    Subscriber later(m_broker.port(), "pumpconsole-test-watch-later");
    ASSERT_TRUE(waitUntil(
        [&] {
            return later.count(u"pumpconsole/killed/status"_s) > 0 &&
                   later.count(u"pumpconsole/frozen/status"_s) > 0;
        },
        3000));
    for (const char *id : {"killed", "frozen"}) {
        const auto m = later.messages(u"pumpconsole/%1/status"_s.arg(QLatin1StringView(id)));
        EXPECT_EQ(m.back().payload, "offline"_ba) << id;
        EXPECT_TRUE(m.back().retained) << id;
    }
}

} // namespace
