#include "link/wire/commandsplitter.h"

#include "link/wire/commandframes.h"

std::vector<QByteArray> CommandSplitter::feed(QByteArrayView bytes)
{
    using commandframes::maxLength;
    std::vector<QByteArray> frames;
    m_pending.append(bytes);
    qsizetype pos = 0;
    while (true) {
        const qsizetype start = m_pending.indexOf('Q', pos);
        if (start < 0) {
            pos = m_pending.size();
            break;
        }
        qsizetype end = start + 1;
        while (end < m_pending.size() && end - start < maxLength && m_pending[end] != 'Y' &&
               m_pending[end] != 'Q') {
            ++end;
        }
        if (end - start >= maxLength) {
            pos = start + 1; // too long for a command: noise
            continue;
        }
        if (end == m_pending.size()) {
            pos = start; // the rest may still be on the line
            break;
        }
        if (m_pending[end] == 'Y') {
            const QByteArray candidate = m_pending.mid(start, end - start + 1);
            if (commandframes::parse(candidate)) {
                frames.push_back(candidate);
                pos = end + 1;
                continue;
            }
        }
        pos = start + 1; // noise: look for the next 'Q'
    }
    m_pending.remove(0, pos);
    return frames;
}
