// The run log as the console writes it: a row for every reply and every command with its time,
// one file per connection that never replaces another, parts of bounded size, rows on disk
// without waiting for the window, and a log that cannot be written told once while the
// console runs on.

#include "control/runlog/runlog.h"
#include "control/runlog/runlogformat.h"
#include "control/runlog/runlogreader.h"
#include "support/csv.h"
#include "support/doubles.h"
#include "support/files.h"
#include "support/printto.h"
#include "support/wait.h"

#include <functional>
#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// A console wired to the doubles, logging into a folder of its own with a clock set by hand.
struct LoggingConsole
{
    // The logs go to `root`/pumplogs, by default in a folder that goes with the console.
    explicit LoggingConsole(RunLogOptions options = {}, const QString &root = {})
        : m_folder((root.isEmpty() ? dir.path() : root) + u"/pumplogs"_s)
    {
        options.folder = m_folder;
        c.console.startRunLog(options);
    }
    QString folder() const { return m_folder; }
    RunLog &log() { return *c.console.line().runLog(); }
    // Everything gathered so far, on disk.
    void settle()
    {
        log().flush();
        log().waitForWriter();
    }
    QStringList files()
    {
        settle();
        return QDir(folder()).entryList(QDir::Files, QDir::Name);
    }
    // The rows of `file` (header and byte order mark checked and left out), each joined back
    // with commas after parsing, so that a row that does not parse fails the comparison.
    QStringList rows(const QString &file)
    {
        settle();
        const QByteArray bytes = fileBytes(QDir(folder()).filePath(file));
        EXPECT_TRUE(bytes.startsWith(runlog::header())) << file.toStdString();
        const CsvRead csv = readCsv(bytes.mid(runlog::header().size()));
        EXPECT_EQ(csv.error, QString());
        EXPECT_TRUE(csv.unfinished.isEmpty());
        QStringList out;
        for (const QStringList &row : csv.rows) {
            // The pump column is the format's own test's; these compare the rest.
            EXPECT_EQ(row.size(), 7) << row.join(u'|').toStdString();
            out << row.mid(0, 6).join(u'|');
        }
        return out;
    }
    void receive(const QByteArray &bytes)
    {
        clock.advance(250);
        c.port.receive(bytes);
    }

    QTemporaryDir dir;
    const QString m_folder;
    TestConsole c;
    ManualClock &clock = c.clock;
};

} // namespace

