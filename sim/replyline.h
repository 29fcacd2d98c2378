#pragma once
// What the simulated pump puts on the line, and when.
//
// A pseudo-terminal takes a million frames a second; a pump at 9600 baud sends about 107. The
// line here keeps the pump honest: each piece waits until the previous one would have left
// the wire. It also produces the awkward cases a real line shows the console: a reply in
// several pieces with gaps between them, and noise between replies.
//
// Several pumps on one cable share one line: their replies queue in the order they were made,
// so one pump's reply never lands inside another's, and together they never outrun the wire.

#include <chrono>
#include <deque>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QRandomGenerator>
#include <vector>

class ReplyLine
{
public:
    using Micros = std::chrono::microseconds;

    struct Options
    {
        int pieces = 1;                // each reply goes out in this many writes
        bool noise = false;            // a few random bytes (never 'Q') between replies
        double charsPerSecond = 960.0; // 9600 baud at ten bits a character
        Micros pieceGap{5000};         // pause between the pieces of one reply
        quint32 seed = 1;              // for the noise
    };

    explicit ReplyLine(const Options &options);

    // `sender` tells the pumps sharing the line apart, for clear(sender).
    void queueReply(const QByteArray &frame, int sender = 0);
    // Several replies in one write, as a pump that had them piled up would send them.
    void queueBurst(const std::vector<QByteArray> &frames);

    // Drops whatever has not gone out yet, even the rest of a reply half on the wire: a pump
    // that hangs does not finish its sentence.
    void clear() { m_pieces.clear(); }
    // The same for one pump only; the others on the line carry on.
    void clear(int sender);
    bool empty() const { return m_pieces.empty(); }
    qsizetype queuedBytes() const;
    // When the next piece may go out; nothing when nothing is queued.
    std::optional<Micros> nextDue() const;
    // The piece to write at `now`, or nothing yet.
    QByteArrayView due(Micros now) const;
    // `count` bytes of the piece from due() went out at `now`. Returns the replies this
    // completed, for the log.
    std::vector<QByteArray> written(qsizetype count, Micros now);

    Micros transmitTime(qsizetype bytes) const;

private:
    struct Piece
    {
        QByteArray bytes;
        Micros gap{0};                    // after the line is free, before this piece
        std::vector<QByteArray> finishes; // replies whose last byte is in this piece
        int sender = -1;                  // a burst's piece is no single pump's
    };

    Options m_options;
    std::deque<Piece> m_pieces;
    Micros m_lineFree{0};
    bool m_anyReply = false;
    QRandomGenerator m_random;
};
