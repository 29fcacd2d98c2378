#pragma once
// The port numbers that stand for a device through an alias "COMn" in the per-user alias
// folder (portnames::aliasDirectory()): the simulated pump makes one, so that it can be offered
// in the port box although the system does not list pseudo-terminals as serial ports.

#include <QList>
#include <QString>

namespace portaliases {

struct PortAlias
{
    int number = 0; // the port box answer that opens it
    QString path;   // the alias itself
    QString target; // the device it leads to now
};

// The aliases that the port box's number n opens now, by number. An alias that leads nowhere
// (its pump has gone) is left out, as the port box passes it over too.
QList<PortAlias> list();

} // namespace portaliases
