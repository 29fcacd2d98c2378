#pragma once
// Cuts the received byte stream into pump replies.
//
// Reads from the port do not line up with frames: a read may hold two replies, a reply
// split in half, or line noise. The reader keeps the unfinished tail (at most 8 bytes,
// always starting with 'Q') between reads and hands out every complete candidate that
// starts with 'Q' and has 'Y' in position 9. A candidate that fails is skipped up to the
// next 'Q', so one damaged frame never costs the ones behind it.

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

class FrameReader
{
public:
    // Appends `bytes` and returns the complete frames found, in arrival order.
    std::vector<QByteArray> feed(QByteArrayView bytes);

    // What waits for the rest of a frame: empty, or 1..8 bytes starting with 'Q'.
    const QByteArray &pending() const { return m_pending; }
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
};
