#pragma once
// Turning the operator's answers into numbers. '.' is the only decimal point whatever the
// desktop's regional settings say, and nothing is read as a thousands separator: "5,5" must
// fail rather than become 55 and send ten times the flow the operator meant.

#include <optional>
#include <QByteArrayView>
#include <QString>

namespace numbertext {

// Blanks around the number are allowed; an optional sign, digits with at most one '.',
// an optional exponent. Empty text, NaN/infinity words, separators and values beyond the
// double range give no value.
std::optional<double> toDouble(const QString &text);
// The same for text read back as bytes (a run log's value column): the same numbers, the same
// refusals.
std::optional<double> toDouble(QByteArrayView text);

// As toDouble, then rounded to the nearest whole number with halves to the even neighbour
// (2.5 gives 2, 3.5 gives 4). No value outside -32768..32767.
std::optional<qint16> toInt16(const QString &text);

// The shortest text that reads back as `value` ("1.25", "0.1", "60"): how the console writes
// the numbers it was given, in files, the run log and messages.
QString shortest(double value);

} // namespace numbertext
