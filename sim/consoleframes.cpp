#include "sim/consoleframes.h"

#include <QRegularExpression>
#include <QString>

namespace consoleframes {

std::optional<Command> parse(QByteArrayView frame)
{
    // The letter can be neither 'Q' nor 'Y', or the frame's edges would be ambiguous.
    static const QRegularExpression form(
        QStringLiteral("^Q(0-[0-9]+|-?[0-9]+)([A-PR-XZ])([0-9.-]{1,8})Y$"));
    if (frame.size() > maxFrameLength) {
        return std::nullopt;
    }
    const QString text = QString::fromLatin1(frame.data(), frame.size());
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    QString number = match.captured(1);
    if (number.startsWith(QLatin1String("0-"))) {
        number.remove(0, 1); // "Q0" followed by a negative number
    }
    bool ok = false;
    const int pump = number.toInt(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return Command{pump, char(match.captured(2).at(0).unicode()), match.captured(3).toLatin1()};
}

std::vector<QByteArray> Splitter::feed(QByteArrayView bytes)
{
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
        while (end < m_pending.size() && end - start < maxFrameLength && m_pending[end] != 'Y' &&
               m_pending[end] != 'Q') {
            ++end;
        }
        if (end - start >= maxFrameLength) {
            pos = start + 1; // too long for a frame: noise
            continue;
        }
        if (end == m_pending.size()) {
            pos = start; // the rest may still be on the line
            break;
        }
        if (m_pending[end] == 'Y') {
            const QByteArray candidate = m_pending.mid(start, end - start + 1);
            if (parse(candidate)) {
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

} // namespace consoleframes
