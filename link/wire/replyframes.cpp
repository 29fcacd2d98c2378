#include "link/wire/replyframes.h"

#include "link/wire/frame.h"
#include "link/wire/numberpatterns.h"

namespace replyframes {

std::optional<ReplyView> parseView(QByteArrayView text)
{
    if (text.size() < wire::frameLength || text[0] != wire::frameStart ||
        text[wire::frameLength - 1] != wire::frameEnd) {
        return std::nullopt;
    }
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::optional<qint16> pump;
    if (digit(text[1]) && digit(text[2])) {
        pump = qint16((text[1] - '0') * 10 + (text[2] - '0'));
    }
    return ReplyView{text[3], text.sliced(4, 4), pump};
}

std::optional<Reply> parse(QByteArrayView text)
{
    const auto view = parseView(text);
    if (!view) {
        return std::nullopt;
    }
    return Reply{view->letter, view->value.toByteArray(), view->pump};
}

QString setpointReadout(const QByteArray &value)
{
    return QString::fromLatin1(value.left(2)) + u'.' + QString::fromLatin1(value.mid(3, 1));
}

QByteArray encode(int pump, char letter, double value)
{
    return wire::frameStart + numberpatterns::twoDigits(qint16(pump)).toLatin1() + letter +
           numberpatterns::tenths(value).toLatin1() + wire::frameEnd;
}

} // namespace replyframes