TEST(RunLog, EveryReplyAndCommandIsARowWithItsTimeValueAndFrame)
{
    LoggingConsole l;
    TestConsole &c = l.c;
    c.console.pump().setRecordLimit(2);
    c.connect();
    const QString device = c.port.device();

    // Each step moves the clock on a quarter of a second and adds the rows it expects, as
    // "event|value|frame|note".
    const auto press = [&c](std::initializer_list<void (PumpConsole::*)()> keys) {
        for (auto key : keys) {
            (c.console.*key)();
        }
    };
    const auto digits = [&c](std::initializer_list<int> keys) {
        for (int d : keys) {
            c.console.pressDigit(d);
        }
    };
    const auto answer = [&c](const QString &text, void (PumpConsole::*box)()) {
        c.boxes.answers.push_back(text);
        (c.console.*box)();
    };
    struct Step
    {
        std::function<void()> act;
        QStringList rows;
    };
    const Step steps[] = {
        {[&] { c.port.receive("Q01N01.2Y"); }, {u"pressure|01.2|Q01N01.2Y|"_s}},
        {[&] { c.port.receive("Q01Nab.cY"); }, {u"pressure||Q01Nab.cY|"_s}},
        {[&] { c.port.receive("Q01P01.5Y"); }, {u"pressure limit|01.5|Q01P01.5Y|"_s}},
        {[&] { c.port.receive("Q01L12.5Y"); }, {u"flow setpoint|12.5|Q01L12.5Y|"_s}},
        {[&] { press({&PumpConsole::runPump}); }, {u"run||Q00R0000Y|"_s}},
        {[&] { press({&PumpConsole::stopFromKeypad}); }, {u"stop||Q00S0000Y|"_s}},
        // The value as the operator typed it; the frame as the pump was told.
        {[&] { answer(u"12.46"_s, &PumpConsole::askFlow); }, {u"flow|12.46|Q00L12.5Y|"_s}},
        {[&] { answer(u"1.5"_s, &PumpConsole::askPressureLimit); }, {u"limit|1.5|Q00P01.5Y|"_s}},
        {[&] {
             press({&PumpConsole::beginPressureLimitEntry});
             digits({0, 4, 5});
         },
         {u"limit|04.5|Q00P04.5Y|"_s}},
        {[&] {
             press({&PumpConsole::beginFlowEntry});
             digits({1, 2, 3});
         },
         {u"flow|12.3|Q00L12.3Y|"_s}},
        {[&] { answer(u"3"_s, &PumpConsole::askPumpNumber); }, {u"pump number|3||"_s}},
        {[&] { press({&PumpConsole::runFromKeypad}); }, {u"run||Q03R0000Y|"_s}},
        {[&] {
             answer(u"0.05"_s, &PumpConsole::askRunLength);
             press({&PumpConsole::startTimedRun});
         },
         {u"timed run start||Q03R0000Y|"_s}},
        {[&] { press({&PumpConsole::pauseTimedRun}); }, {u"timed run pause||Q03S0000Y|"_s}},
        {[&] { press({&PumpConsole::resumeTimedRun}); }, {u"timed run continue||Q03R0000Y|"_s}},
        {[&] { c.ticker.ticks(3); }, {u"timed run time up||Q03S0000Y|"_s}},
        {[&] { press({&PumpConsole::endTimedRun}); }, {u"timed run end||Q03S0000Y|"_s}},
        {[&] {
             c.port.failWrites = true;
             press({&PumpConsole::stopPump});
             c.port.failWrites = false;
         },
         {u"command not sent||Q03S0000Y|stop: 串口写入失败：设备读写出错，可能已被拔出或已损坏"_s}},
        // The second value fills the record of two; the third no longer fits.
        {[&] { c.port.receive("Q01N02.0Y"); }, {u"pressure|02.0|Q01N02.0Y|"_s}},
        {[&] { c.port.receive("Q01N03.0Y"); },
         {u"pressure|03.0|Q01N03.0Y|"_s, u"record full|||压力记录已满（2 个数值）"_s}},
        {[&] { c.port.lose(); },
         {u"line lost|||串口 %1 已断开：读取失败（对方已关闭或设备已拔出）"_s.arg(device)}},
    };

    QStringList expected{u"2026-12-08T14:03:27.000+08:00|0.000|line open|||"_s + device};
    for (const Step &step : steps) {
        l.clock.advance(250);
        step.act();
        const QString time =
            QString::fromLatin1(runlog::localTime(l.clock.time.utcMs, 8 * 3600) + '|' +
                                runlog::seconds(l.clock.time.steadyNs - 5'000'000'000) + '|');
        for (const QString &row : step.rows) {
            expected << time + row;
        }
    }
    EXPECT_EQ(l.files(), QStringList{u"2026-12-08_14-03-27.csv"_s});
    EXPECT_EQ(l.rows(u"2026-12-08_14-03-27.csv"_s), expected);
    EXPECT_EQ(c.boxes.messages(u"notify"_s).size(), 2u) << "record full and line lost only";
}

TEST(RunLog, EachConnectionHasItsOwnFileAndNoOlderFileIsEverReplaced)
{
    LoggingConsole l;
    // A file of this second is there already (another console, or the clock set back).
    ASSERT_TRUE(QDir().mkpath(l.folder()));
    const QString older = QDir(l.folder()).filePath(u"2026-12-08_14-03-27.csv"_s);
    ASSERT_TRUE(writeBytes(older, "older log\r\n"));

    l.c.connect();
    l.receive("Q01N01.0Y");
    l.c.port.lose();
    l.clock.advance(400); // the same second still
    l.c.connect();
    l.receive("Q01N02.0Y");
    l.clock.advance(60'000);
    l.c.port.lose();
    l.c.connect();
    l.receive("Q01N03.0Y");
    l.settle();

    EXPECT_EQ(fileBytes(older), "older log\r\n"_ba);
    EXPECT_EQ(l.files(),
              (QStringList{u"2026-12-08_14-03-27-2.csv"_s, u"2026-12-08_14-03-27-3.csv"_s,
                           u"2026-12-08_14-03-27.csv"_s, u"2026-12-08_14-04-27.csv"_s}));
    const auto pressures = [&l](const QString &file) {
        return l.rows(file)
            .filter(u"|pressure|"_s)
            .replaceInStrings(QRegularExpression(u"^.*\\|pressure\\|"_s), {});
    };
    EXPECT_EQ(pressures(u"2026-12-08_14-03-27-2.csv"_s), QStringList{u"01.0|Q01N01.0Y|"_s});
    EXPECT_EQ(pressures(u"2026-12-08_14-03-27-3.csv"_s), QStringList{u"02.0|Q01N02.0Y|"_s});
    EXPECT_EQ(pressures(u"2026-12-08_14-04-27.csv"_s), QStringList{u"03.0|Q01N03.0Y|"_s});
    // Each file counts its seconds from its own connection.
    EXPECT_TRUE(l.rows(u"2026-12-08_14-04-27.csv"_s).back().contains(u"|0.250|pressure|"_s));
}

TEST(RunLog, ALogThatReachesItsBoundGoesOnInNumberedPartsOfWholeRows)
{
    constexpr qint64 bound = 1000;
    LoggingConsole l({{}, bound});
    l.c.connect();
    QStringList sent;
    for (int i = 0; i < 60; ++i) {
        const QByteArray frame =
            "Q01N" + QByteArray::number(i % 100).rightJustified(2, '0') + ".5Y";
        l.receive(frame);
        sent << QString::fromLatin1(frame);
        if (i % 7 == 0) {
            l.settle(); // batches of several rows, as the timer hands them over
        }
    }
    l.settle();

    const QStringList files = l.files();
    ASSERT_GE(files.size(), 4);
    QStringList logged;
    for (int part = 1; part <= files.size(); ++part) {
        const QString name = runlog::fileName(u"2026-12-08_14-03-27"_s, part);
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(files.contains(name));
        EXPECT_LE(QFileInfo(QDir(l.folder()).filePath(name)).size(), bound);
        for (const QString &row : l.rows(name)) {
            if (row.contains(u"|pressure|"_s)) {
                logged << row.section(u'|', 4, 4);
            }
        }
    }
    EXPECT_EQ(logged, sent) << "every reply once, in order, across the parts";
}

TEST(RunLog, RepliesWaitForTheTimerButEveryOtherRowGoesOutAtOnce)
{
    {
        // A timer that never fires in this test: only the rows that are not replies can
        // bring the replies to the disk.
        LoggingConsole l({{}, RunLogOptions{}.maxFileBytes, std::chrono::hours(1)});
        l.c.connect();
        l.receive("Q01N01.0Y");
        l.log().waitForWriter();
        const QDir folder(l.folder());
        const QString path = folder.filePath(folder.entryList(QDir::Files).value(0));
        EXPECT_FALSE(fileBytes(path).contains("Q01N01.0Y")) << "a reply went out before its time";
        l.c.console.runPump();
        l.log().waitForWriter();
        const QByteArray bytes = fileBytes(path);
        EXPECT_TRUE(bytes.contains("Q01N01.0Y") && bytes.contains("Q00R0000Y"));
    }
    {
        LoggingConsole l({{}, RunLogOptions{}.maxFileBytes, std::chrono::milliseconds(20)});
        l.c.connect();
        l.receive("Q01N01.0Y");
        const QDir folder(l.folder());
        EXPECT_TRUE(waitUntil([&] {
            return fileBytes(folder.filePath(folder.entryList(QDir::Files).value(0)))
                .contains("Q01N01.0Y");
        })) << "the timer did not hand the reply over";
    }
}

TEST(RunLog, ClosingTheConsoleEndsTheFileWithTheLineClosedRow)
{
    QStringList rows;
    {
        LoggingConsole l;
        l.c.connect();
        l.receive("Q01N01.0Y");
        rows = l.rows(l.files().value(0)); // flushed, and still open
        EXPECT_FALSE(rows.back().contains(u"line closed"_s));
        l.c.console.closeLine();
        rows = l.rows(l.files().value(0));
    }
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[2].endsWith(u"|line closed|||"_s));

    // The quick way out (文件 → 退出) leaves the line open: the console's end closes the log.
    const QTemporaryDir outside;
    {
        LoggingConsole l({}, outside.path());
        l.c.connect();
        l.receive("Q01N01.0Y");
    }
    const QDir folder(outside.filePath(u"pumplogs"_s));
    const QStringList files = folder.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const CsvRead csv = readCsv(fileBytes(folder.filePath(files[0])).mid(3));
    ASSERT_EQ(csv.rows.size(), 4) << "header, line open, pressure, line closed";
    EXPECT_EQ(csv.rows[2][2], u"pressure"_s);
    EXPECT_EQ(csv.rows[3][2], u"line closed"_s);
}

TEST(RunLog, AFolderThatCannotBeMadeIsToldOnceAndTheConsoleRunsOnUntilTheNextConnection)
{
    LoggingConsole l;
    // A file where the folder should be: no folder can be made there, not even by root.
    ASSERT_TRUE(writeBytes(l.folder(), {}));
    TestConsole &c = l.c;

    c.connect();
    for (int i = 0; i < 5; ++i) {
        l.receive("Q01N01.0Y");
        c.console.runPump();
        l.settle();
        QCoreApplication::processEvents(); // the writer's report
    }
    ASSERT_TRUE(waitUntil([&] { return !l.log().isWriting(); }));
    const auto notices = c.boxes.messages(u"notify"_s);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, u"运行记录"_s);
    EXPECT_TRUE(notices[0].prompt.startsWith(
        u"运行记录无法写入 %1：无法创建该文件夹。"_s.arg(QDir::toNativeSeparators(l.folder()))))
        << notices[0].prompt.toStdString();
    EXPECT_TRUE(c.boxes.messages().empty()) << "no blocking box";
    // The console went on as if nothing had happened.
    EXPECT_EQ(c.console.pump().record().size(), 5);
    EXPECT_EQ(c.port.written.size(), 5u);
    EXPECT_EQ(c.caption(Readout::Pressure), u"01.0"_s);

    // The next connection tries again, still in vain: the operator knows already.
    c.port.lose();
    c.connect();
    l.receive("Q01N02.0Y");
    l.settle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.boxes.messages(u"notify"_s).empty());

    // The folder can be made again: the connection after that is logged.
    c.port.lose();
    QFile::remove(l.folder());
    c.connect();
    l.receive("Q01N03.0Y");
    ASSERT_EQ(l.files().size(), 1);
    EXPECT_TRUE(l.rows(l.files()[0]).back().endsWith(u"|pressure|03.0|Q01N03.0Y|"_s));
    EXPECT_TRUE(l.log().isWriting());
    EXPECT_EQ(c.console.pump().record().size(), 7);
}

