// Reading run logs back: what the writer writes reads back as the same rows, whole or in any
// pieces; a file cut off mid-row, a damaged line, a file that grows, and files that are no run
// log at all.

#include "control/runlog/runlogformat.h"
#include "control/runlog/runlogreader.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <random>

using namespace Qt::StringLiterals;

namespace {

struct Row
{
    qint64 utcMs;
    int offset;
    qint64 secondsMs;
    QByteArray event;
    bool known;
    QByteArray value, frame, note;
    std::optional<qint16> pump;
    bool operator==(const Row &) const = default;
};

struct Read
{
    std::vector<Row> rows;
    bool accepted = true;
    QString refusal;
    qint64 skipped = 0;
    qsizetype pending = 0;
};

Read readInPieces(const QByteArray &file, qsizetype piece)
{
    runlog::RunLogReader reader;
    Read out;
    for (qsizetype at = 0; at < file.size(); at += piece) {
        out.accepted =
            reader.feed(QByteArrayView(file).sliced(at, std::min(piece, file.size() - at)),
                        [&](const runlog::RowView &r) {
                            out.rows.push_back({r.time.utcMs, r.time.utcOffsetSeconds, r.secondsMs,
                                                r.event.toByteArray(), r.word.has_value(),
                                                r.value.toByteArray(), r.frame.toByteArray(),
                                                r.note.toByteArray(), r.pump});
                        });
    }
    out.refusal = reader.refusal();
    out.skipped = reader.rowsSkipped();
    out.pending = reader.pendingBytes();
    return out;
}

RunEvent event(RunEventKind kind, qint64 utcMs, int offset, QString value = {},
               QByteArray frame = {}, QString note = {})
{
    RunEvent e;
    e.kind = kind;
    e.time = {utcMs, offset, utcMs * 1'000'000};
    e.value = std::move(value);
    e.frame = std::move(frame);
    e.note = std::move(note);
    return e;
}

const qint64 t0 = QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58), Qt::UTC).toMSecsSinceEpoch();

// A log as the writer writes it: a line opened, replies, a command, a mark with a note that
// must be quoted, and a reply with a byte that is not printable.
QByteArray sampleLog()
{
    QByteArray log = runlog::header();
    const RunEvent events[] = {
        event(RunEventKind::LineOpened, t0, 8 * 3600, {}, {}, u"/dev/ttyUSB0"_s),
        [] {
            RunEvent e = event(RunEventKind::Pressure, t0 + 9, 8 * 3600, u"01.2"_s, "Q01N01.2Y");
            e.pump = 12;
            return e;
        }(),
        event(RunEventKind::FlowSetpoint, t0 + 18, 8 * 3600, u"05.0"_s, "Q01L05.0Y"),
        event(RunEventKind::CommandSent, t0 + 1000, 8 * 3600, {}, "Q01R0000Y"),
        event(RunEventKind::Mark, t0 + 2500, 8 * 3600, {}, {}, u"换柱, \"B\" 批\r\n第二行"_s),
        event(RunEventKind::Pressure, t0 + 2600, 8 * 3600, u"0\x01.2"_s, "Q01N0\x01.2Y"),
    };
    for (const RunEvent &e : events) {
        runlog::appendRow(log, e, t0 * 1'000'000);
    }
    return log;
}

} // namespace

TEST(RunLogReader, LocalTimeReadsBackWhatTheWriterWrites)
{
    std::mt19937_64 random(24);
    std::uniform_int_distribution<qint64> instants(-62'135'596'800'000, 253'402'300'799'999);
    const int offsets[] = {
        0,         3600,       -3600,          8 * 3600, 5 * 3600 + 1800, -(9 * 3600 + 1800),
        14 * 3600, -12 * 3600, 5 * 3600 + 2700};
    for (int i = 0; i < 20000; ++i) {
        const int offset = offsets[i % std::size(offsets)];
        // Inside the years a stamp can show, after the offset is added.
        const qint64 utc = std::clamp<qint64>(instants(random), -62'135'596'800'000 + 86'400'000,
                                              253'402'300'799'999 - 86'400'000);
        const QByteArray text = runlog::localTime(utc, offset);
        const auto back = runlog::parseLocalTime(text);
        ASSERT_TRUE(back) << text.constData();
        EXPECT_EQ(back->utcMs, utc) << text.constData();
        EXPECT_EQ(back->utcOffsetSeconds, offset) << text.constData();
    }
}

