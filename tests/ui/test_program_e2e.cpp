// A program run end to end: the window's file and buttons, the real serial layer, the system's
// clock and ticker, and the simulated pump logging every frame it receives. Steps of a few
// seconds; only the order of the frames is checked here, their times are the unit tests' and
// the benchmark's.

#include "control/program/programfile.h"
#include "support/doubles.h"
#include "support/printto.h"
#include "support/runtimedir.h"
#include "support/simulator.h"
#include "support/wait.h"
#include "support/windowonline.h"
#include "ui/program/programwindow.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

TEST(ProgramAgainstSimulatedPump, RunsEveryStepAndStopsThePump)
{
    PrivateRuntimeDir runtime;
    ASSERT_TRUE(runtime.isValid());
    Simulator pump(runtime.path(), {u"--port"_s, u"1"_s, u"--rate"_s, u"20"_s});
    ASSERT_TRUE(pump.waitForPrefix(u"alias: "_s).has_value()) << "simulated pump did not start";

    ScriptedBoxes boxes;
    ManualTicker timedRunTicker;
    WindowOnLine window(boxes, WindowOnLine::withBoxesAndTicker(boxes, timedRunTicker));
    ProgramWindow programs(window.console(), boxes, &window);
    QObject::connect(window.menuAction(u"program"_s), &QAction::triggered, &programs,
                     &ProgramWindow::showAndRaise);
    window.show();
    boxes.answers.push_back(u"1"_s);
    window.menuAction(u"Communication"_s)->trigger();
    ASSERT_TRUE(window.console().isConnected());

    // 1.8 s at 1.0 under a 2.0 MPa limit, 3 s from 1.0 up to 1.3, 1.2 s at 1.3.
    QTemporaryDir dir;
    const QString file = dir.filePath(u"冲洗.csv"_s);
    ASSERT_TRUE(programfile::save(file, {{0.03, 1.0, program::Mode::Hold, 2.0},
                                         {0.05, 1.0, program::Mode::Ramp, {}},
                                         {0.02, 1.3, program::Mode::Hold, {}}})
                    .ok);
    window.menuAction(u"program"_s)->trigger();
    ASSERT_TRUE(programs.openFile(file));
    const qsizetype from = pump.lines().size();
    QTest::mouseClick(programs.button(u"programStart"_s), Qt::LeftButton);

    ASSERT_TRUE(pump.waitForExact(u"RX Q00S0000Y"_s, 15000)) << "the program did not end";
    QStringList received;
    for (qsizetype i = from; i < pump.lines().size(); ++i) {
        if (pump.lines()[i].startsWith(u"RX "_s)) {
            received << pump.lines()[i].mid(3);
        }
    }
    EXPECT_EQ(received,
              (QStringList{u"Q00P02.0Y"_s, u"Q00L01.0Y"_s, u"Q00R0000Y"_s, u"Q00L01.0Y"_s,
                           u"Q00L01.1Y"_s, u"Q00L01.2Y"_s, u"Q00L01.3Y"_s, u"Q00S0000Y"_s}));
    EXPECT_TRUE(waitUntil([&] {
        return programs.findChild<QLabel *>(u"programStatus"_s)->text() ==
               u"“冲洗.csv”已运行完毕，泵已停止"_s;
    }));
    EXPECT_TRUE(programs.button(u"programStart"_s)->isEnabled());
    EXPECT_EQ(boxes.texts(), QStringList()) << "nothing to tell";
}
