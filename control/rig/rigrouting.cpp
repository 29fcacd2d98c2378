#include "control/rig/rigrouting.h"

using namespace Qt::StringLiterals;

namespace rig {

std::optional<qsizetype> route(const QList<qint16> &numbersOnLine, std::optional<qint16> carried)
{
    if (numbersOnLine.size() == 1) {
        return 0;
    }
    if (!carried) {
        return std::nullopt;
    }
    const qsizetype at = numbersOnLine.indexOf(*carried);
    return at >= 0 ? std::optional<qsizetype>(at) : std::nullopt;
}

RowState rowState(bool latched, bool stale, bool running)
{
    if (latched) {
        return RowState::Alarm;
    }
    if (stale) {
        return RowState::Silent;
    }
    return running ? RowState::Running : RowState::Stopped;
}

QString rowStateText(RowState state)
{
    switch (state) {
    case RowState::Running:
        return u"运行"_s;
    case RowState::Silent:
        return u"无应答"_s;
    case RowState::Alarm:
        return u"停泵报警"_s;
    case RowState::Stopped:
        break;
    }
    return u"停止"_s;
}

} // namespace rig
