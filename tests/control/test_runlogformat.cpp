// The run log's bytes, pinned by tables: the time stamps, the CSV fields and their quoting,
// the frames as the line carried them, the event names scripts match on, the file names.

#include "control/runlog/pumpcommand.h"
#include "control/runlog/runlogformat.h"
#include "support/csv.h"
#include "support/printto.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <random>

using namespace Qt::StringLiterals;

namespace {

qint64 utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC).toMSecsSinceEpoch();
}

} // namespace

TEST(RunLogFormat, LocalTimeHasMillisecondsAndTheOffsetFromUtc)
{
    struct Case
    {
        qint64 utcMs;
        int offset;
        const char *text;
    };
    const Case cases[] = {
        {utc(2026, 12, 8, 6, 3, 27, 123), 8 * 3600, "2026-12-08T14:03:27.123+08:00"},
        {utc(2026, 12, 8, 6, 3, 27, 5), 0, "2026-12-08T06:03:27.005+00:00"},
        {utc(2026, 1, 1, 2, 0, 0), -5 * 3600, "2025-12-31T21:00:00.000-05:00"},
        {utc(2026, 3, 1, 0, 0, 0), -3600, "2026-02-28T23:00:00.000-01:00"},
        {utc(2024, 2, 29, 18, 29, 59, 999), 5 * 3600 + 1800, "2024-02-29T23:59:59.999+05:30"},
        {utc(2024, 2, 29, 18, 15, 0), 5 * 3600 + 2700, "2024-03-01T00:00:00.000+05:45"},
        {utc(2000, 2, 29, 12, 0, 0), -(9 * 3600 + 1800), "2000-02-29T02:30:00.000-09:30"},
        {utc(1900, 3, 1, 0, 0, 0), 0, "1900-03-01T00:00:00.000+00:00"},
        {utc(1970, 1, 1, 0, 0, 0), 14 * 3600, "1970-01-01T14:00:00.000+14:00"},
        {-1, 0, "1969-12-31T23:59:59.999+00:00"},
        // Outside four-digit years the stamp stays the same length.
        {std::numeric_limits<qint64>::min() / 2, 0, "0001-01-01T00:00:00.000+00:00"},
        {std::numeric_limits<qint64>::max() / 2, 0, "9999-12-31T23:59:59.999+00:00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(runlog::localTime(c.utcMs, c.offset), QByteArray(c.text));
    }
}

TEST(RunLogFormat, LocalTimeAgreesWithQtForManyInstantsAndOffsets)
{
    std::mt19937_64 random(15);
    std::uniform_int_distribution<qint64> instants(utc(1971, 1, 1, 0, 0, 0),
                                                   utc(2200, 1, 1, 0, 0, 0));
    const int offsets[] = {
        0,         3600,       -3600,          8 * 3600, 5 * 3600 + 1800, -(3 * 3600 + 1800),
        14 * 3600, -12 * 3600, 5 * 3600 + 2700};
    for (int i = 0; i < 20000; ++i) {
        const qint64 ms = instants(random);
        const int offset = offsets[i % std::size(offsets)];
        QString expected = QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset)
                               .toString(Qt::ISODateWithMs);
        if (expected.endsWith(u'Z')) {
            expected.chop(1);
            expected += u"+00:00"_s;
        }
        ASSERT_EQ(QString::fromLatin1(runlog::localTime(ms, offset)), expected) << ms;
    }
}

