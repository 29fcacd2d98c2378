// The whole console against the simulated pump on a real pseudo-terminal: the operator's
// window, the real serial layer, and a pump that logs what it receives and answers. Only the
// boxes are scripted and the one-second ticker is stepped by hand.

#include "control/runlog/runlog.h"
#include "support/doubles.h"
#include "support/files.h"
#include "support/printto.h"
#include "support/pty.h"
#include "support/runtimedir.h"
#include "support/simulator.h"
#include "support/wait.h"
#include "support/windowonline.h"
#include "ui/trend/logfollower.h"
#include "ui/trend/trendwindow.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class ConsoleAgainstSimulatedPump : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The console finds port 1 through the alias the simulated pump puts in this folder.
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_NO_FATAL_FAILURE(startPump());
        m_window = std::make_unique<WindowOnLine>(
            m_boxes, WindowOnLine::withBoxesAndTicker(m_boxes, m_ticker));
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        m_sim.reset();
    }

    void startPump(const QStringList &faults = {})
    {
        m_sim.reset(); // one pump behind port 1 at a time
        m_sim = std::make_unique<Simulator>(
            m_runtime.path(), QStringList{u"--port"_s, u"1"_s, u"--rate"_s, u"20"_s} + faults);
        ASSERT_TRUE(m_sim->waitForPrefix(u"alias: "_s).has_value())
            << "simulated pump did not start";
    }
    void connectPortOne()
    {
        m_boxes.answers.push_back(u"1"_s);
        m_window->menuAction(u"Communication"_s)->trigger();
        ASSERT_TRUE(m_window->menuAction(u"Pump"_s)->isEnabled())
            << "connection failed: "
            << (m_boxes.shown.empty() ? QString() : m_boxes.shown.back().prompt).toStdString();
    }
    QString shown(Readout which) { return m_window->label(which)->text(); }
    void press(const QStringList &keys)
    {
        for (const QString &key : keys) {
            QTest::mouseClick(m_window->findChild<QAbstractButton *>(key), Qt::LeftButton);
        }
    }
    bool pumpLogged(const QString &frame) { return m_sim->waitForExact(u"RX "_s + frame); }
    const PumpConsole &console() { return m_window->console(); }

    PrivateRuntimeDir m_runtime;
    std::unique_ptr<Simulator> m_sim;
    ScriptedBoxes m_boxes;
    ManualTicker m_ticker;
    std::unique_ptr<WindowOnLine> m_window;
};

} // namespace

