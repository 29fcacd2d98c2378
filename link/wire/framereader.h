#pragma once
// Cuts the received byte stream into pump replies.
//
// Reads from the port do not line up with frames: a read may hold two replies, a reply
// split in half, or line noise. The reader keeps the unfinished tail (at most 8 bytes,
// always starting with 'Q') between reads and hands out every complete candidate that
// starts with 'Q' and has 'Y' in position 9. A candidate that fails is skipped up to the
// next 'Q', so one damaged frame never costs the ones behind it.

#include "link/wire/frame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <utility>
#include <vector>

class FrameReader
{
public:
    // Appends `bytes` and calls `visit(QByteArrayView frame)` for each complete frame found, in
    // arrival order, without copying it. The view lasts until `visit` returns. `visit` may
    // clear() the reader (the tail is then forgotten) but must not feed it.
    template<typename Visit> void feed(QByteArrayView bytes, Visit &&visit);

    // Appends `bytes` and returns the complete frames found, in arrival order.
    std::vector<QByteArray> feed(QByteArrayView bytes);

    // What waits for the rest of a frame: empty, or 1..8 bytes starting with 'Q'.
    const QByteArray &pending() const { return m_pending; }
    void clear()
    {
        m_pending.clear();
        ++m_clears;
    }

private:
    // Where the next frame may start in `buffer` once every complete frame before it has been
    // handed to `visit`.
    template<typename Visit> static qsizetype scan(QByteArrayView buffer, Visit &visit);
    // The tail of `buffer` from `from` on waits for the rest, unless the reader was cleared
    // meanwhile.
    void keep(QByteArrayView buffer, qsizetype from, unsigned clearsBefore);

    QByteArray m_pending;
    unsigned m_clears = 0;
};

template<typename Visit> qsizetype FrameReader::scan(QByteArrayView buffer, Visit &visit)
{
    using wire::frameEnd, wire::frameLength, wire::frameStart;
    // Scan by index: a burst of many replies stays linear.
    qsizetype pos = 0;
    const qsizetype size = buffer.size();
    while (true) {
        const qsizetype start = buffer.indexOf(frameStart, pos);
        if (start < 0) {
            return size;
        }
        if (size - start < frameLength) {
            return start; // the rest of this frame may still be on the line
        }
        if (buffer[start + frameLength - 1] == frameEnd) {
            visit(buffer.sliced(start, frameLength));
            pos = start + frameLength;
        } else {
            pos = start + 1; // not a frame after all; the next 'Q' may start one
        }
    }
}

template<typename Visit> void FrameReader::feed(QByteArrayView bytes, Visit &&visit)
{
    const unsigned clears = m_clears;
    if (m_pending.isEmpty()) {
        // The common case under a flood of whole frames: scan the read where it lies.
        keep(bytes, scan(bytes, visit), clears);
        return;
    }
    // Taken out of the member first, so that `visit` clearing the reader cannot pull the bytes
    // from under the scan.
    QByteArray buffer = std::exchange(m_pending, {});
    buffer.append(bytes);
    keep(buffer, scan(buffer, visit), clears);
}
