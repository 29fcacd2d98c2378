// The trend window: live from the console (replies, setpoints, commands, the operator's mark),
// a run log file loaded and followed as it grows, a foreign file refused with the reason, the
// view zoomed and shown whole, and the pictures it exports.

#include "control/runlog/runlogformat.h"
#include "support/files.h"
#include "ui/trend/logfollower.h"
#include "ui/trend/trendplot.h"
#include "ui/trend/trendrows.h"
#include "ui/trend/trendwindow.h"
#include "windowondoubles.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

struct TrendOnDoubles : WindowOnDoubles
{
    TrendWindow &trend() { return *window.trendWindow(); }
    void reply(const QByteArray &frame)
    {
        clock.advance(250);
        port.receive(frame);
    }
};

std::vector<QString> markTexts(const TrendSeries &series)
{
    std::vector<QString> out;
    for (const TrendMark &m : series.marks()) {
        out.push_back(m.text);
    }
    return out;
}

QByteArray logRows(qint64 fromMs, int replies, std::optional<qint16> pump = {})
{
    QByteArray rows;
    for (int i = 0; i < replies; ++i) {
        RunEvent e;
        e.pump = pump;
        e.time = {fromMs + i * 100, 8 * 3600, (fromMs + i * 100) * 1'000'000};
        e.value = QString::number(1 + i % 10 / 10.0, 'f', 1);
        e.frame = "Q01N0" + e.value.toLatin1() + "Y";
        runlog::appendRow(rows, e, 0);
    }
    return rows;
}

} // namespace

TEST(TrendWindow, OpensFromTheFileMenuBesideTheConsoleAndFollowsTheConnectionLive)
{
    TrendOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.show());
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    w.reply("Q01N01.2Y");
    w.reply("Q01L05.0Y");
    w.reply("Q01P10.0Y");
    w.window.console().runPump();
    w.reply("Q01N03.4Y");

    w.window.menuAction(u"trend"_s)->trigger();
    TrendWindow &t = w.trend();
    EXPECT_TRUE(t.isVisible());
    EXPECT_TRUE(w.window.isEnabled());                 // the console stays usable beside it
    EXPECT_FALSE(t.testAttribute(Qt::WA_QuitOnClose)); // closing the console still ends it

    // Everything since the connection opened, though the window opened later.
    const TrendSeries &s = t.shown();
    ASSERT_EQ(s.pressures().size(), 2u);
    EXPECT_FLOAT_EQ(s.pressures()[1], 3.4f);
    ASSERT_EQ(s.flow().size(), 1u);
    EXPECT_FLOAT_EQ(s.flow().front().value, 5.0f);
    ASSERT_EQ(s.limit().size(), 1u);
    EXPECT_EQ(s.port(), w.port.device());
    EXPECT_EQ(markTexts(s), (std::vector<QString>{u"连接：%1"_s.arg(w.port.device()), u"运行"_s}));
    EXPECT_TRUE(t.plot()->isFollowing());
    EXPECT_EQ(t.plot()->viewTo(), s.lastMs());

    // 标记 from the main window, its time that of the key.
    const qint64 pressed = w.clock.time.utcMs;
    w.boxes.whileOpen = [&] {
        w.boxes.whileOpen = nullptr;
        w.clock.advance(5000);
    };
    w.boxes.answers.push_back(u"换柱"_s);
    w.window.menuAction(u"mark"_s)->trigger();
    ASSERT_FALSE(s.marks().empty());
    EXPECT_EQ(s.marks().back().text, u"标记：换柱"_s);
    EXPECT_EQ(s.marks().back().kind, TrendMark::Kind::Operator);
    EXPECT_EQ(s.marks().back().utcMs, pressed);

    // A lost line breaks the curve; the next connection starts a new trend.
    w.port.lose();
    QTRY_VERIFY(!w.console.isConnected());
    EXPECT_EQ(s.marks().back().kind, TrendMark::Kind::Line);
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    EXPECT_TRUE(s.pressures().empty());
}

