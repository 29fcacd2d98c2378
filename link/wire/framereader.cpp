#include "link/wire/framereader.h"

std::vector<QByteArray> FrameReader::feed(QByteArrayView bytes)
{
    std::vector<QByteArray> frames;
    feed(bytes, [&frames](QByteArrayView frame) { frames.push_back(frame.toByteArray()); });
    return frames;
}

void FrameReader::keep(QByteArrayView buffer, qsizetype from, unsigned clearsBefore)
{
    if (m_clears == clearsBefore) {
        m_pending = buffer.sliced(from).toByteArray();
    }
}
