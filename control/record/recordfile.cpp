#include "control/record/recordfile.h"

#include "control/seams/systemerrors.h"
#include "link/wire/systemfacts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace recordfile {

namespace {

constexpr int significantDigits = 15;

constexpr int entriesPerLine = 5;
// Longest entry: sign, 15 digits, the point, "E-308", the trailing space.
constexpr int maxEntryLength = 32;
constexpr qsizetype readBlockSize = 64 * 1024;

// Hundredths of `magnitude` when it is exactly the double nearest to a number with at most two
// decimals below 1E+13, as every pressure the pump reports is. Such a number has at most 15
// digits, so it is also the 15-digit rounding, and it needs no general conversion. The check
// against the division decides, so the rounding before it only has to be right for the values
// that pass it (within a few units in the last place of a whole number below 1E+15).
std::optional<qint64> fewDecimals(double magnitude)
{
    if (!(magnitude < 1e13)) {
        return std::nullopt;
    }
    const auto hundredths = qint64(magnitude * 100 + 0.5);
    if (double(hundredths) / 100 != magnitude) {
        return std::nullopt;
    }
    return hundredths;
}

char *writeHundredths(char *out, qint64 hundredths)
{
    if (hundredths >= 100) {
        out = std::to_chars(out, out + 16, hundredths / 100).ptr;
    }
    // No zero before the point, no zeros after the last digit.
    const int cents = int(hundredths % 100);
    if (cents != 0) {
        *out++ = '.';
        *out++ = char('0' + cents / 10);
        if (cents % 10 != 0) {
            *out++ = char('0' + cents % 10);
        }
    }
    return out;
}

// The digits of every value from 0 to 99.99 in hundredths, ready to copy: pressures below 100
// are nearly every entry of a record, and a copy of eight bytes is a fraction of writing them.
class SmallValues
{
public:
    static constexpr qint64 count = 10000;
    static constexpr int slot = 8; // "99.99" and room to spare

    SmallValues()
    {
        for (qint64 h = 0; h < count; ++h) {
            char *const text = m_text[std::size_t(h)].data();
            m_length[std::size_t(h)] = quint8(writeHundredths(text, h) - text);
        }
    }

    // Copies a whole slot, so `out` needs `slot` bytes of room whatever the value's length.
    char *write(char *out, qint64 hundredths) const
    {
        std::memcpy(out, m_text[std::size_t(hundredths)].data(), slot);
        return out + m_length[std::size_t(hundredths)];
    }

private:
    std::array<std::array<char, slot>, count> m_text{};
    std::array<quint8, count> m_length{};
};

// The sign column, a whole slot and the trailing space fit in an entry's room.
static_assert(1 + SmallValues::slot + 1 <= maxEntryLength);

const SmallValues &smallValues()
{
    static const SmallValues values;
    return values;
}

// Writes the entry for `value` at `out` and returns the end.
char *writeEntry(char *out, double value)
{
    if (std::isnan(value)) {
        std::memcpy(out, " NAN ", 5);
        return out + 5;
    }
    *out++ = std::signbit(value) && value != 0 ? '-' : ' ';
    const double magnitude = std::fabs(value);
    if (magnitude == 0) {
        *out++ = '0';
    } else if (std::isinf(magnitude)) {
        std::memcpy(out, "INF", 3);
        out += 3;
    } else if (const auto hundredths = fewDecimals(magnitude)) {
        out = *hundredths < SmallValues::count ? smallValues().write(out, *hundredths)
                                               : writeHundredths(out, *hundredths);
    } else {
        // "%.15G" of the C library, without its locale: 15 significant digits, trailing zeros
        // dropped, fixed notation for exponents -4..14, otherwise "1.5e-05". Only the zero
        // before the point and the exponent's letter differ from the record's form.
        char digits[32];
        const char *end = std::to_chars(digits, digits + sizeof digits, magnitude,
                                        std::chars_format::general, significantDigits)
                              .ptr;
        const char *p = digits[0] == '0' && digits[1] == '.' ? digits + 1 : digits;
        for (; p != end; ++p) {
            *out++ = *p == 'e' ? 'E' : *p;
        }
    }
    *out++ = ' ';
    return out;
}

// Appends entries first..last (0-based, last excluded) with their line ends.
void appendEntries(QByteArray &out, std::span<const double> record, std::size_t first,
                   std::size_t last)
{
    // Room for the longest entries, written in place and trimmed afterwards: one resize per
    // block instead of one append per entry.
    const qsizetype start = out.size();
    out.resize(start + qsizetype(last - first) * (maxEntryLength + 2));
    char *const begin = out.data();
    char *p = begin + start;
    for (std::size_t i = first; i < last; ++i) {
        p = writeEntry(p, record[i]);
        if ((i + 1) % entriesPerLine == 0) {
            // Always CR LF, on every platform: the files travel between machines.
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    out.truncate(p - begin);
}

// Entries per call of appendEntries: whole lines, and a block of a size the disk likes.
constexpr std::size_t entriesPerBlock = entriesPerLine * 1000;

} // namespace

QByteArray formatEntry(double value)
{
    char buf[maxEntryLength];
    return QByteArray(buf, writeEntry(buf, value) - buf);
}

QByteArray formatRecord(std::span<const double> record)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    (void)writeRecord(buffer, record);
    return buffer.data();
}

bool writeRecord(QIODevice &device, std::span<const double> record)
{
    QByteArray block;
    block.reserve(qsizetype(entriesPerBlock) * (maxEntryLength + 2));
    for (std::size_t first = 0; first < record.size(); first += entriesPerBlock) {
        const std::size_t last = std::min(record.size(), first + entriesPerBlock);
        block.clear();
        appendEntries(block, record, first, last);
        if (device.write(block) != block.size()) {
            return false;
        }
    }
    return true;
}

SaveResult saveRecord(const QString &path, std::span<const double> record)
{
    using systemerrors::Cause;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir()) {
        const auto cannotCreate = [&folder](const QString &why) {
            return SaveResult{
                false,
                QStringLiteral("无法创建文件夹 %1：%2").arg(QDir::toNativeSeparators(folder), why)};
        };
        if (folderInfo.exists()) {
            return cannotCreate(systemerrors::words(Cause::NotAFolder));
        }
        systemfacts::clearLastError();
        if (!QDir().mkpath(folder)) {
            return cannotCreate(systemerrors::reason(systemfacts::lastError(), {}));
        }
    }
    return saveWhole(path, [record](QIODevice &device) { return writeRecord(device, record); });
}