TEST_F(ConsoleAgainstSimulatedPump, ReadoutsAndChartFollowThePump)
{
    connectPortOne();

    // Setpoints by box: the boxes change no read-out, so the read-outs changing proves the
    // pump's echo came back through the reply path.
    m_boxes.answers.push_back(u"7.5"_s);
    m_window->menuAction(u"liquid"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00L07.5Y"_s));
    EXPECT_TRUE(waitUntil([&] { return shown(Readout::Flow) == u"07.5"_s; }));

    m_boxes.answers.push_back(u"3"_s);
    m_window->menuAction(u"pressure"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00P03.0Y"_s));
    EXPECT_TRUE(waitUntil([&] { return shown(Readout::PressureLimit) == u"03.0"_s; }));

    // Setpoints on the keypad: P 0 4 5 and L 1 2 3, each echoed by the pump.
    press({u"Cmdp_7"_s, u"Cmd0_13"_s, u"Cmd4_4"_s, u"Cmd5_5"_s});
    EXPECT_TRUE(pumpLogged(u"Q00P04.5Y"_s));
    press({u"Cmdl_3"_s, u"Cmd1_0"_s, u"Cmd2_1"_s, u"Cmd3_2"_s});
    EXPECT_TRUE(pumpLogged(u"Q00L12.3Y"_s));
    EXPECT_EQ(shown(Readout::EntryMode), QString());

    // Run on the keypad: the pressure rises off zero and the chart sweeps with it.
    const int stepsBefore = console().line().link().sweep().position();
    press({u"Cmdr_11"_s});
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
    EXPECT_EQ(shown(Readout::RunState), u"     RUN "_s);
    EXPECT_TRUE(waitUntil([&] { return shown(Readout::Pressure).toDouble() >= 0.2; }));
    EXPECT_NE(console().line().link().sweep().position(), stepsBefore);
    EXPECT_GT(console().chart().lines().size(), 4u) << "grid plus red steps";
    EXPECT_GT(console().pump().record().size(), 0) << "pressures are recorded";

    press({u"Cmds_15"_s});
    EXPECT_TRUE(pumpLogged(u"Q00S0000Y"_s));
    EXPECT_EQ(shown(Readout::RunState), u"     STOP"_s);
}

TEST_F(ConsoleAgainstSimulatedPump, TimedRunStopsThePumpOnTheRightTick)
{
    connectPortOne();
    m_boxes.answers.push_back(u"0.05"_s); // three seconds
    m_window->menuAction(u"stset"_s)->trigger();
    m_window->menuAction(u"ststart"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
    EXPECT_TRUE(m_window->label(Readout::Seconds)->isVisible());

    m_ticker.ticks(2);
    EXPECT_FALSE(m_sim->waitForExact(u"RX Q00S0000Y"_s, 300)) << "stopped before its time";
    m_ticker.ticks();
    EXPECT_TRUE(pumpLogged(u"Q00S0000Y"_s));
    EXPECT_EQ(shown(Readout::Seconds), u"3"_s);
    EXPECT_FALSE(m_ticker.isActive());
}

TEST_F(ConsoleAgainstSimulatedPump, UnpluggedPumpIsToldAndCanBeReconnected)
{
    connectPortOne();
    m_sim.reset(); // the pump side goes away
    ASSERT_TRUE(waitUntil([&] { return !m_window->menuAction(u"Pump"_s)->isEnabled(); }));
    EXPECT_EQ(m_boxes.messages(u"notify"_s).size(), 1u);

    // A keypad run now cannot reach the pump: the operator is told, the label stays.
    press({u"Cmdr_11"_s});
    EXPECT_EQ(m_boxes.messages().size(), 1u);
    EXPECT_EQ(shown(Readout::RunState), u"     STOP"_s);

    // The pump comes back: choosing 通信 again connects without restarting.
    ASSERT_NO_FATAL_FAILURE(startPump());
    connectPortOne();
    press({u"Cmdr_11"_s});
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
}

TEST_F(ConsoleAgainstSimulatedPump, APathThatIsNoSerialLineIsRefusedUnopened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"passwd"_s);
    ASSERT_TRUE(writeBytes(path, "root:x:0:0\n"));
    const QDateTime accessed = QFileInfo(path).lastRead();

    m_boxes.answers.push_back(path);
    m_window->menuAction(u"Communication"_s)->trigger();

    EXPECT_FALSE(m_window->menuAction(u"Pump"_s)->isEnabled());
    EXPECT_EQ(m_boxes.texts(), QStringList{u"通信|"_s + path +
                                           u" 不是串口设备，没有打开。\r\n请输入串口号（例如 1），"
                                           u"或串口设备名（例如 COM3、/dev/ttyUSB0）。"_s});
    EXPECT_EQ(QFileInfo(path).size(), 11);
    EXPECT_EQ(QFileInfo(path).lastRead(), accessed);
    connectPortOne();
}

// The operator first picks a port on which nothing answers (here a silent line), then the
// pump's: the console moves over without a restart and the pump's replies come in.
TEST_F(ConsoleAgainstSimulatedPump, AWrongPortIsPutRightByChoosingAgain)
{
    PtyPair silent;
    ASSERT_TRUE(silent.isValid());
    m_boxes.answers.push_back(silent.slaveName());
    m_window->menuAction(u"Communication"_s)->trigger();
    ASSERT_TRUE(m_window->menuAction(u"Pump"_s)->isEnabled());
    press({u"Cmdr_11"_s});
    EXPECT_EQ(silent.receive(9), "Q00R0000Y"_ba); // the run went to the wrong line

    connectPortOne();
    EXPECT_TRUE(m_boxes.messages().empty()) << m_boxes.messages().front().prompt.toStdString();
    EXPECT_TRUE(waitUntil([&] { return console().line().link().hasReplied(); }));
    press({u"Cmdr_11"_s});
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
    EXPECT_TRUE(silent.receive(9, 200).isEmpty()) << "the wrong line is closed";
}

// The safety stop through the real serial layer: each trip writes exactly one stop frame, a run
// while latched writes nothing, and without limits nothing changes.
TEST_F(ConsoleAgainstSimulatedPump, SafetyStopWritesOneStopAndHoldsTheRunUntilAcknowledged)
{
    struct Case
    {
        const char *what;
        QStringList faults;
        safety::Limits limits;
        bool trips;
    };
    const Case cases[] = {
        {"pressure climbs past the upper limit",
         {u"--ramp-to"_s, u"8"_s, u"--ramp-seconds"_s, u"1"_s},
         {6.0, {}, {}},
         true},
        {"pressure drops below the lower limit",
         {u"--ramp-to"_s, u"3"_s, u"--ramp-seconds"_s, u"0.5"_s, u"--drop-to"_s, u"0.2"_s,
          u"--drop-after"_s, u"1.5"_s},
         {{}, 1.0, {}},
         true},
        {"the pump falls silent", {u"--silent-after"_s, u"1"_s}, {{}, {}, 1}, true},
        {"no limits", {u"--ramp-to"_s, u"8"_s, u"--ramp-seconds"_s, u"0.5"_s}, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(startPump(c.faults));
        m_window = std::make_unique<WindowOnLine>(
            m_boxes, WindowOnLine::withBoxesAndTicker(m_boxes, m_ticker));
        m_window->console().setSafetyLimits(c.limits);
        ASSERT_NO_FATAL_FAILURE(connectPortOne());
        m_window->console().runPump();
        ASSERT_TRUE(pumpLogged(u"Q00R0000Y"_s));
        EXPECT_EQ(pumpLogged(u"Q00S0000Y"_s), c.trips);
        if (!c.trips) {
            continue;
        }
        QTest::qWait(300); // more replies beyond the band, or more silence: no second stop
        EXPECT_EQ(m_sim->countExact(u"RX Q00S0000Y"_s), 1);
        m_window->console().runPump();
        QTest::qWait(100);
        EXPECT_EQ(m_sim->countExact(u"RX Q00R0000Y"_s), 1) << "refused while latched";
        EXPECT_EQ(m_boxes.messages(u"tell"_s).back().prompt, u"安全停泵尚未确认"_s);
        ASSERT_TRUE(m_boxes.acknowledgeAlarm());
        m_window->console().runPump();
        EXPECT_TRUE(waitUntil([&] { return m_sim->countExact(u"RX Q00R0000Y"_s) == 2; }));
    }
}

TEST_F(ConsoleAgainstSimulatedPump, SeveralPumpsOnTwoPortsAreWatchedAndStoppedTogether)
{
    // Port 1: one simulator serving pumps 0 (the panel's), 1 and 2; port 2: pump 5 alone.
    ASSERT_NO_FATAL_FAILURE(startPump({u"--pumps"_s, u"0,1,2"_s, u"--flow"_s, u"20"_s}));
    Simulator second(m_runtime.path(),
                     {u"--port"_s, u"2"_s, u"--pumps"_s, u"5"_s, u"--rate"_s, u"20"_s});
    ASSERT_TRUE(second.waitForPrefix(u"alias: "_s).has_value());
    m_window = std::make_unique<WindowOnLine>(m_boxes,
                                              WindowOnLine::withBoxesAndTicker(m_boxes, m_ticker));
    ASSERT_NO_FATAL_FAILURE(connectPortOne());
    PumpRig &rig = m_window->console().rig();
    ASSERT_TRUE(rig.addPump(u"1"_s, 1));
    ASSERT_TRUE(rig.addPump(u"1"_s, 2));
    ASSERT_TRUE(rig.addPump(u"2"_s, 5));

    m_window->menuAction(u"pumps"_s)->trigger();
    auto *window = m_window->findChild<QWidget *>(u"pumpsWindow"_s);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), u"多泵"_s);
    EXPECT_FALSE(window->isModal());
    const auto named = [window](const QString &name) -> QWidget * {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->accessibleName() == name) {
                return w;
            }
        }
        return nullptr;
    };
    for (const QString &name : {u"泵 4"_s, u"压力 4"_s, u"流量 4"_s, u"上限 4"_s, u"状态 4"_s,
                                u"运行 4"_s, u"停止 4"_s, u"删除 4"_s}) {
        EXPECT_NE(named(name), nullptr) << name.toStdString();
    }
    EXPECT_EQ(named(u"泵 5"_s), nullptr);

    // 运行 on row 2 reaches pump 1 only; its pressure rises in its own row.
    QTest::mouseClick(qobject_cast<QAbstractButton *>(named(u"运行 2"_s)), Qt::LeftButton);
    EXPECT_TRUE(pumpLogged(u"Q01R0000Y"_s));
    const auto pressure = [&named](int row) {
        return named(u"压力 "_s + QString::number(row))->accessibleDescription().toDouble();
    };
    EXPECT_TRUE(waitUntil([&] { return pressure(2) > 0.5; }));
    EXPECT_EQ(named(u"状态 2"_s)->accessibleDescription(), u"运行"_s);
    EXPECT_LT(pressure(3), 0.1) << "pump 2 was never run";
    EXPECT_EQ(rig.droppedReplies(), 0);

    QTest::mouseClick(window->findChild<QAbstractButton *>(u"stopAll"_s), Qt::LeftButton);
    for (const QString &frame : {u"Q00S0000Y"_s, u"Q01S0000Y"_s, u"Q02S0000Y"_s}) {
        EXPECT_TRUE(pumpLogged(frame)) << frame.toStdString();
    }
    EXPECT_TRUE(second.waitForExact(u"RX Q05S0000Y"_s));
    EXPECT_TRUE(m_boxes.messages().empty());
}

