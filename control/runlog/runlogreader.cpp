#include "control/runlog/runlogreader.h"

#include <algorithm>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace runlog {

namespace {

constexpr qint64 msPerDay = 86'400'000;
// A quoted field longer than this is a stray quote, not a note: the writer's longest fields
// are a few hundred bytes. Without a bound one stray quote would hold back the rest of a file.
constexpr qsizetype longestQuotedField = 64 * 1024;
// No unquoted field goes on past this far into its row: the writer's rows are far shorter.
// Bytes that go on without a line end (the NULs a power cut leaves at a file's end) are a
// damaged row; held back, they would hold back the rest of the file and be read again with
// every piece.
constexpr qsizetype longestRow = 4 * longestQuotedField;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits at `text[at]…text[at + width - 1]` as a number, or -1.
int number(QByteArrayView text, qsizetype at, int width)
{
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[at + i];
        if (!isDigit(c)) {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// A calendar date to days since 1970-01-01, the inverse of the writer's civil_from_days
// (after H. Hinnant's days_from_civil).
qint64 daysFromCivil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return qint64(era) * 146'097 + doe - 719'468;
}

QByteArrayView lineEndTrimmed(QByteArrayView line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

} // namespace

std::optional<LocalTime> parseLocalTime(QByteArrayView t)
{
    // 2026-12-08T14:03:27.123+08:00
    if (t.size() != localTimeLength || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != '.' || (t[23] != '+' && t[23] != '-') || t[26] != ':') {
        return std::nullopt;
    }
    const int year = number(t, 0, 4);
    const int month = number(t, 5, 2);
    const int day = number(t, 8, 2);
    const int hour = number(t, 11, 2);
    const int minute = number(t, 14, 2);
    const int second = number(t, 17, 2);
    const int ms = number(t, 20, 3);
    const int offsetHours = number(t, 24, 2);
    const int offsetMinutes = number(t, 27, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || ms < 0 || offsetHours < 0 ||
        offsetMinutes < 0 || offsetMinutes > 59 || day > daysInMonth(year, month)) {
        return std::nullopt;
    }
    const int offset = (t[23] == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    const qint64 localMs = daysFromCivil(year, month, day) * msPerDay +
                           ((hour * 60 + minute) * 60 + second) * qint64(1000) + ms;
    return LocalTime{localMs - qint64(offset) * 1000, offset};
}

std::optional<qint64> parseSeconds(QByteArrayView text)
{
    // At most 19 digits before the point would overflow; the writer's are far fewer.
    const qsizetype point = text.size() - 4;
    if (point < 1 || point > 15 || text[point] != '.') {
        return std::nullopt;
    }
    qint64 ms = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == point) {
            continue;
        }
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        ms = ms * 10 + (text[i] - '0');
    }
    return ms;
}

bool RunLogReader::feed(QByteArrayView bytes, const RowSink &row)
{
    if (!m_refusal.isEmpty()) {
        return false;
    }
    QByteArrayView data = bytes;
    if (!m_pending.isEmpty()) {
        m_pending.append(bytes);
        data = m_pending;
    }
    qsizetype at = 0;
    if (m_columns == 0 && !readHeader(data, at)) {
        if (!m_refusal.isEmpty()) {
            return false;
        }
        if (m_pending.isEmpty()) {
            m_pending = bytes.toByteArray();
        }
        return true;
    }
    RowView view;
    while (at < data.size()) {
        if (m_skippingLine) {
            const qsizetype end = data.indexOf('\n', at);
            m_skippingLine = end < 0;
            at = end < 0 ? data.size() : end + 1;
            continue;
        }
        qsizetype used = 0;
        const Parsed parsed = parseRow(data.sliced(at), used, view);
        if (parsed == Parsed::Incomplete) {
            break;
        }
        if (parsed == Parsed::Row) {
            ++m_rowsRead;
            row(view);
        } else {
            ++m_rowsSkipped;
        }
        if (parsed == Parsed::DamagedUnended) {
            m_skippingLine = true;
            at = data.size();
        } else {
            at += used;
        }
    }
    // Only the cut-off row is kept: it is small, the rest of the piece is done with.
    m_pending = data.sliced(at).toByteArray();
    return true;
}

void RunLogReader::startNextFile()
{
    m_pending.clear();
    m_columns = 0;
    m_skippingLine = false;
}

bool RunLogReader::readHeader(QByteArrayView data, qsizetype &used)
{
    const QByteArray line = header().mid(byteOrderMark.size());
    QByteArrayView rest = data;
    if (rest.size() < byteOrderMark.size() && byteOrderMark.startsWith(rest)) {
        return false; // the mark itself may still be coming
    }
    // A log saved again by an editor may have lost the mark; its columns are what count.
    if (rest.startsWith(byteOrderMark)) {
        rest = rest.sliced(byteOrderMark.size());
    }
    const qsizetype end = rest.indexOf('\n');
    const QByteArrayView first = end < 0 ? rest : rest.first(end);
    const QByteArrayView expected = QByteArrayView(line).chopped(2); // without CR LF
    if (end < 0 && expected.startsWith(lineEndTrimmed(first))) {
        return false; // the header may still be coming
    }
    // A log from before the pump column: the same columns but the last.
    const QByteArrayView older = expected.first(expected.lastIndexOf(','));
    if (lineEndTrimmed(first) == older) {
        m_columns = columnsBeforePump;
    } else if (lineEndTrimmed(first) == expected) {
        m_columns = int(columnNames.size());
    } else {
        const QByteArrayView start = rest.first(std::min<qsizetype>(rest.size(), 512));
        if (std::any_of(start.begin(), start.end(), [](char c) {
                return c >= 0 && c < 0x20 && c != '\r' && c != '\n' && c != '\t';
            })) {
            refuse(u"这不是运行记录：文件不是文本文件。"_s);
        } else {
            const QString seen = QString::fromUtf8(
                lineEndTrimmed(first.first(std::min<qsizetype>(first.size(), 80))));
            refuse(u"这不是运行记录：运行记录的第一行是“%1”，这个文件的第一行是“%2”。"_s.arg(
                QString::fromLatin1(expected), seen));
        }
    }
    if (m_columns == 0) {
        return false;
    }
    used = data.size() - rest.size() + end + 1;
    return true;
}

RunLogReader::Parsed RunLogReader::parseRow(QByteArrayView bytes, qsizetype &used, RowView &row)
{
    QByteArrayView fields[columnNames.size()];
    const qsizetype size = bytes.size();
    const char *p = bytes.data();
    qsizetype at = 0;
    // A row that turns out not to be one is passed over to its line's end, now or as it comes.
    const auto damaged = [&](qsizetype from) {
        const qsizetype end = bytes.indexOf('\n', from);
        if (end < 0) {
            return Parsed::DamagedUnended;
        }
        used = end + 1;
        return Parsed::Damaged;
    };
    for (int f = 0; f < m_columns; ++f) {
        const bool last = f == m_columns - 1;
        if (at < size && p[at] == '"') {
            // Quoted: quotes inside doubled. Only the value, the frame and the note are ever
            // quoted by the writer.
            QByteArray &out = m_unquoted[std::clamp(f - 3, 0, 2)];
            out.clear();
            qsizetype i = at + 1;
            for (;;) {
                const void *q = i < size ? std::memchr(p + i, '"', size_t(size - i)) : nullptr;
                if (!q) {
                    return size - at > longestQuotedField ? damaged(at) : Parsed::Incomplete;
                }
                const qsizetype quote = static_cast<const char *>(q) - p;
                if (quote - at > longestQuotedField) {
                    return damaged(at);
                }
                out.append(p + i, quote - i);
                if (quote + 1 >= size) {
                    return Parsed::Incomplete;
                }
                if (p[quote + 1] == '"') {
                    out.append('"');
                    i = quote + 2;
                    continue;
                }
                at = quote + 1;
                break;
            }
            if (f < int(Column::Value) || f > int(Column::Note)) {
                return damaged(at);
            }
            fields[f] = out;
        } else {
            const qsizetype start = at;
            const qsizetype end = std::min(size, longestRow);
            while (at < end && p[at] != ',' && p[at] != '\n') {
                ++at;
            }
            if (at == longestRow) {
                return damaged(at);
            }
            if (at >= size) {
                return Parsed::Incomplete;
            }
            fields[f] = bytes.sliced(start, at - start);
            if (last) {
                fields[f] = lineEndTrimmed(fields[f]);
            }
        }
        // After the field: a comma, or after the last one the line's end.
        if (last) {
            if (p[at] == '\r' && at + 1 < size && p[at + 1] == '\n') {
                ++at;
            } else if (p[at] == '\r') {
                return at + 1 >= size ? Parsed::Incomplete : damaged(at);
            }
            if (p[at] != '\n') {
                return damaged(at);
            }
        } else if (p[at] != ',') {
            return damaged(at);
        }
        ++at;
    }
    used = at;

    const auto time = parseLocalTime(fields[int(Column::Time)]);
    const auto seconds = parseSeconds(fields[int(Column::Seconds)]);
    if (!time || !seconds || fields[int(Column::Event)].isEmpty()) {
        return Parsed::Damaged;
    }
    row.time = *time;
    row.secondsMs = *seconds;
    row.event = fields[int(Column::Event)];
    row.word = eventOf(row.event);
    row.value = fields[int(Column::Value)];
    row.frame = fields[int(Column::Frame)];
    row.note = fields[int(Column::Note)];
    row.pump.reset();
    if (m_columns > int(Column::Pump) && !fields[int(Column::Pump)].isEmpty()) {
        bool ok = false;
        const int pump = fields[int(Column::Pump)].toInt(&ok);
        // Any number the pump setting takes: the writer writes whatever it was given.
        if (!ok || pump < std::numeric_limits<qint16>::min() ||
            pump > std::numeric_limits<qint16>::max()) {
            return Parsed::Damaged;
        }
        row.pump = qint16(pump);
    }
    return Parsed::Row;
}

void RunLogReader::refuse(const QString &why)
{
    m_refusal = why;
    m_pending.clear();
    m_pending.squeeze();
}

} // namespace runlog
