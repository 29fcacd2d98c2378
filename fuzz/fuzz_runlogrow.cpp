// Whatever came over the line and whatever the notes say: a run log row reads back, with a
// strict CSV reader, as exactly six fields that hold the value and the note as they were and
// the frame in a form that gives back its bytes.
#include "control/runlog/runlogformat.h"
#include "support/csv.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The frame column back to bytes: "\\" is a backslash, "\xNN" a byte.
QByteArray unescape(const QByteArray &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (text.mid(i + 1, 1) == "\\") {
            bytes += '\\';
            ++i;
        } else {
            check(text.mid(i + 1, 1) == "x" && i + 3 < text.size());
            bool ok = false;
            bytes += char(text.mid(i + 2, 2).toUInt(&ok, 16));
            check(ok);
            i += 3;
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 10) {
        return 0;
    }
    // Ten bytes of times and kind (the offset's byte, when even, also names the pump), then
    // frame, value and note split at the first two 0xFE.
    RunEvent event;
    qint64 ms = 0;
    std::memcpy(&ms, data, 8);
    event.time.utcMs = ms;
    event.time.utcOffsetSeconds = (int(data[8]) - 128) * 900;
    event.time.steadyNs = ms;
    event.kind = RunEventKind(data[9] % (int(RunEventKind::ProgramEnd) + 1));
    event.command = PumpCommand(data[9] / 16 % (int(PumpCommand::TimedRunTimeUp) + 1));
    const QByteArray rest(reinterpret_cast<const char *>(data + 10), qsizetype(size - 10));
    const QList<QByteArray> parts = rest.split('\xfe');
    event.frame = parts.value(0);
    event.value = QString::fromUtf8(parts.value(1));
    event.note = QString::fromUtf8(parts.value(2));
    if (data[8] % 2 == 0) {
        event.pump = qint16(int(data[8]) - 128);
    }

    QByteArray row;
    runlog::appendRow(row, event, 0);
    const CsvRead csv = readCsv(row);
    check(csv.error.isEmpty() && csv.unfinished.isEmpty() && csv.rows.size() == 1);
    const QStringList &fields = csv.rows.front();
    check(fields.size() == 7);
    check(fields[0].size() == runlog::localTimeLength);
    check(fields[2] == runlog::eventName(event));
    check(fields[3] == event.value);
    check(unescape(fields[4].toUtf8()) == event.frame);
    const QString note =
        event.kind == RunEventKind::CommandNotSent
            ? pumpcommand::logName(event.command) + QLatin1String(": ") + event.note
            : event.note;
    check(fields[5] == note);
    check(fields[6] == (event.pump ? QString::number(*event.pump) : QString()));
    return 0;
}
