#include "control/line/portlist.h"

namespace portlist {

namespace {

// "device（what is known of it）", or the bare device when nothing is.
QString labelFor(const QString &device, QStringList known)
{
    known.removeAll(QString());
    known.removeDuplicates(); // some adapters call themselves by their maker's name
    return known.isEmpty()
               ? device
               : QStringLiteral("%1（%2）").arg(device, known.join(QStringLiteral("，")));
}

} // namespace

QList<PortListEntry> build(const QList<portaliases::PortAlias> &aliases,
                           const QList<SystemPort> &ports)
{
    QList<PortListEntry> choices;
    for (const portaliases::PortAlias &alias : aliases) {
        const QString number = QString::number(alias.number);
        const QString name = QStringLiteral("别名 COM%1").arg(number);
        const QString known =
            alias.target.isEmpty() ? name : QStringLiteral("%1 → %2").arg(name, alias.target);
        choices.append({labelFor(number, {known}), number});
    }
    for (const SystemPort &port : ports) {
        // The adapter's own strings may hold anything, line breaks included: one line each.
        const QString serial = port.serialNumber.simplified();
        choices.append(
            {labelFor(port.device,
                      {port.description.simplified(), port.manufacturer.simplified(),
                       serial.isEmpty() ? QString() : QStringLiteral("序列号 %1").arg(serial)}),
             port.device});
    }
    return choices;
}

QStringList labels(const QList<PortListEntry> &choices)
{
    QStringList result;
    for (const PortListEntry &choice : choices) {
        result.append(choice.label);
    }
    return result;
}

QString answerFor(const QList<PortListEntry> &choices, const QString &text)
{
    const QString chosen = text.trimmed();
    for (const PortListEntry &choice : choices) {
        if (choice.label == chosen) {
            return choice.answer;
        }
    }
    return text;
}

} // namespace portlist
