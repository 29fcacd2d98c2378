#pragma once
// The ports the port box offers to choose from, so that an operator with a USB adapter need
// not know that it is /dev/ttyUSB0 (or COM7): the simulated pump's aliases and the system's
// serial ports, each shown with what the system knows of it. A choice stands for exactly the
// answer the operator could have typed for it, so choosing and typing open the same device
// and read the same in every message.

#include "link/portinfo.h"
#include "link/wire/portaliases.h"

#include <QList>
#include <QString>
#include <QStringList>

struct PortListEntry
{
    QString label; // as the list shows it: "/dev/ttyUSB0（FT232R USB UART，FTDI，序列号 A1）"
    QString answer; // what it stands for in the port box: "/dev/ttyUSB0", or "1" for alias COM1

    friend bool operator==(const PortListEntry &, const PortListEntry &) = default;
};

namespace portlist {

// The aliases first, by number and answered with the number (as the operator would type it),
// then the system's ports in the system's order, answered with their device name.
[[nodiscard]] QList<PortListEntry> build(const QList<portaliases::PortAlias> &aliases,
                                         const QList<SystemPort> &ports);

[[nodiscard]] QStringList labels(const QList<PortListEntry> &choices);

// The answer a port box text stands for: a chosen entry's answer, otherwise the text as typed.
[[nodiscard]] QString answerFor(const QList<PortListEntry> &choices, const QString &text);

} // namespace portlist
