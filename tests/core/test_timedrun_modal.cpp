// The set-time box is a real modal dialog: the event loop keeps running while it is open, so
// a timed run goes on counting (and may finish) behind it. Driven with the real input box and
// a real timer shortened to 10 ms per tick.
#include "core/doubles.h"
#include "ui/widgetdialogs.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int tickMs = 10;

struct RealBoxConsole
{
    RecordingPort port;
    WidgetDialogs dialogs;
    QtTickTimer timer;
    ConsoleCore core{port, dialogs, timer};

    RealBoxConsole()
    {
        core.Form_Load();
        timer.setInterval(tickMs);
        port.open = true;
    }
    int stopFrames() const
    {
        return int(std::count(port.written.begin(), port.written.end(), "Q00S0000Y"_ba));
    }
};

// Answers the next input box with `text` once `ready` holds (checked while the box is open).
void answerWhen(std::function<bool()> ready, const QString &text, bool *sawBox)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        *sawBox = true;
        if (ready()) {
            box->setTextValue(text);
            box->accept();
            poll->deleteLater();
        }
    });
    poll->start(2);
}

} // namespace

TEST(TimedRunBehindTheBox, RunFinishesWhileTheBoxIsOpenAndTheNewTimeWaitsForTheNextRun)
{
    RealBoxConsole c;
    c.core.state().timeset = 0.5 / 60.0 * 20; // 10 ticks
    c.core.ststart_Click();
    ASSERT_EQ(c.port.written.back(), "Q00R0000Y"_ba);

    bool sawBox = false;
    // Keep the box open until the run has finished behind it.
    answerWhen([&] { return c.stopFrames() == 1; }, u"1"_s, &sawBox);
    c.core.stset_Click();

    EXPECT_TRUE(sawBox);
    EXPECT_EQ(c.stopFrames(), 1) << "the run ended behind the open box";
    EXPECT_FALSE(c.timer.isActive());
    EXPECT_EQ(c.core.state().tset, 0);
    EXPECT_DOUBLE_EQ(c.core.state().timeset, 1.0);
}

TEST(TimedRunBehindTheBox, ShorterTimeEndsTheRunOnTheFirstTickAfterTheBoxCloses)
{
    RealBoxConsole c;
    c.core.state().timeset = 10; // far longer than the test
    c.core.ststart_Click();

    bool sawBox = false;
    qint16 countWhenAnswered = -1;
    answerWhen(
        [&] {
            // Let the count pass 5 ticks behind the box before shortening the time to 3 s.
            if (c.core.state().tset >= 5) {
                countWhenAnswered = c.core.state().tset;
                return true;
            }
            return false;
        },
        u"0.05"_s, &sawBox);
    c.core.stset_Click();
    const qint16 countAtClose = c.core.state().tset;
    ASSERT_TRUE(sawBox);
    EXPECT_GE(countWhenAnswered, 5) << "ticks kept arriving while the box was open";
    EXPECT_EQ(c.stopFrames(), 0) << "the new time applies only from the next tick";

    ASSERT_TRUE(waitUntil([&] { return c.stopFrames() == 1; }));
    EXPECT_FALSE(c.timer.isActive());
    EXPECT_EQ(c.core.caption(Label::lsed).toInt(), countAtClose + 1)
        << "ended on the first tick after the box closed";
}
