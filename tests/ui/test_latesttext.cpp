// The pressure read-out under a burst of replies: it takes the latest text once per pass.

#include "ui/latesttext.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

TEST(LatestText, TheFirstTextOfAPassAtOnceTheLastAtItsEnd)
{
    QLabel label(u"00.0"_s);
    LatestText shown(&label);
    shown.show(u"01.1"_s);
    EXPECT_EQ(label.text(), u"01.1"_s) << "one reply is shown at once, with its chart step";
    shown.show(u"01.2"_s);
    shown.show(u"01.3"_s);
    EXPECT_EQ(label.text(), u"01.1"_s) << "the rest of a burst waits for the pass to end";
    QCoreApplication::processEvents();
    EXPECT_EQ(label.text(), u"01.3"_s);

    // The next pass starts over.
    shown.show(u"02.0"_s);
    EXPECT_EQ(label.text(), u"02.0"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(label.text(), u"02.0"_s);
}

TEST(LatestText, ARunningLoopShowsTheLastOfABurstWithoutAPostedCall)
{
    // A posted call per reply would wake the process once more for every reply.
    struct PostedCalls : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::MetaCall;
            return false;
        }
        int count = 0;
    } posted;
    QLabel label(u"00.0"_s);
    label.installEventFilter(&posted);
    LatestText shown(&label);
    for (const QString &text : {u"03.1"_s, u"03.2"_s, u"03.3"_s}) {
        shown.show(text);
    }
    EXPECT_EQ(label.text(), u"03.1"_s);
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(label.text(), u"03.3"_s);
    EXPECT_EQ(posted.count, 0);

    // A label that goes first leaves nothing behind to call.
    auto *gone = new QLabel;
    LatestText orphan(gone);
    orphan.show(u"04.0"_s);
    orphan.show(u"04.1"_s);
    delete gone;
    QCoreApplication::processEvents();
    orphan.show(u"04.2"_s);
}

} // namespace