TEST_F(ConsoleAgainstSimulatedPump, TrendShowsTheRunLiveAndFromItsGrowingRunLog)
{
    QTemporaryDir logs;
    m_window->console().startRunLog(RunLogOptions{logs.path()});
    connectPortOne();
    m_boxes.answers.push_back(u"7.5"_s);
    m_window->menuAction(u"liquid"_s)->trigger();
    press({u"Cmdr_11"_s});
    EXPECT_TRUE(waitUntil([&] { return shown(Readout::Pressure).toDouble() >= 0.2; }));
    m_boxes.answers.push_back(u"进样"_s);
    m_window->menuAction(u"mark"_s)->trigger();

    m_window->menuAction(u"trend"_s)->trigger();
    TrendWindow *trend = m_window->trendWindow();
    ASSERT_TRUE(trend->isVisible());
    const auto hasMark = [](const TrendSeries &s, const QString &text) {
        return std::any_of(s.marks().begin(), s.marks().end(),
                           [&](const TrendMark &m) { return m.text == text; });
    };
    const auto risen = [](const TrendSeries &s) {
        return !s.pressures().empty() &&
               *std::max_element(s.pressures().begin(), s.pressures().end()) >= 0.2f;
    };
    EXPECT_TRUE(risen(trend->shown()));
    EXPECT_TRUE(hasMark(trend->shown(), u"运行"_s));
    EXPECT_TRUE(hasMark(trend->shown(), u"标记：进样"_s));
    EXPECT_TRUE(waitUntil([&] {
        return !trend->shown().flow().empty() && trend->shown().flow().back().value == 7.5f;
    }));

    // The file the console is writing, opened and followed while replies keep coming.
    const QStringList files = QDir(logs.path()).entryList({u"*.csv"_s}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    ASSERT_TRUE(trend->openLogFile(QDir(logs.path()).filePath(files.front())));
    // The writer flushes every half second: the mark may reach the file after it was opened.
    EXPECT_TRUE(waitUntil([&] {
        return trend->follower().hasReachedEnd() && hasMark(trend->shown(), u"标记：进样"_s) &&
               risen(trend->shown());
    }));
    const auto loaded = trend->shown().pressures().size();
    EXPECT_TRUE(waitUntil([&] { return trend->shown().pressures().size() > loaded + 10; }))
        << "the growing file is followed";
    EXPECT_EQ(trend->follower().reader().rowsSkipped(), 0);
    press({u"Cmds_15"_s});
}
