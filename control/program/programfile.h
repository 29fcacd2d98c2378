#pragma once
// A program as a small CSV file, so that it can be written in a spreadsheet and kept with the
// method: UTF-8, the header `minutes,flow_ml_min,mode,pressure_limit_mpa`, a step a line, mode
// `hold` or `ramp`, the pressure limit empty when the step sends none. A file that does not
// parse, or whose steps cannot be run, is refused whole, with the line at fault and why.

#include "control/program/programsteps.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace programfile {

inline constexpr QByteArrayView header = "minutes,flow_ml_min,mode,pressure_limit_mpa";
// Larger than any program of a day could reasonably be; anything beyond is not a program.
inline constexpr qint64 largestFile = 4 * 1024 * 1024;

struct Read
{
    std::optional<program::Steps> steps; // set when the whole file was taken
    int line = 0;                        // otherwise the line at fault, from 1; 0: the file itself
    QString reason;                      // and why, in the operator's words
};

// The file's bytes. A byte order mark, CR LF or LF line ends, blank lines, blanks around a
// field and quotes around a field are all taken, as spreadsheets write them.
[[nodiscard]] Read parse(QByteArrayView bytes);
// The file's bytes for `steps`, CR LF line ends, numbers as short as they read back exactly.
[[nodiscard]] QByteArray format(const program::Steps &steps);

[[nodiscard]] Read load(const QString &path);

struct [[nodiscard]] Saved
{
    bool ok = false;
    QString error; // why not, in the operator's words
};
// Through a temporary file that replaces the old one only once complete.
[[nodiscard]] Saved save(const QString &path, const program::Steps &steps);

// "第 3 行：流量 60 超出范围 0～50.0 ml/min" for a refused read.
[[nodiscard]] QString refusal(const Read &read);

// Eight hex digits naming the steps (not the file's formatting), for the run log to tell which
// program ran: the start of the SHA-256 of the steps as format() writes them.
[[nodiscard]] QString shortHash(const program::Steps &steps);

} // namespace programfile
