#include "control/line/portresolver.h"

#include "control/line/portmessages.h"
#include "link/wire/numbertext.h"
#include "link/wire/portnames.h"

PortChoice PortResolver::choose(const QString &answer) const
{
    PortChoice choice;
    const std::optional<int> typed = numbertext::toInt16(answer);
    const std::optional<int> number = typed ? typed : portnames::comNumber(answer);
    if (!number) {
        if (const auto named = portnames::deviceFromName(answer)) {
            choice.device = *named;
            choice.port = *named;
        } else {
            choice.refusal = portmessages::notAPort(answer);
        }
        return choice;
    }

    const auto resolved = portnames::resolvePortNumber(*number);
    if (!resolved) {
        // "COM0" is no port name at all; "0" is a port number out of range.
        choice.refusal =
            typed ? portmessages::invalidPortNumber(*number) : portmessages::notAPort(answer);
        return choice;
    }
    choice.number = *number;
    choice.device = resolved->device;
    // A name the operator typed ("COM3") already says which port it is.
    choice.port =
        typed ? QStringLiteral("%1（%2）").arg(*number).arg(choice.device) : choice.device;
    const QString before = m_openedBefore.value(*number);
    if (resolved->refusedAlias) {
        choice.notice = portmessages::aliasRefused(*number, resolved->aliasPath,
                                                   *resolved->refusedAlias, choice.device);
    } else if (!before.isEmpty() && before != choice.device) {
        choice.notice = portmessages::deviceChanged(*number, choice.device, before);
    }
    return choice;
}

void PortResolver::opened(const PortChoice &choice)
{
    if (choice.number > 0) {
        m_openedBefore.insert(choice.number, choice.device);
    }
}
