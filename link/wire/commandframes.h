#pragma once
// The frames the console sends to the pump, built here and nowhere else so that every sender
// agrees on the wire text, and read here too, as the pump side reads them.
//
// The console writes two forms: run, stop and dialog frames carry "Q0" + the pump number
// without padding (pump 12 runs with the ten-character Q012R0000Y), keypad frames carry "Q" +
// the two-digit pump number (Q12L05.5Y). The two agree for pumps 0 to 9 only, and the pump
// side must take both.

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace commandframes {

// The longest value field a setpoint frame can carry: five characters with the sign, "-99.9".
// A longer one ("-1e308" written out is 312 characters) would run past what the pump reads.
inline constexpr qsizetype maxValueLength = 5;
// Whether `value`, written in tenths as the dialog frames write it, fits that field.
[[nodiscard]] bool valueFits(double value);

QByteArray run(qint16 pump);
QByteArray stop(qint16 pump);
QByteArray dialogFlow(qint16 pump, double mlPerMin);
QByteArray dialogPressureLimit(qint16 pump, double mpa);

// A frame of a pump driven by its number on a shared console: "Q" + the two-digit number +
// `letter` + the four-character value + "Y" (pump 12 runs with Q12R0000Y), nine characters
// for every pump from 0 to 99.
QByteArray numbered(qint16 pump, char letter, QByteArrayView value = "0000");

// A keypad frame without its leading 'Q'; `typedValue` is re-written as "00.0".
QString keypadBody(qint16 pump, QChar letter, double typedValue);
QByteArray keypad(const QString &body);

// The pump side.

// Longest text taken as one command; anything longer from a 'Q' is line noise.
inline constexpr qsizetype maxLength = 16;

struct Command
{
    int pump = 0;     // "01", "012", "12", "0-1" and "-01" all name a number
    char letter = 0;  // R run, S stop, L flow, P pressure limit
    QByteArray value; // as sent: "0000", "12.5", "100.0"
};

// One whole command: 'Q', the pump number, an upper-case letter, a value of digits, '.' and
// '-', and 'Y'. No value for anything else.
std::optional<Command> parse(QByteArrayView frame);
// The pump a command frame names, in whichever form; none for anything parse() refuses.
std::optional<qint16> pumpOf(QByteArrayView frame);

} // namespace commandframes
