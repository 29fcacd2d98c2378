#include "link/wire/framereader.h"

#include "link/wire/frame.h"

std::vector<QByteArray> FrameReader::feed(QByteArrayView bytes)
{
    using wire::frameEnd, wire::frameLength, wire::frameStart;
    std::vector<QByteArray> frames;
    m_pending.append(bytes);

    // Scan by index and cut the buffer once: a burst of many replies stays linear.
    qsizetype pos = 0;
    const qsizetype size = m_pending.size();
    while (true) {
        const qsizetype start = m_pending.indexOf(frameStart, pos);
        if (start < 0) {
            pos = size;
            break;
        }
        if (size - start < frameLength) {
            pos = start; // the rest of this frame may still be on the line
            break;
        }
        if (m_pending[start + frameLength - 1] == frameEnd) {
            frames.push_back(m_pending.mid(start, frameLength));
            pos = start + frameLength;
        } else {
            pos = start + 1; // not a frame after all; the next 'Q' may start one
        }
    }
    m_pending.remove(0, pos);
    return frames;
}
