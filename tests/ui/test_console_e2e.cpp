// The whole console against the simulated pump on a real pseudo-terminal: the operator's
// window, the real serial layer, and a pump that logs what it receives and answers. Only the
// boxes are scripted and the one-second timer is stepped by hand.
#include "core/doubles.h"
#include "simulator.h"
#include "ui/form1.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ConsoleAgainstSimulatedPump : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        // The console finds port 1 through the alias the simulated pump puts in this folder.
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_sim = std::make_unique<Simulator>(m_runtime.path(),
                                            QStringList{u"--port"_s, u"1"_s, u"--rate"_s, u"20"_s});
        ASSERT_TRUE(m_sim->waitForPrefix(u"alias: "_s).has_value())
            << "simulated pump did not start";

        m_window = std::make_unique<Form1>(nullptr, &m_dialogs, &m_timer);
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        m_sim.reset();
        qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    }

    void connectPortOne()
    {
        m_dialogs.answers.push_back(u"1"_s);
        m_window->menuAction(u"Communication"_s)->trigger();
        ASSERT_TRUE(m_window->menuAction(u"Pump"_s)->isEnabled())
            << "connection failed: "
            << (m_dialogs.shown.empty() ? QString() : m_dialogs.shown.back().prompt).toStdString();
    }
    QString shown(Label which) { return m_window->label(which)->text(); }
    void click(KeyGroup group, qint16 index)
    {
        QTest::mouseClick(m_window->key(group, index), Qt::LeftButton);
    }
    bool pumpLogged(const QString &frame) { return m_sim->waitForExact(u"RX "_s + frame); }

    QTemporaryDir m_runtime;
    QByteArray m_savedRuntime;
    std::unique_ptr<Simulator> m_sim;
    ScriptedDialogs m_dialogs;
    ManualTimer m_timer;
    std::unique_ptr<Form1> m_window;
};

} // namespace

TEST_F(ConsoleAgainstSimulatedPump, ReadoutsAndChartFollowThePump)
{
    connectPortOne();

    // Setpoints by dialog: the dialogs change no read-out, so the read-outs changing proves
    // the pump's echo came back through the reply path.
    m_dialogs.answers.push_back(u"7.5"_s);
    m_window->menuAction(u"liquid"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00L07.5Y"_s));
    EXPECT_TRUE(waitUntil([&] { return shown(Label::LsetF) == u"07.5"_s; }));

    m_dialogs.answers.push_back(u"3"_s);
    m_window->menuAction(u"pressure"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00P03.0Y"_s));
    EXPECT_TRUE(waitUntil([&] { return shown(Label::LsetP) == u"03.0"_s; }));

    // Setpoints on the keypad: P 0 4 5 and L 1 2 3, each echoed by the pump.
    click(KeyGroup::Cmdp, 7);
    click(KeyGroup::Cmd0, 13);
    click(KeyGroup::Cmd4, 4);
    click(KeyGroup::Cmd5, 5);
    EXPECT_TRUE(pumpLogged(u"Q00P04.5Y"_s));
    click(KeyGroup::Cmdl, 3);
    click(KeyGroup::Cmd1, 0);
    click(KeyGroup::Cmd2, 1);
    click(KeyGroup::Cmd3, 2);
    EXPECT_TRUE(pumpLogged(u"Q00L12.3Y"_s));
    EXPECT_EQ(shown(Label::LSetState), QString());

    // Run on the keypad: the pressure rises off zero and the chart sweeps with it.
    const auto stepsBefore = m_window->core().state().itime;
    click(KeyGroup::Cmdr, 11);
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
    EXPECT_EQ(shown(Label::Lstate), u"     RUN "_s);
    EXPECT_TRUE(waitUntil([&] { return shown(Label::LcurrP).toDouble() >= 0.2; }));
    EXPECT_NE(m_window->core().state().itime, stepsBefore);
    EXPECT_GT(m_window->core().Picture1().lines().size(), 4u) << "grid plus red steps";
    EXPECT_GT(m_window->core().state().saveprcout, 0) << "pressures are recorded";

    click(KeyGroup::Cmds, 15);
    EXPECT_TRUE(pumpLogged(u"Q00S0000Y"_s));
    EXPECT_EQ(shown(Label::Lstate), u"     STOP"_s);
}

TEST_F(ConsoleAgainstSimulatedPump, TimedRunStopsThePumpOnTheRightTick)
{
    connectPortOne();
    m_dialogs.answers.push_back(u"0.05"_s); // three seconds
    m_window->menuAction(u"stset"_s)->trigger();
    m_window->menuAction(u"ststart"_s)->trigger();
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
    EXPECT_TRUE(m_window->label(Label::lsed)->isVisible());

    m_timer.ticks(2);
    EXPECT_FALSE(m_sim->waitForExact(u"RX Q00S0000Y"_s, 300)) << "stopped before its time";
    m_timer.tick();
    EXPECT_TRUE(pumpLogged(u"Q00S0000Y"_s));
    EXPECT_EQ(shown(Label::lsed), u"3"_s);
    EXPECT_FALSE(m_timer.isActive());
}

TEST_F(ConsoleAgainstSimulatedPump, UnpluggedPumpIsToldAndCanBeReconnected)
{
    connectPortOne();
    m_sim.reset(); // the pump side goes away
    ASSERT_TRUE(waitUntil([&] { return !m_window->menuAction(u"Pump"_s)->isEnabled(); }));
    EXPECT_EQ(m_dialogs.messages(u"notify"_s).size(), 1u);

    // A keypad stop now cannot reach the pump: the operator is told, the label stays.
    click(KeyGroup::Cmdr, 11);
    EXPECT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(shown(Label::Lstate), u"     STOP"_s);

    // The pump comes back: choosing 通信 again connects without restarting.
    m_sim = std::make_unique<Simulator>(m_runtime.path(),
                                        QStringList{u"--port"_s, u"1"_s, u"--rate"_s, u"20"_s});
    ASSERT_TRUE(m_sim->waitForPrefix(u"alias: "_s).has_value());
    connectPortOne();
    click(KeyGroup::Cmdr, 11);
    EXPECT_TRUE(pumpLogged(u"Q00R0000Y"_s));
}
