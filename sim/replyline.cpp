#include "sim/replyline.h"

#include <algorithm>

ReplyLine::ReplyLine(const Options &options) : m_options(options), m_random(options.seed)
{
    m_options.pieces = std::max(1, m_options.pieces);
}

void ReplyLine::queueReply(const QByteArray &frame, int sender)
{
    if (m_options.noise && m_anyReply) {
        QByteArray noise(1 + int(m_random.bounded(4)), '\0');
        for (char &c : noise) {
            // Never a 'Q': noise must not be able to start a frame of its own.
            do {
                c = char(m_random.bounded(256));
            } while (c == 'Q');
        }
        m_pieces.push_back({noise, Micros{0}, {}, sender});
    }
    m_anyReply = true;

    const qsizetype count = std::min<qsizetype>(m_options.pieces, frame.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < count; ++i) {
        // Sizes as even as they come: nine bytes in two pieces are five and four.
        const qsizetype to = frame.size() * (i + 1) / count;
        Piece piece{
            frame.mid(from, to - from), i == 0 ? Micros{0} : m_options.pieceGap, {}, sender};
        if (i == count - 1) {
            piece.finishes.push_back(frame);
        }
        m_pieces.push_back(std::move(piece));
        from = to;
    }
}

void ReplyLine::queueBurst(const std::vector<QByteArray> &frames)
{
    Piece piece;
    for (const QByteArray &frame : frames) {
        piece.bytes += frame;
        piece.finishes.push_back(frame);
    }
    if (!piece.bytes.isEmpty()) {
        m_anyReply = true;
        m_pieces.push_back(std::move(piece));
    }
}

void ReplyLine::clear(int sender)
{
    std::erase_if(m_pieces, [sender](const Piece &piece) { return piece.sender == sender; });
}

qsizetype ReplyLine::queuedBytes() const
{
    qsizetype total = 0;
    for (const Piece &piece : m_pieces) {
        total += piece.bytes.size();
    }
    return total;
}

std::optional<ReplyLine::Micros> ReplyLine::nextDue() const
{
    if (m_pieces.empty()) {
        return std::nullopt;
    }
    return m_lineFree + m_pieces.front().gap;
}

QByteArrayView ReplyLine::due(Micros now) const
{
    const auto when = nextDue();
    if (!when || now < *when) {
        return {};
    }
    return m_pieces.front().bytes;
}

std::vector<QByteArray> ReplyLine::written(qsizetype count, Micros now)
{
    std::vector<QByteArray> finished;
    if (m_pieces.empty() || count <= 0) {
        return finished;
    }
    Piece &front = m_pieces.front();
    count = std::min(count, front.bytes.size());
    m_lineFree = std::max(now, m_lineFree) + transmitTime(count);
    if (count < front.bytes.size()) {
        // The rest follows as soon as the line is free, as one uninterrupted piece would.
        front.bytes.remove(0, count);
        front.gap = Micros{0};
        return finished;
    }
    finished = std::move(front.finishes);
    m_pieces.pop_front();
    return finished;
}

ReplyLine::Micros ReplyLine::transmitTime(qsizetype bytes) const
{
    return Micros{qint64(double(bytes) * 1e6 / m_options.charsPerSecond + 0.5)};
}