TEST(RunLogReader, LocalTimeRefusesWhatTheWriterNeverWrites)
{
    for (const char *text : {
             "2026-12-08T14:03:27.123+08:0",  // short
             "2026-12-08 14:03:27.123+08:00", // no T
             "2026-13-08T14:03:27.123+08:00", // month
             "2026-02-29T14:03:27.123+08:00", // not a leap year
             "2026-04-31T14:03:27.123+08:00", // April has 30 days
             "2026-12-08T24:00:00.000+08:00", // hour
             "2026-12-08T14:60:27.123+08:00", // minute
             "2026-12-08T14:03:27.123*08:00", // offset sign
             "2026-12-08T14:03:27.123+08:60", // offset minutes
             "0000-12-08T14:03:27.123+08:00", // year zero
             "2026-12-08T14:03:2x.123+08:00", // digit
         }) {
        EXPECT_FALSE(runlog::parseLocalTime(QByteArrayView(text))) << text;
    }
    EXPECT_TRUE(runlog::parseLocalTime("2024-02-29T23:59:59.999-09:30"));
}

TEST(RunLogReader, RowsReadBackTheSameWholeOrInAnyPieces)
{
    const QByteArray log = sampleLog();
    const Read whole = readInPieces(log, log.size());
    ASSERT_TRUE(whole.accepted) << whole.refusal.toStdString();
    ASSERT_EQ(whole.rows.size(), 6u);
    EXPECT_EQ(whole.skipped, 0);
    EXPECT_EQ(whole.pending, 0);

    const Row &open = whole.rows[0];
    EXPECT_EQ(open.utcMs, t0);
    EXPECT_EQ(open.offset, 8 * 3600);
    EXPECT_EQ(open.event, "line open");
    EXPECT_EQ(open.note, "/dev/ttyUSB0");
    EXPECT_EQ(whole.rows[1].value, "01.2");
    EXPECT_EQ(whole.rows[1].secondsMs, 9);
    EXPECT_EQ(whole.rows[1].pump, qint16(12));
    EXPECT_EQ(open.pump, std::nullopt);
    EXPECT_EQ(whole.rows[3].event, "run");
    EXPECT_TRUE(whole.rows[3].known);
    EXPECT_EQ(whole.rows[4].event, "mark");
    EXPECT_EQ(QString::fromUtf8(whole.rows[4].note), u"换柱, \"B\" 批\r\n第二行"_s);
    EXPECT_EQ(whole.rows[5].frame, "Q01N0\\x01.2Y");
    EXPECT_EQ(whole.rows[5].secondsMs, 2600);

    for (const qsizetype piece : {1, 2, 3, 7, 29, 64}) {
        SCOPED_TRACE(piece);
        const Read pieces = readInPieces(log, piece);
        EXPECT_TRUE(pieces.accepted);
        EXPECT_EQ(pieces.rows, whole.rows);
    }
}