SaveResult saveWhole(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    // QSaveFile refuses a folder in words of its own, with no system code behind them.
    if (QFileInfo(path).isDir()) {
        return {false, systemerrors::words(systemerrors::Cause::IsAFolder)};
    }
    QSaveFile file(path);
    systemfacts::clearLastError();
    // Binary on purpose: line ends written as CR LF must not become CR CR LF on Windows.
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, systemerrors::failure(file)};
    }
    systemfacts::clearLastError();
    if (!write(file)) {
        const QString why = systemerrors::failure(file);
        file.cancelWriting();
        return {false, why};
    }
    systemfacts::clearLastError();
    if (!file.commit()) {
        return {false, systemerrors::failure(file)};
    }
    return {true, {}};
}

LastLineResult readLastLine(const QString &path)
{
    // QFile refuses a folder in words of its own, with no system code behind them.
    if (QFileInfo(path).isDir()) {
        return {false, {}, systemerrors::words(systemerrors::Cause::IsAFolder)};
    }
    QFile file(path);
    systemfacts::clearLastError();
    if (!file.open(QIODevice::ReadOnly)) {
        return {false, {}, systemerrors::failure(file)};
    }
    QByteArray current;
    QByteArray last;
    bool afterCR = false;
    QByteArray block(readBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            return {false, {}, systemerrors::failure(file)};
        }
        if (got == 0) {
            break;
        }
        const char *data = block.constData();
        qint64 start = 0;
        for (qint64 i = 0; i < got; ++i) {
            const char c = data[i];
            if (afterCR) {
                afterCR = false;
                if (c == '\n') {
                    start = i + 1;
                    continue;
                }
            }
            if (c == '\r' || c == '\n') {
                current.append(data + start, i - start);
                last.swap(current);
                current.clear();
                afterCR = c == '\r';
                start = i + 1;
            }
        }
        current.append(data + start, got - start);
    }
    // A last line without a line end counts; the empty "line" after a final line end does not.
    if (!current.isEmpty()) {
        last.swap(current);
    }
    // The record itself is ASCII; other text files are read in the system's own code page, as
    // the operator's editor wrote them.
    return {true, QString::fromLocal8Bit(last), {}};
}

QString defaultRecordPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("d:\\mytext.txt");
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath();
    }
    return folder + u"/mytext.txt"_s;
#endif
}

} // namespace recordfile
