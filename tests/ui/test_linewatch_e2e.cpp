// The line watch with the real serial layer: the port box lists the simulated pump's alias,
// a pseudo-terminal that goes away and comes back is left alone, an adapter that comes back
// with its identity is reopened, and the pressure read-out goes stale and current again. Only
// the boxes, the clock, the tickers and (for the adapter) the system's port list are doubles.

#include "support/linedoubles.h"
#include "support/printto.h"
#include "support/pty.h"
#include "support/runtimedir.h"
#include "support/simulator.h"
#include "support/wait.h"
#include "support/windowonline.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

class LineWatch : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_runtime.isValid()); }

    // The window over the real serial port; `system` null: the system's real port list.
    void openWindow(PortInfoSource *system)
    {
        m_window = std::make_unique<WindowOnLine>(m_boxes, [this, system](SystemParts &s) {
            return ConsoleSeams{s.port,       m_boxes,        system ? *system : s.ports,
                                m_clock,      m_ticker,       m_staleTicker,
                                m_pollTicker, m_safetyTicker, s.programTicker};
        });
        m_window->show();
    }
    // Returns the pump's pseudo-terminal.
    QString startPump()
    {
        m_sim = std::make_unique<Simulator>(m_runtime.path(),
                                            QStringList{u"--port"_s, u"1"_s, u"--rate"_s, u"20"_s});
        const auto pty = m_sim->waitForPrefix(u"pty: "_s);
        EXPECT_TRUE(m_sim->waitForPrefix(u"alias: "_s).has_value());
        return pty.value_or(QString());
    }
    // The operator opens the port box and picks the entry that `match` finds.
    void chooseEntry(const std::function<bool(const QString &)> &match)
    {
        m_boxes.whileOpen = [this, match] {
            const QStringList offered = m_boxes.shown.back().choices;
            for (const QString &entry : offered) {
                if (match(entry)) {
                    m_boxes.answers.push_back(entry);
                    return;
                }
            }
            ADD_FAILURE() << "not offered; offered: " << offered.join(u" | "_s).toStdString();
        };
        m_window->menuAction(u"Communication"_s)->trigger();
    }
    bool connected() const { return m_window->menuAction(u"Pump"_s)->isEnabled(); }
    QLabel *pressure() const { return m_window->label(Readout::Pressure); }

    PrivateRuntimeDir m_runtime;
    std::unique_ptr<Simulator> m_sim;
    ScriptedBoxes m_boxes;
    ManualTicker m_ticker;
    ManualTicker m_staleTicker;
    ManualTicker m_pollTicker;
    ManualTicker m_safetyTicker;
    ManualClock m_clock;
    FakePortInfoSource m_system;
    std::unique_ptr<WindowOnLine> m_window; // last: it uses all of the above
};

TEST_F(LineWatch, TheListShowsTheSimulatedPumpAndAPtyThatReturnsIsLeftAlone)
{
    openWindow(nullptr);
    const QString pty = startPump();
    ASSERT_FALSE(pty.isEmpty());
    chooseEntry([&](const QString &entry) { return entry == u"1（别名 COM1 → "_s + pty + u'）'; });
    ASSERT_TRUE(connected()) << "the alias entry opens the simulated pump";
    EXPECT_TRUE(waitUntil([&] { return m_window->console().pump().record().size() > 0; }));

    // The pump goes away and comes back (the same alias, a new pseudo-terminal).
    m_sim.reset();
    ASSERT_TRUE(waitUntil([&] { return !connected(); }));
    ASSERT_FALSE(startPump().isEmpty());
    EXPECT_FALSE(m_window->console().line().reconnector().isAwaiting());
    EXPECT_FALSE(m_pollTicker.isActive()) << "nothing to recognise a pty by";
    QCoreApplication::processEvents();
    EXPECT_FALSE(connected());
    EXPECT_EQ(m_boxes.messages(u"notify"_s).size(), 1u) << "the loss only";
}

