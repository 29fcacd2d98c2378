#include "control/runlog/runlogformat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace runlog {

namespace {

constexpr qint64 msPerDay = 86'400'000;
// 0001-01-01T00:00:00.000 and 9999-12-31T23:59:59.999 as milliseconds since 1970.
constexpr qint64 earliestMs = -62'135'596'800'000;
constexpr qint64 latestMs = 253'402'300'799'999;

struct Civil
{
    int year, month, day, hour, minute, second, ms;
};

// Days since 1970-01-01 to a calendar date (proleptic Gregorian), after H. Hinnant's
// civil_from_days: exact for every day, no tables, no time zone database. One 64-bit division;
// the rest fits 32 bits, which a row's time stamp is glad of.
Civil civilFromLocalMs(qint64 localMs)
{
    localMs = std::clamp(localMs, earliestMs, latestMs);
    qint64 days = localMs / msPerDay;
    int msOfDay = int(localMs - days * msPerDay);
    if (msOfDay < 0) {
        msOfDay += int(msPerDay);
        --days;
    }
    // Shifted to start at 0000-03-01, so that the era is never negative within 0001..9999.
    const int z = int(days) + 719'468;
    const int era = z / 146'097;
    const int doe = z - era * 146'097;
    const int yoe = (doe - doe / 1'460 + doe / 36'524 - doe / 146'096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int day = doy - (153 * mp + 2) / 5 + 1;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    const int year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {
        year,          month, day, msOfDay / 3'600'000, msOfDay / 60'000 % 60, msOfDay / 1000 % 60,
        msOfDay % 1000};
}

char *digits(char *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// "2026-12-08T14:03:27" with the two separators given ('T' and ':' in a time stamp).
char *writeDateTime(char *out, const Civil &c, char beforeTime, char inTime)
{
    out = digits(out, c.year, 4);
    *out++ = '-';
    out = digits(out, c.month, 2);
    *out++ = '-';
    out = digits(out, c.day, 2);
    *out++ = beforeTime;
    out = digits(out, c.hour, 2);
    *out++ = inTime;
    out = digits(out, c.minute, 2);
    *out++ = inTime;
    return digits(out, c.second, 2);
}

// The pump column: its number as the frames count it, nothing for the line's own rows. At most
// six characters.
char *writePump(char *out, std::optional<qint16> pump)
{
    return pump ? std::to_chars(out, out + 6, int(*pump)).ptr : out;
}

bool needsQuotes(char c)
{
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

bool isPlainFrameByte(char c)
{
    return c >= 0x20 && c <= 0x7e && c != '\\';
}

} // namespace

char *writeLocalTime(char *out, qint64 utcMs, int offsetSeconds)
{
    const Civil c = civilFromLocalMs(utcMs + qint64(offsetSeconds) * 1000);
    out = writeDateTime(out, c, 'T', ':');
    *out++ = '.';
    out = digits(out, c.ms, 3);
    *out++ = offsetSeconds < 0 ? '-' : '+';
    const int offsetMinutes = std::abs(offsetSeconds) / 60;
    out = digits(out, std::min(offsetMinutes / 60, 99), 2);
    *out++ = ':';
    return digits(out, offsetMinutes % 60, 2);
}

QByteArray localTime(qint64 utcMs, int offsetSeconds)
{
    char buf[localTimeLength];
    return QByteArray(buf, writeLocalTime(buf, utcMs, offsetSeconds) - buf);
}

char *writeSeconds(char *out, qint64 ns)
{
    const qint64 ms = std::max<qint64>(0, ns / 1'000'000);
    char whole[20];
    char *end = whole + sizeof whole;
    char *p = end;
    qint64 s = ms / 1000;
    for (; s > 0xffff'ffff; s /= 10) {
        *--p = char('0' + s % 10);
    }
    // A connection shorter than 136 years counts in 32 bits.
    auto small = quint32(s);
    do {
        *--p = char('0' + small % 10);
        small /= 10;
    } while (small > 0);
    std::memcpy(out, p, size_t(end - p));
    out += end - p;
    *out++ = '.';
    return digits(out, int(ms % 1000), 3);
}

QByteArray seconds(qint64 ns)
{
    char buf[32];
    return QByteArray(buf, writeSeconds(buf, ns) - buf);
}

void appendField(QByteArray &out, QByteArrayView utf8)
{
    if (std::none_of(utf8.begin(), utf8.end(), needsQuotes)) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (const char c : utf8) {
        if (c == '"') {
            out.append('"');
        }
        out.append(c);
    }
    out.append('"');
}

void appendField(QByteArray &out, QStringView text)
{
    // The values and most notes are ASCII: no conversion, no allocation.
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x80 && !needsQuotes(char(c.unicode()));
    });
    if (!ascii) {
        appendField(out, text.toUtf8());
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *p = out.data() + at;
    for (const QChar c : text) {
        *p++ = char(c.unicode());
    }
}

void appendFrame(QByteArray &out, QByteArrayView frame)
{
    if (std::all_of(frame.begin(), frame.end(), isPlainFrameByte)) {
        appendField(out, frame);
        return;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray text;
    for (const char c : frame) {
        if (isPlainFrameByte(c)) {
            text.append(c);
        } else if (c == '\\') {
            text.append("\\\\");
        } else {
            const auto byte = static_cast<unsigned char>(c);
            text.append("\\x").append(hex[byte >> 4]).append(hex[byte & 0xf]);
        }
    }
    appendField(out, text);
}

namespace {

// In the order of RunEventKind; a command sent is named by its command.
constexpr std::array<QLatin1StringView, 21> kindNames{{
    "line open"_L1,
    "line back"_L1,
    "pressure"_L1,
    "flow setpoint"_L1,
    "pressure limit"_L1,
    {},
    "command not sent"_L1,
    "pump number"_L1,
    "line lost"_L1,
    "line closed"_L1,
    "record full"_L1,
    "safety stop"_L1,
    "safety stop not sent"_L1,
    "safety acknowledged"_L1,
    "mark"_L1,
    "program start"_L1,
    "program step"_L1,
    "program pause"_L1,
    "program continue"_L1,
    "program abort"_L1,
    "program end"_L1,
}};
static_assert(kindNames.size() == std::size_t(RunEventKind::ProgramEnd) + 1);

} // namespace

QLatin1StringView eventName(RunEventKind kind, PumpCommand command)
{
    if (kind == RunEventKind::CommandSent) {
        return pumpcommand::logName(command);
    }
    return kindNames[std::size_t(kind)];
}

QLatin1StringView eventName(const RunEvent &event)
{
    return eventName(event.kind, event.command);
}

std::optional<EventWord> eventOf(QByteArrayView name)
{
    // Nearly every row is a reply: those are found at the first comparisons.
    for (std::size_t i = 0; i < kindNames.size(); ++i) {
        const std::size_t at = (i + std::size_t(RunEventKind::Pressure)) % kindNames.size();
        if (!kindNames[at].isEmpty() && name == QByteArrayView(kindNames[at])) {
            return EventWord{RunEventKind(at), PumpCommand::Run};
        }
    }
    for (int c = 0; c <= int(PumpCommand::TimedRunTimeUp); ++c) {
        if (name == QByteArrayView(pumpcommand::logName(PumpCommand(c)))) {
            return EventWord{RunEventKind::CommandSent, PumpCommand(c)};
        }
    }
    return std::nullopt;
}

QString rowNote(const RunEvent &event)
{
    // Which command did not go out is part of why.
    return event.kind == RunEventKind::CommandNotSent
               ? QString(pumpcommand::logName(event.command) + ": "_L1 + event.note)
               : event.note;
}

QByteArray header()
{
    QByteArray line(byteOrderMark.data(), byteOrderMark.size());
    for (const QLatin1StringView name : columnNames) {
        line.append(name.data(), name.size()).append(',');
    }
    line.chop(1);
    return line.append("\r\n");
}

void appendRow(QByteArray &out, const RunEvent &event, qint64 openedNs)
{
    // Most rows are pressure replies: short ASCII value, plain frame, no note. They are built
    // in one piece on the stack and appended once; anything else takes the general way.
    constexpr qsizetype shortField = 16;
    char row[localTimeLength + 24 + 3 * shortField + 16];
    char *p = writeLocalTime(row, event.time.utcMs, event.time.utcOffsetSeconds);
    *p++ = ',';
    p = writeSeconds(p, event.time.steadyNs - openedNs);
    *p++ = ',';
    const QLatin1StringView name = eventName(event);
    std::memcpy(p, name.data(), size_t(name.size()));
    p += name.size();
    *p++ = ',';

    const bool simple =
        event.note.isEmpty() && event.kind != RunEventKind::CommandNotSent &&
        event.value.size() <= shortField && event.frame.size() <= shortField &&
        std::all_of(
            event.value.begin(), event.value.end(),
            [](QChar c) { return c.unicode() < 0x80 && !needsQuotes(char(c.unicode())); }) &&
        std::all_of(event.frame.begin(), event.frame.end(),
                    [](char c) { return isPlainFrameByte(c) && !needsQuotes(c); });
    if (simple) {
        for (const QChar c : event.value) {
            *p++ = char(c.unicode());
        }
        *p++ = ',';
        std::memcpy(p, event.frame.constData(), size_t(event.frame.size()));
        p += event.frame.size();
        *p++ = ',';
        *p++ = ',';
        p = writePump(p, event.pump);
        std::memcpy(p, "\r\n", 2);
        out.append(row, p + 2 - row);
        return;
    }
    out.append(row, p - row);
    appendField(out, event.value);
    out.append(',');
    appendFrame(out, event.frame);
    out.append(',');
    appendField(out, rowNote(event));
    out.append(',');
    char pump[8];
    out.append(pump, writePump(pump, event.pump) - pump);
    out.append("\r\n", 2);
}

QString fileBaseName(const RunTime &opened)
{
    const Civil c = civilFromLocalMs(opened.utcMs + qint64(opened.utcOffsetSeconds) * 1000);
    char buf[19];
    return QString::fromLatin1(buf, writeDateTime(buf, c, '_', '-') - buf);
}

QString fileName(const QString &baseName, int part)
{
    return part <= 1 ? baseName + ".csv"_L1 : u"%1-%2.csv"_s.arg(baseName).arg(part);
}

std::optional<FilePart> filePart(const QString &fileName)
{
    static const QRegularExpression name(
        uR"(^(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})(?:-(\d+))?\.csv$)"_s);
    const QRegularExpressionMatch match = name.match(fileName);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return FilePart{match.captured(1), match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()};
}

bool enabledBy(QStringView setting)
{
    const QStringView value = setting.trimmed();
    for (const auto off : {"0"_L1, "off"_L1, "no"_L1, "false"_L1}) {
        if (value.compare(off, Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace runlog
