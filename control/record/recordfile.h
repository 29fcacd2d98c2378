#pragma once
// The pressure record as the operator finds it on disk: a plain text file of numbers, five to
// a line, written in the number form the console's record files have always had so that the
// spreadsheets and scripts that read them keep working.

#include <functional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <span>

class QIODevice;

namespace recordfile {

// One entry: a sign column (' ' for zero and positive values, '-' for negative ones), the
// digits, one trailing space. The value is rounded to 15 significant digits and trailing zeros
// are dropped; a magnitude below 1 has no zero before the point (" .5 ", "-.25 "). Fixed
// notation while the rounded value lies in 1E-04 <= |v| < 1E+15; outside that range the form is
// mantissa, 'E', sign and at least two exponent digits (" 1E+15 ", " 1.5E-05 "). The point is
// always '.', whatever the desktop's regional settings: the console reads and writes '.'
// everywhere, and a record must read back the same on every machine.
QByteArray formatEntry(double value);

// Every entry of `record`, CR LF after every fifth entry and nothing else.
QByteArray formatRecord(std::span<const double> record);

// Streams the same bytes to `device` in blocks, so that a million entries do
// not need the whole text in memory twice. False as soon as a write fails.
[[nodiscard]] bool writeRecord(QIODevice &device, std::span<const double> record);

struct [[nodiscard]] SaveResult
{
    bool ok = false;
    QString error; // why the save failed, in the operator's words; empty on success
};

// Writes `path` through a temporary file beside it that replaces the old file only once `write`
// has filled it and returned true; the failure in the operator's words. The folder must exist;
// a folder at `path` itself is refused.
[[nodiscard]] SaveResult saveWhole(const QString &path,
                                   const std::function<bool(QIODevice &)> &write);

// Writes the record to `path` through a temporary file beside it that replaces the old file only
// once it is complete: a failure leaves the previous record as it was. The folder is created when
// missing.
[[nodiscard]] SaveResult saveRecord(const QString &path, std::span<const double> record);

struct LastLineResult
{
    bool ok = false;
    QString line;  // the last line read; empty for an empty file
    QString error; // why the file could not be read, in the operator's words
};

// Reads `path` line by line and returns the last line. A line ends at CR (a following LF belongs
// to the same line end) or at a lone LF.
LastLineResult readLastLine(const QString &path);

// Where the record goes unless the operator's setup says otherwise.
QString defaultRecordPath();

} // namespace recordfile
