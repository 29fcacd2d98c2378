// The reply path: bytes from the port become typed reports and chart steps. Reads do not line
// up with replies, and a reply must be reported by the read that completes it, never one reply
// late.

#include "link/pumplink.h"
#include "link/serialpumpport.h"
#include "support/doubles.h"
#include "support/printto.h"
#include "support/pty.h"
#include "support/wait.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

// Every report as one line: "N 01.2 1.2", "N ab.c -", "P 01.5", "L 12.5".
struct Reports
{
    explicit Reports(PumpLink &link)
    {
        QObject::connect(&link, &PumpLink::replyReceived, &context, [this](const PumpReply &r) {
            switch (r.kind) {
            case PumpReply::Kind::Pressure:
                lines << u"N "_s + r.text + u' ' + (r.mpa ? QString::number(*r.mpa) : u"-"_s);
                break;
            case PumpReply::Kind::PressureLimit:
                lines << u"P "_s + r.text;
                break;
            case PumpReply::Kind::FlowSetpoint:
                lines << u"L "_s + r.text;
                break;
            }
        });
    }
    QObject context;
    QStringList lines;
};

struct LinkOnFakePort
{
    FakePort port;
    PumpLink link{port};
    Reports reports{link};
};

TEST(PumpLink, RepliesBecomeReportsAndEachStepsTheChart)
{
    struct Case
    {
        const char *what;
        std::vector<QByteArray> reads;
        QStringList reports;
        int steps;
    };
    const Case cases[] = {
        {"pressure", {"Q01N01.2Y"_ba}, {u"N 01.2 1.2"_s}, 1},
        {"pressure of four digits", {"Q01N1234Y"_ba}, {u"N 1234 1234"_s}, 1},
        {"another pump's number", {"Q07N01.2Y"_ba}, {u"N 01.2 1.2"_s}, 1},
        {"pressure that is not a number", {"Q01Nab.cY"_ba}, {u"N ab.c -"_s}, 1},
        {"pressure limit", {"Q01P01.5Y"_ba}, {u"P 01.5"_s}, 1},
        {"limit read without position seven", {"Q01P0150Y"_ba}, {u"P 01.0"_s}, 1},
        {"flow", {"Q01L12.5Y"_ba}, {u"L 12.5"_s}, 1},
        {"flow read without position seven", {"Q01L1234Y"_ba}, {u"L 12.4"_s}, 1},
        {"other letters only step", {"Q01R0000Y"_ba}, {}, 1},
        {"a reply and the start of the next", {"Q01N01.2YQ0"_ba}, {u"N 01.2 1.2"_s}, 1},
        {"two in one read", {"Q01N01.2YQ01P01.5Y"_ba}, {u"N 01.2 1.2"_s, u"P 01.5"_s}, 2},
        {"split across reads", {"Q01N0"_ba, "1.2Y"_ba}, {u"N 01.2 1.2"_s}, 1},
        {"one and a half, then the rest",
         {"Q01N01.2YQ01L"_ba, "12.5Y"_ba},
         {u"N 01.2 1.2"_s, u"L 12.5"_s},
         2},
        {"noise before a reply", {"xxQ01N01.2Y"_ba}, {u"N 01.2 1.2"_s}, 1},
        {"wrong start", {"X01N01.2Y"_ba}, {}, 0},
        {"lower-case start", {"q01N01.2Y"_ba}, {}, 0},
        {"wrong end", {"Q01N01.2X"_ba}, {}, 0},
        {"lower-case end", {"Q01N01.2y"_ba}, {}, 0},
        {"cut short", {"Q01N01.2"_ba}, {}, 0},
        {"start at the end", {"01N01.2YQ"_ba}, {}, 0},
        {"one character too many", {"Q01N01.2 Y"_ba}, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LinkOnFakePort t;
        for (const QByteArray &read : c.reads) {
            t.port.receive(read);
        }
        EXPECT_EQ(t.reports.lines, c.reports);
        EXPECT_EQ(t.link.sweep().position(), c.steps);
        EXPECT_EQ(t.link.chart().lines().empty(), c.steps == 0);
    }
}

TEST(PumpLink, EachReportCarriesItsFrameAsItCameWhateverTheReadsWere)
{
    FakePort port;
    PumpLink link(port);
    QObject context;
    QList<QByteArray> frames;
    QObject::connect(&link, &PumpLink::replyReceived, &context,
                     [&frames](const PumpReply &reply) { frames << reply.frame; });

    for (const QByteArray &read : {"xxQ01N0"_ba, "1.2YQ01P"_ba, "0150YQ01Lab.cY\x01"_ba,
                                   "Q01Nab.cYQ01N01.2 Y"_ba, "Q01N-0.7Y"_ba}) {
        port.receive(read);
    }
    EXPECT_EQ(frames,
              (QList<QByteArray>{"Q01N01.2Y", "Q01P0150Y", "Q01Lab.cY", "Q01Nab.cY", "Q01N-0.7Y"}));
}

TEST(PumpLink, EveryReplyStepsTheChartAtTheLastPressureReported)
{
    LinkOnFakePort t;
    struct Step
    {
        QByteArray text;
        float y1, y2; // from x-1 to x, the position before the step
    };
    // Without a number (ab.c), neither that reply nor the ones after it draw -0.7 again: in a
    // first sweep they go to zero.
    const Step sequence[] = {{"Q01N01.2Y"_ba, 0, 1.2f},     {"Q01P01.5Y"_ba, 1.2f, 1.2f},
                             {"Q01N00.5Y"_ba, 1.2f, 0.5f},  {"Q01L10.0Y"_ba, 0.5f, 0.5f},
                             {"Q01N-0.7Y"_ba, 0.5f, -0.7f}, {"Q01Nab.cY"_ba, -0.7f, 0},
                             {"Q01P01.0Y"_ba, 0, 0}};
    for (int i = 0; i < int(std::size(sequence)); ++i) {
        SCOPED_TRACE(sequence[i].text.toStdString());
        t.port.receive(sequence[i].text);
        const ChartLine &step = t.link.chart().lines().back();
        EXPECT_EQ(step.x1, float(i - 1));
        EXPECT_EQ(step.x2, float(i));
        EXPECT_FLOAT_EQ(step.y1, sequence[i].y1);
        EXPECT_FLOAT_EQ(step.y2, sequence[i].y2);
    }
}

TEST(PumpLink, NothingIsHandledInsideTheWriteThatRaisedReadyRead)
{
    LinkOnFakePort t;
    // As a port does while it waits for a frame to leave.
    t.port.writesWhileClosed = true;
    t.port.arrivesDuringWrite = "Q01N01.2Y"_ba;
    ASSERT_TRUE(t.port.write("Q01R0000Y"_ba).ok());
    EXPECT_FALSE(t.port.isWriting());
    EXPECT_TRUE(t.reports.lines.isEmpty());
    EXPECT_EQ(t.link.sweep().position(), 0);
    t.port.arrivesDuringWrite = "Q01P01.5Y"_ba;
    ASSERT_TRUE(t.port.write("Q01R0000Y"_ba).ok());
    EXPECT_TRUE(t.reports.lines.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(t.reports.lines, (QStringList{u"N 01.2 1.2"_s, u"P 01.5"_s}));
    EXPECT_EQ(t.link.sweep().position(), 2);
}

TEST(PumpLink, ANotificationFromTheEventLoopIsReadAtOnceAndInOrder)
{
    // No posted call per reply; what a write left waiting is not overtaken.
    LinkOnFakePort t;
    t.port.writesWhileClosed = true;
    t.port.arrivesDuringWrite = "Q01N01.2Y"_ba;
    ASSERT_TRUE(t.port.write("Q01R0000Y"_ba).ok());
    t.port.received += "Q01P01.5Y"_ba;
    Q_EMIT t.port.readyRead();
    EXPECT_EQ(t.reports.lines, (QStringList{u"N 01.2 1.2"_s, u"P 01.5"_s}));
    QCoreApplication::processEvents(); // the read the write left queued finds nothing more
    EXPECT_EQ(t.reports.lines, (QStringList{u"N 01.2 1.2"_s, u"P 01.5"_s}));
    EXPECT_EQ(t.link.sweep().position(), 2);
}

TEST(PumpLink, AReplyCompletedByAShortReadIsReportedAtOnce)
{
    LinkOnFakePort t;
    t.port.receive("Q01N"_ba);
    t.port.receive("11.1Y"_ba);
    EXPECT_EQ(t.reports.lines, QStringList{u"N 11.1 11.1"_s});
    t.port.receive("Q01N22.2YQ01N3"_ba);
    t.port.receive("3.3Y"_ba);
    EXPECT_EQ(t.reports.lines, (QStringList{u"N 11.1 11.1"_s, u"N 22.2 22.2"_s, u"N 33.3 33.3"_s}));
}

TEST(PumpLink, AHandlerThatWaitsInANestedLoopKeepsTheRepliesInOrder)
{
    // A reply's handler that opens a modal box runs the event loop while the rest of its read
    // is still to be handled; replies arriving meanwhile come after that rest, none twice.
    LinkOnFakePort t;
    bool boxShown = false;
    QObject::connect(&t.link, &PumpLink::replyReceived, &t.reports.context, [&] {
        if (!boxShown) {
            boxShown = true;
            t.port.receive("Q01N03.3Y"_ba); // arrives and is announced while the box is open
        }
    });
    t.port.receive("Q01N01.1YQ01N02.2Y"_ba);
    EXPECT_EQ(t.reports.lines, (QStringList{u"N 01.1 1.1"_s, u"N 02.2 2.2"_s, u"N 03.3 3.3"_s}));
    EXPECT_EQ(t.link.sweep().position(), 3);
}

TEST(PumpLink, ALostLineIsReportedAndItsHalfReplyForgotten)
{
    LinkOnFakePort t;
    QSignalSpy lineLost(&t.link, &PumpLink::lineLost);
    t.port.receive("Q01N0"_ba);
    t.port.lose(LossCause::DeviceGone, u"gone"_s);
    ASSERT_EQ(lineLost.count(), 1);
    const auto loss = lineLost.front().front().value<LineLoss>();
    EXPECT_EQ(loss.cause, LossCause::DeviceGone);
    EXPECT_EQ(loss.systemText, u"gone"_s);
    // The old half must not combine with new bytes into a reply that was never sent.
    t.port.receive("1.2Y"_ba);
    EXPECT_TRUE(t.reports.lines.isEmpty());

    t.port.receive("Q01N0"_ba);
    t.link.reset(); // as a new connection does
    t.port.receive("1.2Y"_ba);
    EXPECT_TRUE(t.reports.lines.isEmpty());
}

TEST(PumpLink, OnlyThePumpsOwnRepliesCountAsAnAnswer)
{
    struct Case
    {
        const char *what;
        QByteArray bytes;
        bool answered;
    };
    const Case cases[] = {
        {"nothing", {}, false},
        {"noise", "xx\0\xffY12"_ba, false},
        {"half a reply", "Q01N01."_ba, false},
        {"our own run frame echoed", "Q00R0000Y"_ba, false},
        {"our own stop frame echoed", "Q00S0000Y"_ba, false},
        {"pressure", "Q01N01.2Y"_ba, true},
        {"pressure that is not a number", "Q01Nab.cY"_ba, true},
        {"pressure limit", "Q01P01.5Y"_ba, true},
        {"flow", "Q01L12.5Y"_ba, true},
        {"a pressure behind noise", "zzQ01N01.2Y"_ba, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        LinkOnFakePort t;
        t.port.receive(k.bytes);
        EXPECT_EQ(t.link.hasReplied(), k.answered);
        // Another answer later does not take it back; a new connection does.
        t.port.receive("Q00R0000Y"_ba);
        EXPECT_EQ(t.link.hasReplied(), k.answered);
        t.link.reset();
        EXPECT_FALSE(t.link.hasReplied());
    }
}

TEST(PumpLink, OverARealSerialLineEveryReplyIsShownWhenItArrives)
{
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    SerialPumpPort port;
    const PortStatus opened = port.open(pty.slaveName());
    ASSERT_TRUE(opened.ok()) << qPrintable(opened.detail);
    PumpLink link(port);
    Reports reports(link);
    const auto pause = [](int ms) { waitUntil([] { return false; }, ms); };
    // As at 9600 baud: a character about every millisecond, each read as it comes.
    const auto sendSlowly = [&](const QByteArray &bytes) {
        for (const char c : bytes) {
            ASSERT_TRUE(pty.send(QByteArrayView(&c, 1)));
            pause(1);
        }
    };

    // A reply cut short: its four bytes put every later reply across two reads, so a port
    // that waits for nine new bytes would show each reply one reply late, and the last never.
    sendSlowly("Q01N"_ba);
    QStringList expected;
    for (int i = 1; i <= 8; ++i) {
        const QString value = u"%1%1.%1"_s.arg(i);
        sendSlowly(u"Q01N%1Y"_s.arg(value).toLatin1());
        expected << u"N "_s + value + u' ' + value;
        // Including the last, which no further byte will ever push out.
        EXPECT_TRUE(waitUntil([&] { return reports.lines.size() >= i; }, 1000))
            << "reply " << i << " not shown before the next arrived";
        pause(50);
    }
    EXPECT_EQ(reports.lines, expected);
}

} // namespace
