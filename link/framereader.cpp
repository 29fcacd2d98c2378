#include "link/framereader.h"

#include "link/pumpframes.h"

std::vector<QByteArray> FrameReader::feed(QByteArrayView bytes)
{
    using namespace pumpframes;
    std::vector<QByteArray> frames;
    m_pending.append(bytes);

    // Scan by index and cut the buffer once: a burst of many replies stays linear.
    qsizetype pos = 0;
    const qsizetype size = m_pending.size();
    while (true) {
        const qsizetype start = m_pending.indexOf(FrameStart, pos);
        if (start < 0) {
            pos = size;
            break;
        }
        if (size - start < FrameLength) {
            pos = start; // the rest of this frame may still be on the line
            break;
        }
        if (m_pending[start + FrameLength - 1] == FrameEnd) {
            frames.push_back(m_pending.mid(start, FrameLength));
            pos = start + FrameLength;
        } else {
            pos = start + 1; // not a frame after all; the next 'Q' may start one
        }
    }
    m_pending.remove(0, pos);
    return frames;
}
