#include "control/recordfile.h"

#include "control/systemerrors.h"
#include "link/wire/systemfacts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
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
// Decimal exponents (of the first significant digit, after rounding) that stay in fixed
// notation: 1E-04 up to 999999999999999. Beyond 15 integer digits a fixed form would invent
// digits the rounding threw away; below 1E-04 the leading zeros would crowd out the digits.
constexpr int smallestFixedExponent = -4;
constexpr int largestFixedExponent = significantDigits - 1;

constexpr int entriesPerLine = 5;
// Longest entry: sign, 15 digits, the point, "E-308", the trailing space.
constexpr int maxEntryLength = 32;
constexpr qsizetype readBlockSize = 64 * 1024;

struct Decimal
{
    char digits[24];
    int count = 0;    // significant digits without trailing zeros
    int exponent = 0; // decimal exponent of digits[0]
};

// Splits std::to_chars' scientific output ("d.ddde+XX" or "de-XX") into digits and exponent.
Decimal parseScientific(const char *begin, const char *end)
{
    Decimal d;
    const char *p = begin;
    while (p != end && *p != 'e') {
        if (*p != '.') {
            d.digits[d.count++] = *p;
        }
        ++p;
    }
    // "e+XX", "e-XX" or "e+XXX"
    const bool negative = p[1] == '-';
    int exponent = 0;
    for (p += 2; p != end; ++p) {
        exponent = exponent * 10 + (*p - '0');
    }
    d.exponent = negative ? -exponent : exponent;
    while (d.count > 1 && d.digits[d.count - 1] == '0') {
        --d.count;
    }
    return d;
}

Decimal roundTo15Digits(double magnitude)
{
    char buf[64];
    // The shortest form that reads back as the same double is much cheaper to produce. When it
    // has at most 15 digits it is also the 15-digit rounding: for normal doubles neighbouring
    // 15-digit decimals lie more than four ulps apart, so no other one can be nearer. Subnormals
    // have too few bits for that and always take the exact rounding.
    if (magnitude >= std::numeric_limits<double>::min()) {
        const auto res =
            std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
        const Decimal d = parseScientific(buf, res.ptr);
        if (d.count <= significantDigits) {
            return d;
        }
    }
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                   significantDigits - 1);
    return parseScientific(buf, res.ptr);
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
    } else {
        const Decimal d = roundTo15Digits(magnitude);
        if (d.exponent >= smallestFixedExponent && d.exponent <= largestFixedExponent) {
            if (d.exponent < 0) {
                *out++ = '.';
                for (int i = -1; i > d.exponent; --i) {
                    *out++ = '0';
                }
                std::memcpy(out, d.digits, d.count);
                out += d.count;
            } else {
                const int integerDigits = d.exponent + 1;
                for (int i = 0; i < integerDigits; ++i) {
                    *out++ = i < d.count ? d.digits[i] : '0';
                }
                if (d.count > integerDigits) {
                    *out++ = '.';
                    std::memcpy(out, d.digits + integerDigits, d.count - integerDigits);
                    out += d.count - integerDigits;
                }
            }
        } else {
            *out++ = d.digits[0];
            if (d.count > 1) {
                *out++ = '.';
                std::memcpy(out, d.digits + 1, d.count - 1);
                out += d.count - 1;
            }
            *out++ = 'E';
            *out++ = d.exponent < 0 ? '-' : '+';
            const int e = std::abs(d.exponent);
            if (e < 10) {
                *out++ = '0';
            }
            out = std::to_chars(out, out + 4, e).ptr;
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

// Why `file`'s last operation failed, in the operator's words. Called right after the failure,
// before anything else can replace the system's code.
QString failure(const QFileDevice &file)
{
    const std::error_code code = systemfacts::lastError();
    return systemerrors::reason(code, file.errorString());
}

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
    // QSaveFile refuses a folder in words of its own, with no system code behind them.
    if (info.isDir()) {
        return {false, systemerrors::words(Cause::IsAFolder)};
    }
    QSaveFile file(path);
    systemfacts::clearLastError();
    // Binary on purpose: the line ends are CR LF already and must not become CR CR LF on
    // Windows.
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, failure(file)};
    }
    systemfacts::clearLastError();
    if (!writeRecord(file, record)) {
        const QString why = failure(file);
        file.cancelWriting();
        return {false, why};
    }
    systemfacts::clearLastError();
    if (!file.commit()) {
        return {false, failure(file)};
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
        return {false, {}, failure(file)};
    }
    QByteArray current;
    QByteArray last;
    bool afterCR = false;
    QByteArray block(readBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            return {false, {}, failure(file)};
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