TEST(TrendWindow, ARunLogLoadsIsFollowedAsItGrowsAndAForeignFileIsRefused)
{
    TrendOnDoubles w;
    QTemporaryDir dir;
    const qint64 t0 = w.clock.time.utcMs;
    const QString path = dir.filePath(u"2026-12-08_14-03-27.csv"_s);
    ASSERT_TRUE(writeBytes(path, runlog::header() + logRows(t0, 5000)));
    // A reply cut off where a crash stopped the writer.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("2026-12-08T14:05:00.000+08:00,1.0");
    }
    TrendWindow &t = w.trend();
    ASSERT_TRUE(t.openLogFile(path));
    QTRY_VERIFY(t.follower().hasReachedEnd());
    EXPECT_FALSE(t.showsLive());
    EXPECT_EQ(t.shown().pressures().size(), 5000u);
    EXPECT_EQ(t.shown().firstMs(), t0);
    // Shown whole once read.
    EXPECT_LE(t.plot()->viewFrom(), t0);
    EXPECT_GE(t.plot()->viewTo(), t0 + 4999 * 100);

    // The console writing on: the rest of the cut row and more rows come in.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("00,pressure,01.0,Q01N01.0Y,\r\n" + logRows(t0 + 600'000, 10));
    }
    QTRY_COMPARE_WITH_TIMEOUT(t.shown().pressures().size(), 5011u, 5000);
    EXPECT_EQ(t.follower().reader().rowsSkipped(), 0);

    // A file that is no run log: the reason in a box, the trend shown stays.
    const QString foreign = dir.filePath(u"export.csv"_s);
    ASSERT_TRUE(writeBytes(foreign, "时间,压力\r\n14:03,1.2\r\n"));
    w.boxes.shown.clear();
    EXPECT_FALSE(t.openLogFile(foreign));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_EQ(w.boxes.shown.front().title, u"打开记录"_s);
    EXPECT_TRUE(w.boxes.shown.front().prompt.startsWith(u"这不是运行记录"_s));
    EXPECT_EQ(t.shown().pressures().size(), 5011u);
    EXPECT_TRUE(t.follower().path().endsWith(u"2026-12-08_14-03-27.csv"_s));
    for (const QByteArray &bytes : {QByteArray(), QByteArray("\x00\x01\x02", 3)}) {
        ASSERT_TRUE(writeBytes(foreign, bytes));
        EXPECT_FALSE(t.openLogFile(foreign));
        EXPECT_TRUE(w.boxes.shown.back().prompt.startsWith(u"这不是运行记录"_s));
    }
}