TEST(RunLogFormat, SecondsAreCutToTheMillisecond)
{
    const std::pair<qint64, const char *> cases[] = {
        {0, "0.000"},
        {999'999, "0.000"},
        {1'000'000, "0.001"},
        {1'999'999'999, "1.999"},
        {3'723'004'000'000, "3723.004"},
        {86'400'000'000'000 * 400, "34560000.000"},
        {-5, "0.000"},
        {-2'000'000'000, "0.000"},
    };
    for (const auto &[ns, text] : cases) {
        EXPECT_EQ(runlog::seconds(ns), QByteArray(text)) << ns;
    }
}

TEST(RunLogFormat, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    const std::pair<QString, QByteArray> cases[] = {
        {u""_s, ""},
        {u"12.5"_s, "12.5"},
        {u"-1.5"_s, "-1.5"},
        {u" padded "_s, " padded "},
        {u"a,b"_s, "\"a,b\""},
        {u"say \"hi\""_s, "\"say \"\"hi\"\"\""},
        {u"\""_s, "\"\"\"\""},
        {u"two\r\nlines"_s, "\"two\r\nlines\""},
        {u"lone\nLF"_s, "\"lone\nLF\""},
        {u"串口写入失败：I/O error"_s, "串口写入失败：I/O error"},
        {u"设备，已拔出"_s, "设备，已拔出"}, // a full-width comma is text
        {u"设备,已拔出"_s, "\"设备,已拔出\""},
    };
    for (const auto &[text, bytes] : cases) {
        SCOPED_TRACE(text.toStdString());
        QByteArray fromText = "x";
        runlog::appendField(fromText, text);
        EXPECT_EQ(fromText, "x" + bytes);
        QByteArray fromUtf8 = "x";
        runlog::appendField(fromUtf8, QByteArrayView(text.toUtf8()));
        EXPECT_EQ(fromUtf8, "x" + bytes);
    }
}

TEST(RunLogFormat, FramesAreShownAsTheLineCarriedThemWithNoiseSpelledOut)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"Q01N01.2Y", "Q01N01.2Y"},
        {"Q012R0000Y", "Q012R0000Y"},
        {"", ""},
        {QByteArray("Q01N\0.2Y", 8), "Q01N\\x00.2Y"},
        {"Q01N\r\n.2Y", "Q01N\\x0D\\x0A.2Y"},
        {"Q01N\xff\x7f.2Y", "Q01N\\xFF\\x7F.2Y"},
        {"Q01N\\x00Y", "Q01N\\\\x00Y"},
        {"Q01N,1.2Y", "\"Q01N,1.2Y\""},
        {"Q01N\"1.2Y", "\"Q01N\"\"1.2Y\""},
        {"Q01N\"\x01,Y", "\"Q01N\"\"\\x01,Y\""},
    };
    for (const auto &[frame, bytes] : cases) {
        QByteArray out;
        runlog::appendFrame(out, frame);
        EXPECT_EQ(out, bytes);
    }
}

TEST(RunLogFormat, EventNamesAreTheOnesScriptsMatch)
{
    const std::pair<RunEventKind, const char *> kinds[] = {
        {RunEventKind::LineOpened, "line open"},
        {RunEventKind::LineBack, "line back"},
        {RunEventKind::Pressure, "pressure"},
        {RunEventKind::FlowSetpoint, "flow setpoint"},
        {RunEventKind::PressureLimit, "pressure limit"},
        {RunEventKind::CommandNotSent, "command not sent"},
        {RunEventKind::PumpNumber, "pump number"},
        {RunEventKind::LineLost, "line lost"},
        {RunEventKind::LineClosed, "line closed"},
        {RunEventKind::RecordFull, "record full"},
        {RunEventKind::Mark, "mark"},
        {RunEventKind::ProgramStep, "program step"},
        {RunEventKind::ProgramEnd, "program end"},
    };
    for (const auto &[kind, name] : kinds) {
        RunEvent event;
        event.kind = kind;
        EXPECT_EQ(runlog::eventName(event), QLatin1StringView(name));
        // The reader takes the name back to the same event.
        const auto word = runlog::eventOf(QByteArrayView(name));
        ASSERT_TRUE(word) << name;
        EXPECT_EQ(word->kind, kind) << name;
    }
    for (int c = 0; c <= int(PumpCommand::TimedRunTimeUp); ++c) {
        const auto word = runlog::eventOf(QByteArrayView(pumpcommand::logName(PumpCommand(c))));
        ASSERT_TRUE(word);
        EXPECT_EQ(word->kind, RunEventKind::CommandSent);
        EXPECT_EQ(word->command, PumpCommand(c));
    }
    for (const char *foreign : {"", "Pressure", "pressure ", "program", "runs"}) {
        EXPECT_FALSE(runlog::eventOf(QByteArrayView(foreign))) << foreign;
    }
    // A command sent is named by the command; its Chinese name is the operator's.
    const std::tuple<PumpCommand, const char *, QString> commands[] = {
        {PumpCommand::Run, "run", u"运行"_s},
        {PumpCommand::Stop, "stop", u"停止"_s},
        {PumpCommand::Flow, "flow", u"流量设定"_s},
        {PumpCommand::PressureLimit, "limit", u"压力设定"_s},
        {PumpCommand::TimedRunStart, "timed run start", u"定时开始"_s},
        {PumpCommand::TimedRunPause, "timed run pause", u"定时暂停"_s},
        {PumpCommand::TimedRunContinue, "timed run continue", u"定时继续"_s},
        {PumpCommand::TimedRunEnd, "timed run end", u"定时结束"_s},
        {PumpCommand::TimedRunTimeUp, "timed run time up", u"定时到，停止"_s},
    };
    for (const auto &[command, name, chinese] : commands) {
        RunEvent event;
        event.kind = RunEventKind::CommandSent;
        event.command = command;
        EXPECT_EQ(runlog::eventName(event), QLatin1StringView(name));
        EXPECT_EQ(pumpcommand::operatorName(command), chinese);
    }
}