TEST(RunLog, AMarkIsWrittenAtTheMomentAskedAndReadsBackWithItsNote)
{
    LoggingConsole l;
    TestConsole &c = l.c;
    // Before a connection there is no log to hold it: the operator is told, nothing is asked.
    c.console.markMoment();
    ASSERT_EQ(c.boxes.shown.size(), 1u);
    EXPECT_EQ(c.boxes.shown.back().kind, u"tell"_s);

    c.connect();
    l.clock.advance(1000);
    const qint64 pressed = l.clock.time.utcMs;
    // Typing the note takes a while, and a reply comes meanwhile.
    c.boxes.whileOpen = [&] {
        c.boxes.whileOpen = nullptr;
        l.receive("Q01N01.2Y");
        l.clock.advance(20'000);
    };
    c.boxes.answers.push_back(u"  换柱,  \"B\" 批 "_s);
    c.console.markMoment();
    c.boxes.answers.push_back(std::nullopt); // cancelled: no mark
    c.console.markMoment();

    const QStringList files = l.files();
    ASSERT_EQ(files.size(), 1);
    runlog::RunLogReader reader;
    std::vector<std::pair<qint64, QString>> marks;
    ASSERT_TRUE(reader.feed(fileBytes(QDir(l.folder()).filePath(files.front())),
                            [&](const runlog::RowView &row) {
                                if (row.word && row.word->kind == RunEventKind::Mark) {
                                    marks.emplace_back(row.time.utcMs, QString::fromUtf8(row.note));
                                }
                            }));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks.front().first, pressed);
    EXPECT_EQ(marks.front().second, u"换柱, \"B\" 批"_s);
}