TEST(TrendWindow, AFollowedLogGoesOnIntoItsNextPartNotIntoAnotherConnections)
{
    TrendOnDoubles w;
    QTemporaryDir dir;
    const qint64 t0 = w.clock.time.utcMs;
    const QString base = dir.filePath(u"2026-12-08_14-03-27"_s);
    ASSERT_TRUE(writeBytes(base + u".csv"_s, runlog::header() + logRows(t0, 100)));
    TrendWindow &t = w.trend();
    ASSERT_TRUE(t.openLogFile(base + u".csv"_s));
    QTRY_VERIFY(t.follower().hasReachedEnd());

    // Another connection opened in the same second took "-2"; the log went on in "-3".
    RunEvent opened;
    opened.kind = RunEventKind::LineOpened;
    opened.time = {t0, 8 * 3600, 0};
    opened.note = u"/dev/ttyUSB1"_s;
    QByteArray other = runlog::header();
    runlog::appendRow(other, opened, 0);
    ASSERT_TRUE(writeBytes(base + u"-2.csv"_s, other + logRows(t0, 7)));
    ASSERT_TRUE(writeBytes(base + u"-3.csv"_s, runlog::header() + logRows(t0 + 10'000, 50)));
    QTRY_COMPARE_WITH_TIMEOUT(t.shown().pressures().size(), 150u, 5000);
    EXPECT_TRUE(t.follower().path().endsWith(u"-3.csv"_s));
    EXPECT_EQ(t.follower().reader().rowsRead(), 150); // the rows of both parts
}

TEST(TrendWindow, OnALineSharedByPumpsTheTrendDrawsOnePumpsCurve)
{
    TrendOnDoubles w;
    QTemporaryDir dir;
    const qint64 t0 = w.clock.time.utcMs;
    const QString path = dir.filePath(u"shared.csv"_s);
    ASSERT_TRUE(writeBytes(path, runlog::header() + logRows(t0, 30, 2) + logRows(t0, 20, 5) +
                                     logRows(t0 + 5000, 10, 2)));
    TrendWindow &t = w.trend();
    ASSERT_TRUE(t.openLogFile(path));
    QTRY_VERIFY(t.follower().hasReachedEnd());
    EXPECT_EQ(t.shown().pump(), qint16(2));
    EXPECT_EQ(t.shown().pressures().size(), 40u);
}

TEST(TrendWindow, TheCurveGoesOnWithThePumpNumberTheOperatorSets)
{
    TrendSeries s;
    qint64 ms = 1'000'000;
    const auto add = [&](RunEventKind kind, qint16 pump, double mpa = 0) {
        RunEvent e;
        e.kind = kind;
        e.pump = pump;
        e.mpa = mpa;
        e.time = {ms += 100, 0, 0};
        trendrows::add(s, e);
    };
    add(RunEventKind::CommandSent, 5); // a command names a pump but draws no curve
    add(RunEventKind::Pressure, 0, 1.0);
    add(RunEventKind::Pressure, 7, 9.9); // another pump on the line
    add(RunEventKind::PumpNumber, 1);
    add(RunEventKind::Pressure, 1, 2.0);
    add(RunEventKind::Pressure, 0, 9.9); // the old pump's late reply
    add(RunEventKind::Pressure, 1, 2.1);
    EXPECT_EQ(std::vector<float>(s.pressures().begin(), s.pressures().end()),
              (std::vector<float>{1.0f, 2.0f, 2.1f}));
    EXPECT_EQ(std::vector<qsizetype>(s.segmentStarts().begin(), s.segmentStarts().end()),
              std::vector<qsizetype>{1});
    EXPECT_EQ(s.marks().back().text, u"泵编号改为 1"_s);
}

TEST(TrendWindow, AnEventReadsTheSameLiveAndFromTheLog)
{
    ManualClock clock;
    RunEvents events(clock);
    TrendSeries live;
    QByteArray log = runlog::header();
    QObject::connect(&events, &RunEvents::runEvent, [&](const RunEvent &e) {
        trendrows::add(live, e);
        runlog::appendRow(log, e, 0);
    });
    events.recordFull(1, 100000);
    events.commandNotSent(PumpCommand::Flow, "Q01L05.0Y", u"线路未连接"_s);
    events.safetyStop("Q01R0001Y", u"40.0"_s, u"压力高于上限"_s);
    events.lineLost(u"设备已拔出"_s);
    // A setpoint as an older pump or a hand-edited log may give it.
    events.reply(1, RunEventKind::FlowSetpoint, u" +5.0"_s, "Q01L+5.0Y");
    TrendSeries read;
    runlog::RunLogReader reader;
    ASSERT_TRUE(reader.feed(log, [&](const runlog::RowView &row) { trendrows::add(read, row); }));
    EXPECT_EQ(markTexts(read), markTexts(live));
    EXPECT_EQ(read.flow().back().value, 5.0f); // after the unknown from the lost line on
    EXPECT_EQ(live.flow().back().value, 5.0f);
    ASSERT_FALSE(live.marks().empty());
    EXPECT_EQ(live.marks().front().text, u"压力记录已满（100000 个数值）"_s);
}

TEST(TrendWindow, TheWheelZoomsADoubleClickShowsAllAndHoverReadsTheCurve)
{
    TrendOnDoubles w;
    QTemporaryDir dir;
    const qint64 t0 = w.clock.time.utcMs;
    const QString path = dir.filePath(u"run.csv"_s);
    ASSERT_TRUE(writeBytes(path, runlog::header() + logRows(t0, 600)));
    TrendWindow &t = w.trend();
    t.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
    ASSERT_TRUE(t.openLogFile(path));
    QTRY_VERIFY(t.follower().hasReachedEnd());
    TrendPlot *plot = t.plot();
    const qint64 span = plot->viewTo() - plot->viewFrom();

    const QPointF middle(plot->width() / 2.0, plot->height() / 2.0);
    QWheelEvent wheel(middle, plot->mapToGlobal(middle), {}, {0, 240}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    EXPECT_LT(plot->viewTo() - plot->viewFrom(), span * 0.7);
    EXPECT_FALSE(plot->isFollowing());

    QTest::mouseDClick(plot, Qt::LeftButton, {}, middle.toPoint());
    EXPECT_EQ(plot->viewTo() - plot->viewFrom(), span);

    QTest::mouseMove(plot, middle.toPoint());
    EXPECT_TRUE(plot->hoverText().contains(u"2026-12-08 14:03:"_s))
        << plot->hoverText().toStdString();
    EXPECT_TRUE(plot->hoverText().contains(u" MPa"_s)) << plot->hoverText().toStdString();
}

TEST(TrendWindow, ExportsTheViewAsPngAndPdfWithPortDateAndRange)
{
    TrendOnDoubles w;
    ASSERT_NO_FATAL_FAILURE(w.connectPump());
    for (int i = 0; i < 40; ++i) {
        w.reply(i % 2 ? "Q01N01.2Y" : "Q01N02.5Y");
    }
    TrendWindow &t = w.trend();
    t.plot()->showAll();
    QTemporaryDir dir;
    // Live, named as the connection's own log is.
    EXPECT_EQ(t.pictureFileName(), u"趋势-2026-12-08_14-03-27.png"_s);

    const QString png = dir.filePath(u"trend.png"_s);
    ASSERT_EQ(t.exportTo(png), QString());
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), TrendWindow::pictureSize);
    // The curve is drawn: some of its blue is in the picture.
    int blue = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > 150 && c.red() < 80 && c.green() < 80;
        }
    }
    EXPECT_GT(blue, 50);

    const QString pdf = dir.filePath(u"trend.pdf"_s);
    ASSERT_EQ(t.exportTo(pdf), QString());
    QProcess info;
    info.start(u"pdfinfo"_s, {pdf});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(infoText.contains(QRegularExpression(u"Pages: +1\\n"_s))) << infoText.toStdString();
    EXPECT_TRUE(infoText.contains(u"842 x 595 pts (A4)"_s)) << infoText.toStdString(); // landscape
    QProcess text;
    text.start(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains(w.port.device())) << words.toStdString();
    EXPECT_TRUE(words.contains(u"2026-12-08 14:03:"_s)) << words.toStdString();

    EXPECT_FALSE(t.exportTo(dir.filePath(u"no/such/folder/trend.png"_s)).isEmpty());
}
