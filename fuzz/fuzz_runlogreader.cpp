// The run log reader on anything, in two ways chosen by the first byte:
// - any bytes behind the header (or none): nothing crashes, and reading in pieces of any size
//   gives the same rows, the same skipped lines and the same refusal (or none) as reading it
//   whole;
// - a row the writer writes for any event: it reads back as that event, field for field.
#include "control/runlog/runlogformat.h"
#include "control/runlog/runlogreader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

struct Outcome
{
    std::vector<QByteArray> rows; // every field of every row, joined
    qint64 skipped = 0;
    qsizetype pending = 0;
    bool refused = false;
    bool operator==(const Outcome &) const = default;
};

Outcome read(QByteArrayView file, qsizetype piece)
{
    runlog::RunLogReader reader;
    Outcome out;
    for (qsizetype at = 0; at < file.size(); at += piece) {
        (void)reader.feed(
            file.sliced(at, std::min(piece, file.size() - at)), [&](const runlog::RowView &r) {
                // What the reader hands out is always a time it could write.
                check(
                    runlog::parseLocalTime(runlog::localTime(r.time.utcMs, r.time.utcOffsetSeconds))
                        ->utcMs == r.time.utcMs);
                QByteArray all = runlog::localTime(r.time.utcMs, r.time.utcOffsetSeconds);
                for (const QByteArrayView f : {r.event, r.value, r.frame, r.note}) {
                    all.append('\0').append(f);
                }
                out.rows.push_back(all);
            });
    }
    check(out.rows.size() == std::size_t(reader.rowsRead()));
    out.skipped = reader.rowsSkipped();
    out.pending = reader.pendingBytes();
    // The reason quotes as much of the first line as had come, so only whether is compared.
    out.refused = !reader.refusal().isEmpty();
    check(!out.refused || out.rows.empty());
    return out;
}

void anyBytes(const std::uint8_t *data, std::size_t size)
{
    QByteArray file = data[0] & 2 ? runlog::header() : QByteArray();
    file.append(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Outcome whole = read(file, std::max<qsizetype>(1, file.size()));
    const qsizetype piece = 1 + data[0] / 4;
    check(read(file, piece) == whole);
}

void writtenRow(const std::uint8_t *data, std::size_t size)
{
    if (size < 11) {
        return;
    }
    // Ten bytes of times and kind, then frame, value and note split at the first two 0xFE.
    RunEvent event;
    qint64 ms = 0;
    std::memcpy(&ms, data + 1, 8);
    // Within the years the time column can show, so that it reads back as it was.
    event.time.utcMs = ms % 60'000'000'000'000;
    event.time.utcOffsetSeconds = (int(data[9]) - 128) * 900;
    event.time.steadyNs = std::abs(ms % 1'000'000'000'000'000);
    event.kind = RunEventKind(data[10] % (int(RunEventKind::ProgramEnd) + 1));
    event.command = PumpCommand(data[10] / 16 % (int(PumpCommand::TimedRunTimeUp) + 1));
    if (data[9] % 3 != 0) {
        // Any number the pump setting takes, the ends of its range included.
        event.pump = qint16(std::uint16_t(ms));
    }
    const QByteArray rest(reinterpret_cast<const char *>(data + 11), qsizetype(size - 11));
    const QList<QByteArray> parts = rest.split('\xfe');
    event.frame = parts.value(0);
    event.value = QString::fromUtf8(parts.value(1));
    event.note = QString::fromUtf8(parts.value(2));

    const QByteArray file = runlog::header() + [&] {
        QByteArray row;
        runlog::appendRow(row, event, 0);
        return row;
    }();
    runlog::RunLogReader reader;
    int rows = 0;
    check(reader.feed(file, [&](const runlog::RowView &r) {
        ++rows;
        check(r.time.utcMs == event.time.utcMs);
        check(r.time.utcOffsetSeconds == event.time.utcOffsetSeconds);
        check(r.secondsMs == event.time.steadyNs / 1'000'000);
        check(r.word && r.word->kind == event.kind);
        check(event.kind != RunEventKind::CommandSent || r.word->command == event.command);
        check(r.event == QByteArrayView(runlog::eventName(event)));
        check(r.value == event.value.toUtf8());
        check(r.pump == event.pump);
        if (event.kind != RunEventKind::CommandNotSent) {
            check(r.note == event.note.toUtf8());
        }
    }));
    check(rows == 1 && reader.rowsSkipped() == 0 && reader.pendingBytes() == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    if (data[0] & 1) {
        anyBytes(data, size);
    } else {
        writtenRow(data, size);
    }
    return 0;
}