TEST_F(LineWatch, AnAdapterThatReturnsWithItsIdentityIsReopenedAndRecordingGoesOn)
{
    FakePortInfoSource &system = m_system;
    auto first = std::make_unique<PtyPair>();
    ASSERT_TRUE(first->isValid());
    system.plugIn(usbPort(first->slaveName())); // a pty posing as a USB adapter
    openWindow(&system);
    chooseEntry([&](const QString &entry) { return entry.startsWith(first->slaveName() + u'（'); });
    ASSERT_TRUE(connected());
    ASSERT_TRUE(first->send("Q01N01.1Y"));
    ASSERT_TRUE(waitUntil([&] { return pressure()->text() == u"01.1"_s; }));

    // Pulled out: the device leaves the system's list and the line fails.
    QSignalSpy restored(&m_window->console(), &PumpConsole::lineRestored);
    system.pullOut(first->slaveName());
    first->hangUp();
    ASSERT_TRUE(waitUntil([&] { return !connected(); }));
    EXPECT_TRUE(m_pollTicker.isActive());
    first.reset();
    m_pollTicker.ticks();

    // Plugged in again: a new device, the same identity.
    PtyPair second;
    ASSERT_TRUE(second.isValid());
    system.plugIn(usbPort(second.slaveName()));
    m_pollTicker.ticks();
    EXPECT_TRUE(connected()) << "menus usable again";
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.front().front().toString(), second.slaveName());
    const auto notices = m_boxes.messages(u"notify"_s);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_TRUE(notices.back().prompt.contains(u"已自动重新连接"_s));
    EXPECT_TRUE(m_boxes.messages().empty());
    EXPECT_EQ(second.receive(1, 300), QByteArray()) << "nothing sent to the pump";

    ASSERT_TRUE(second.send("Q01N01.3Y"));
    EXPECT_TRUE(waitUntil([&] { return pressure()->text() == u"01.3"_s; }));
    const auto values = m_window->console().pump().record().values();
    EXPECT_EQ(std::vector<double>(values.begin(), values.end()), (std::vector{1.1, 1.3}));
    m_window.reset(); // before the line's pseudo-terminal goes
}

TEST_F(LineWatch, PressureReadoutGoesStaleAfterThreeSilentSecondsAndBackWithTheNextReply)
{
    openWindow(nullptr);
    PtyPair pump;
    ASSERT_TRUE(pump.isValid());
    m_boxes.answers.push_back(pump.slaveName());
    m_window->menuAction(u"Communication"_s)->trigger();
    ASSERT_TRUE(connected());
    const QPalette live = pressure()->palette();
    const QColor liveText = live.color(QPalette::Active, QPalette::WindowText);
    const QColor staleText = live.color(QPalette::Disabled, QPalette::WindowText);
    ASSERT_NE(liveText, staleText);

    ASSERT_TRUE(pump.send("Q01N02.4Y"));
    ASSERT_TRUE(waitUntil([&] { return pressure()->text() == u"02.4"_s; }));
    m_clock.advance(2900ms);
    m_staleTicker.ticks();
    EXPECT_EQ(pressure()->palette().color(QPalette::Active, QPalette::WindowText), liveText);

    m_clock.advance(100ms);
    m_staleTicker.ticks();
    const QString note = u"已有 3 秒没有收到泵的压力数值，这里显示的是最后收到的压力。"_s;
    EXPECT_EQ(pressure()->palette().color(QPalette::Active, QPalette::WindowText), staleText);
    EXPECT_EQ(pressure()->palette().color(QPalette::Inactive, QPalette::WindowText), staleText);
    EXPECT_EQ(pressure()->toolTip(), note);
    EXPECT_EQ(pressure()->accessibleDescription(), note);
    EXPECT_EQ(pressure()->text(), u"02.4"_s) << "the caption stays";
    EXPECT_EQ(pressure()->palette().color(QPalette::Window), live.color(QPalette::Window));

    ASSERT_TRUE(pump.send("Q01N02.5Y"));
    ASSERT_TRUE(waitUntil([&] { return pressure()->text() == u"02.5"_s; }));
    EXPECT_EQ(pressure()->palette().color(QPalette::Active, QPalette::WindowText), liveText);
    EXPECT_EQ(pressure()->toolTip(), QString());
    EXPECT_EQ(pressure()->accessibleDescription(), QString());
}

} // namespace