TEST(RunLogFormat, ARowIsSevenFieldsThatReadBackAsWritten)
{
    RunEvent event;
    event.kind = RunEventKind::CommandNotSent;
    event.command = PumpCommand::Flow;
    event.time = {utc(2026, 12, 8, 6, 3, 27, 412), 8 * 3600, 7'654'321'000};
    event.frame = "Q00L12.5Y";
    event.note = u"串口写入失败：\"I/O\", error"_s;
    QByteArray row;
    runlog::appendRow(row, event, 1'000'000'000);
    EXPECT_EQ(row, "2026-12-08T14:03:27.412+08:00,6.654,command not sent,,Q00L12.5Y,"
                   "\"flow: 串口写入失败：\"\"I/O\"\", error\",\r\n");
    const CsvRead csv = readCsv(row);
    ASSERT_EQ(csv.rows.size(), 1);
    EXPECT_EQ(csv.rows[0][5], u"flow: "_s + event.note);
    // The pump column: the pump's number, or nothing for the line's own rows.
    event.pump = 12;
    event.kind = RunEventKind::LineClosed;
    event.frame.clear();
    event.note.clear();
    row.clear();
    runlog::appendRow(row, event, 1'000'000'000);
    EXPECT_TRUE(row.endsWith("line closed,,,,12\r\n")) << row.toStdString();
    event.pump.reset();
    row.clear();
    runlog::appendRow(row, event, 1'000'000'000);
    EXPECT_TRUE(row.endsWith("line closed,,,,\r\n")) << row.toStdString();
    EXPECT_TRUE(runlog::header().startsWith("\xEF\xBB\xBF"
                                            "time,seconds,event,value,frame,note,pump\r\n"));
}

TEST(RunLogFormat, FileNamesComeFromTheLocalOpeningTime)
{
    const RunTime opened{utc(2026, 12, 8, 6, 3, 27, 999), 8 * 3600, 0};
    EXPECT_EQ(runlog::fileBaseName(opened), u"2026-12-08_14-03-27"_s);
    EXPECT_EQ(runlog::fileBaseName({utc(2026, 12, 31, 23, 0, 0), 3600, 0}),
              u"2027-01-01_00-00-00"_s);
    EXPECT_EQ(runlog::fileName(u"2026-12-08_14-03-27"_s, 1), u"2026-12-08_14-03-27.csv"_s);
    EXPECT_EQ(runlog::fileName(u"2026-12-08_14-03-27"_s, 2), u"2026-12-08_14-03-27-2.csv"_s);
    EXPECT_EQ(runlog::fileName(u"2026-12-08_14-03-27"_s, 12), u"2026-12-08_14-03-27-12.csv"_s);
    // And back, for whoever follows a log into its next part.
    for (const int part : {1, 2, 12}) {
        const auto back = runlog::filePart(runlog::fileName(u"2026-12-08_14-03-27"_s, part));
        EXPECT_TRUE(back && back->baseName == u"2026-12-08_14-03-27"_s && back->part == part);
    }
    EXPECT_FALSE(runlog::filePart(u"2026-12-08_14-03-27-x.csv"_s));
}

TEST(RunLogFormat, OnlyAnExplicitNoTurnsTheLogOff)
{
    const std::pair<QString, bool> cases[] = {
        {u""_s, true},    {u"1"_s, true},      {u"on"_s, true},   {u"yes"_s, true},
        {u"0"_s, false},  {u" 0 "_s, false},   {u"off"_s, false}, {u"OFF"_s, false},
        {u"no"_s, false}, {u"False"_s, false}, {u"00"_s, true},   {u"nope"_s, true},
    };
    for (const auto &[setting, on] : cases) {
        EXPECT_EQ(runlog::enabledBy(setting), on) << setting.toStdString();
    }
}
