#pragma once
// The frames the pump sends back: its current pressure ('N'), its pressure limit ('P') and its
// flow setpoint ('L'), each with a four-character value "ab.c".

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace replyframes {

// One received reply, already known to start with 'Q' and to end with 'Y' at position 9.
struct Reply
{
    char letter = 0;  // position 4
    QByteArray value; // positions 5-8, unchecked: "ab.c" is passed on as it came
    // The pump number in positions 2 and 3, when both are digits: several pumps on one line
    // tell their replies apart by it.
    std::optional<qint16> pump;
};

// The same, without copying: `value` points into the text judged.
struct ReplyView
{
    char letter = 0;
    QByteArrayView value;
    std::optional<qint16> pump;
};

// Judges the first nine characters of `text` as the console has always judged a reply: 'Q'
// first and 'Y' ninth; anything else about the frame is left unexamined, and a pump number
// that is not two digits is none.
std::optional<Reply> parse(QByteArrayView text);
// As parse(), for a caller that reads the value before `text` goes away.
std::optional<ReplyView> parseView(QByteArrayView text);

// The read-out of a pressure-limit or flow reply: positions 5 and 6, a point, position 8.
QString setpointReadout(const QByteArray &value);

// The pump side: a reply as the pump writes it, always with two digits for the pump.
QByteArray encode(int pump, char letter, double value);

} // namespace replyframes