TEST(RunLogReader, DamagedTruncatedAndForeignRows)
{
    const QByteArray head = runlog::header();
    const QByteArray good = "2026-12-08T14:03:27.123+08:00,1.000,pressure,01.2,Q01N01.2Y,,1\r\n";
    struct Case
    {
        const char *what;
        QByteArray file;
        size_t rows;
        qint64 skipped;
        bool pending; // a row cut off at the end is held, not read and not skipped
    };
    const Case cases[] = {
        {"good", head + good + good, 2, 0, false},
        {"cut off mid-row", head + good + good.left(40), 1, 0, true},
        {"cut off in a quoted note", head + good + good.left(60) + "\"half a no", 1, 0, true},
        {"cut off between CR and LF", head + good + good.chopped(1), 1, 0, true},
        {"too few fields", head + "2026-12-08T14:03:27.123+08:00,1.000,pressure\r\n" + good, 1, 1,
         false},
        {"too many fields", head + good.chopped(2) + ",extra\r\n" + good, 1, 1, false},
        {"bad time", head + "2026-12-08 14:03,1.000,pressure,01.2,Q,,1\r\n" + good, 1, 1, false},
        {"bad seconds", head + "2026-12-08T14:03:27.123+08:00,1.0,pressure,01.2,Q,,1\r\n" + good, 1,
         1, false},
        {"quoted time", head + "\"2026-12-08T14:03:27.123+08:00\",1.000,run,,Q,,1\r\n" + good, 1, 1,
         false},
        {"text after a closing quote",
         head + "2026-12-08T14:03:27.123+08:00,1.000,mark,,,\"a\"b,\r\n" + good, 1, 1, false},
        {"a header again (parts joined)", head + good + head + good, 2, 1, false},
        {"LF line ends", head.chopped(2) + "\n" + good.chopped(2) + "\n", 1, 0, false},
        {"an event this console does not write",
         head + QByteArray(good).replace("pressure", "program step"), 1, 0, false},
        {"no byte order mark", head.mid(3) + good, 1, 0, false},
        {"a log from before the pump column",
         "\xEF\xBB\xBFtime,seconds,event,value,frame,note\r\n" + good.chopped(4) + "\r\n", 1, 0,
         false},
        {"a pump that is no number", head + good.chopped(3) + "x\r\n" + good, 1, 1, false},
        {"a quoted pump", head + good.chopped(3) + "\"1\"\r\n" + good, 1, 1, false},
        {"pump -1", head + good.chopped(3) + "-1\r\n" + good, 2, 0, false},
        {"pump 100", head + good.chopped(3) + "100\r\n" + good, 2, 0, false},
        // What a power cut leaves: NULs up to the file's length, and no line end.
        {"NULs at the end", head + good + QByteArray(300 * 1024, '\0'), 1, 1, false},
        {"NULs, then a console writing on",
         head + good + QByteArray(300 * 1024, '\0') + good + good, 2, 1, false},
        {"a stray quote, then NULs", head + good + "\"" + QByteArray(300 * 1024, '\0'), 1, 1,
         false},
        {"pump 32768 (beyond any pump setting)", head + good.chopped(3) + "32768\r\n" + good, 1, 1,
         false},
    };
    for (const Case &c : cases) {
        // Whole, and as a growing file is read.
        for (const qsizetype piece : {c.file.size(), qsizetype(4096)}) {
            SCOPED_TRACE(testing::Message() << c.what << " in pieces of " << piece);
            const Read read = readInPieces(c.file, piece);
            EXPECT_TRUE(read.accepted);
            EXPECT_EQ(read.rows.size(), c.rows);
            EXPECT_EQ(read.skipped, c.skipped);
            EXPECT_EQ(read.pending > 0, c.pending);
        }
    }
}

TEST(RunLogReader, AFileThatIsNoRunLogIsRefusedWithTheReason)
{
    struct Case
    {
        QByteArray file;
        const char *reasonHas;
    };
    const Case cases[] = {
        {"时间,压力\r\n2026-12-08 14:03,1.2\r\n"_ba, "这个文件的第一行是“时间,压力”"},
        {"time,seconds,event,value,frame\r\n"_ba,
         "运行记录的第一行是“time,seconds,event,value,frame,note,pump”"},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "不是文本文件"},
        {"\xEF\xBB\xBF"
         "Q01N01.2Y\r\n"_ba,
         "第一行是“Q01N01.2Y”"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reasonHas);
        runlog::RunLogReader reader;
        int rows = 0;
        EXPECT_FALSE(reader.feed(c.file, [&](const runlog::RowView &) { ++rows; }));
        EXPECT_TRUE(reader.refusal().contains(QString::fromUtf8(c.reasonHas)))
            << reader.refusal().toStdString();
        EXPECT_FALSE(reader.isRunLog());
        EXPECT_EQ(rows, 0);
    }
    // A header that has not fully arrived yet is no reason to refuse.
    runlog::RunLogReader growing;
    EXPECT_TRUE(growing.feed(runlog::header().left(12), [](const runlog::RowView &) {}));
    EXPECT_TRUE(growing.refusal().isEmpty());
    EXPECT_FALSE(growing.isRunLog());
}
