#pragma once
// The run log's bytes: one CSV row per event (RFC 4180: comma-separated, fields quoted only
// when they must be, CR LF line ends), UTF-8 behind a byte order mark so that a spreadsheet
// opened by double-click reads the Chinese notes right. Pure functions, so that each byte is
// pinned by a table test.

#include "control/runlog/runevents.h"

#include <array>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

namespace runlog {

// "2026-12-08T14:03:27.123+08:00": the local time with milliseconds and its offset from UTC.
inline constexpr int localTimeLength = 29;
// Writes the local time for `utcMs` at `offsetSeconds` at `out` and returns the end. Years
// outside 0001..9999 are clamped into it (the form has four year digits).
char *writeLocalTime(char *out, qint64 utcMs, int offsetSeconds);
QByteArray localTime(qint64 utcMs, int offsetSeconds);

// "12.345": `ns` as seconds with three decimals, cut (not rounded) to the millisecond so that
// a row is never stamped later than it happened. Below zero gives "0.000".
char *writeSeconds(char *out, qint64 ns);
QByteArray seconds(qint64 ns);

// Appends one field, quoted when it holds a comma, a quote, CR or LF (quotes doubled).
void appendField(QByteArray &out, QByteArrayView utf8);
void appendField(QByteArray &out, QStringView text);
// A frame as it was on the line: printable ASCII as is, a backslash doubled, any other byte
// as "\xNN", so that line noise neither breaks a row nor hides in it.
void appendFrame(QByteArray &out, QByteArrayView frame);

// The columns, in the order of a row; the header names them so. The reader checks a file's
// header against the same list, so the two can never disagree. Logs written before the pump
// column have the first six.
enum class Column { Time, Seconds, Event, Value, Frame, Note, Pump };
inline constexpr std::array<QLatin1StringView, 7> columnNames{
    QLatin1StringView("time"),  QLatin1StringView("seconds"), QLatin1StringView("event"),
    QLatin1StringView("value"), QLatin1StringView("frame"),   QLatin1StringView("note"),
    QLatin1StringView("pump")};
inline constexpr int columnsBeforePump = 6;
inline constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");

// The event column: "pressure", "run", "command not sent", "line lost", …
QLatin1StringView eventName(const RunEvent &event);
QLatin1StringView eventName(RunEventKind kind, PumpCommand command);

// The event a name in the event column stands for; none for a name this console does not write
// (a log from a newer console may hold more).
struct EventWord
{
    RunEventKind kind = RunEventKind::Pressure;
    PumpCommand command = PumpCommand::Run;
};
std::optional<EventWord> eventOf(QByteArrayView name);

// The note column of `event`'s row: a command not sent says first which command it was.
QString rowNote(const RunEvent &event);

// The first line of every file, with the byte order mark before it.
QByteArray header();
// Appends the row for `event`; `openedNs` is the monotonic time the line was opened.
void appendRow(QByteArray &out, const RunEvent &event, qint64 openedNs);

// "2026-12-08_14-03-27": the local time a connection opened, as a file name.
QString fileBaseName(const RunTime &opened);
// The first file is "BASE.csv", later ones (after 100 MB, or when a name is taken) "BASE-2.csv", …
QString fileName(const QString &baseName, int part);
struct FilePart
{
    QString baseName;
    int part = 1;
};
// A name fileName() gives, back to its base name and part; none for any other name.
std::optional<FilePart> filePart(const QString &fileName);

// Whether the environment's PUMPCONSOLE_RUN_LOG setting leaves the log on: everything but
// "0", "off", "no" and "false" (in any case) does, and so does no setting at all.
bool enabledBy(QStringView setting);

} // namespace runlog
