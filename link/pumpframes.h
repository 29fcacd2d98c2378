#pragma once
// Layout of the 9-character ASCII frames exchanged with the pump, in both directions:
//   'Q', two-digit pump number, letter, four-character value, 'Y'.
// Outgoing frames are built here and nowhere else, so that every sender agrees on the wire text.

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pumpframes {

inline constexpr int FrameLength = 9;
inline constexpr char FrameStart = 'Q';
inline constexpr char FrameEnd = 'Y';

// Number pattern "0": all digits, no padding, '-' for negatives.
QString pattern0(qint16 n);
// Number pattern "00": at least two digits, zero padded after the sign (-1 gives "-01").
QString pattern00(qint16 n);
// Number pattern "00.0": at least two integer digits and exactly one decimal.
// The value is first taken as the operator would have written it (15 significant digits)
// and then rounded to the nearest tenth with halves away from zero, so 2.25 gives 02.3
// although the binary double lies just below 2.25. A result of zero never carries a sign.
QString pattern00_0(double value);

// Run, stop and dialog frames carry "Q0" + pattern "0" (pump 12 gives a 10-character frame).
QByteArray runFrame(qint16 pumpNo);
QByteArray stopFrame(qint16 pumpNo);
QByteArray dialogFlowFrame(qint16 pumpNo, double flow);
QByteArray dialogPressureFrame(qint16 pumpNo, double pressure);

// Keypad frames carry "Q" + pattern "00". The body is the frame without its leading 'Q'.
// typedValue is the keypad text "ab.c"; it is re-written with pattern "00.0".
QString keypadFrameBody(qint16 pumpNo, QChar letter, double typedValue);
QByteArray keypadFrame(const QString &body);

// One received reply, already known to start with 'Q' and to end with 'Y' at position 9.
struct PumpReply
{
    char letter = 0;  // position 4
    QByteArray value; // positions 5-8, unchecked: "ab.c" is passed on as it came
};

// Checks the first nine characters of `text` as the console has always judged a reply:
// 'Q' first and 'Y' ninth; anything else about the frame is left unexamined.
std::optional<PumpReply> parseReply(QByteArrayView text);

// The read-out of a pressure-limit or flow reply: positions 5 and 6, a point, position 8.
QString setpointReadout(const QByteArray &value);

} // namespace pumpframes
