#pragma once
// Reads run logs back: the bytes runlogformat.h writes, as rows, for the trend and for anything
// else that looks at a past run. It takes the file in pieces as they come (a file still being
// written is read as it grows), keeps a row cut off at the end of a piece until the rest
// arrives, and refuses a file whose first line is not the run log's header, with the reason.
//
// Hot path: a 100 MB log has 1.4 million rows, so a row is handed out as views into the bytes,
// with its time already read; nothing is allocated for a row without quotes.

#include "control/runlog/runlogformat.h"

#include <functional>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace runlog {

struct LocalTime
{
    qint64 utcMs = 0;
    int utcOffsetSeconds = 0;
};
// The time column back to its instant and offset; none for anything writeLocalTime() does not
// write (wrong length, a field out of range, a month's day that does not exist).
std::optional<LocalTime> parseLocalTime(QByteArrayView text);
// The seconds column back to milliseconds; none unless it is digits, a point and three digits.
std::optional<qint64> parseSeconds(QByteArrayView text);

// One row, valid during the call that hands it out.
struct RowView
{
    LocalTime time;
    qint64 secondsMs = 0;          // since the line was opened
    QByteArrayView event;          // the event column as written
    std::optional<EventWord> word; // what it means, when this console writes such rows
    QByteArrayView value;          // UTF-8, quotes taken off
    QByteArrayView frame;          // as the log writes it ("\xNN" for a byte not printable)
    QByteArrayView note;           // UTF-8, quotes taken off
    // The pump it concerns; none for the line's own rows, and in a log from before the pump
    // column.
    std::optional<qint16> pump;
};

class RunLogReader
{
public:
    using RowSink = std::function<void(const RowView &)>;

    // The next bytes of the file; `row` is called for every row completed by them, in order.
    // Returns false once the file is refused (and from then on ignores everything).
    [[nodiscard]] bool feed(QByteArrayView bytes, const RowSink &row);
    // The log goes on in its next file: that file's header comes first, and a row cut off at
    // the end of this one is given up. The rows counted so far stay counted.
    void startNextFile();

    // Why the file is no run log, in the operator's words; empty while it may be one.
    const QString &refusal() const { return m_refusal; }
    // The header has been read: the file is a run log.
    bool isRunLog() const { return m_columns != 0; }
    qint64 rowsRead() const { return m_rowsRead; }
    // Lines that were no row: damaged ones, which are passed over, not a reason to stop.
    qint64 rowsSkipped() const { return m_rowsSkipped; }
    // Bytes held back: the start of a row whose end has not come yet. Once a file is complete,
    // a row cut off here is where a crashed console stopped writing.
    qsizetype pendingBytes() const { return m_pending.size(); }

private:
    // DamagedUnended: damaged, and its line's end has not come yet.
    enum class Parsed { Row, Damaged, DamagedUnended, Incomplete };
    // Reads the header at the start of `data`; `used` is its length with the mark.
    bool readHeader(QByteArrayView data, qsizetype &used);
    // Reads one row at the start of `bytes`; on Row or Damaged `used` is its length.
    Parsed parseRow(QByteArrayView bytes, qsizetype &used, RowView &row);
    void refuse(const QString &why);

    QByteArray m_pending;
    QByteArray m_unquoted[3]; // the value, frame and note when they had to be unquoted
    QString m_refusal;
    int m_columns = 0; // as the header names them: with or without the pump column
    qint64 m_rowsRead = 0;
    qint64 m_rowsSkipped = 0;
    bool m_skippingLine = false; // a damaged row's line has not ended yet
};

} // namespace runlog
