#pragma once
// The frames the console sends, as the simulated pump reads them.
//
// The console writes two forms: "Q" + two-digit pump number (keypad frames, Q12L05.5Y) and
// "Q0" + the pump number without padding (run, stop and dialog frames), so pump 12 runs with
// the ten-character Q012R0000Y. The pump's own frame reader takes only nine characters; the
// simulator must take both, or it would never hear a run command for pump 10 and up.

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace consoleframes {

// Longest text taken as one frame; anything longer from a 'Q' is line noise.
inline constexpr qsizetype maxFrameLength = 16;

struct Command
{
    int pump = 0;     // "01", "012", "12", "0-1" and "-01" all name a number
    char letter = 0;  // R run, S stop, L flow, P pressure limit
    QByteArray value; // as sent: "0000", "12.5", "100.0"
};

// One whole frame: 'Q', the pump number, an upper-case letter, a value of digits, '.' and '-',
// and 'Y'. No value for anything else.
std::optional<Command> parse(QByteArrayView frame);

// Cuts the byte stream from the console into frames that parse(); skips noise up to the next
// 'Q' and keeps an unfinished frame until the rest arrives.
class Splitter
{
public:
    std::vector<QByteArray> feed(QByteArrayView bytes);
    const QByteArray &pending() const { return m_pending; }

private:
    QByteArray m_pending;
};

} // namespace consoleframes
