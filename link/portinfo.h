#pragma once
// The serial ports the system offers, as the console needs to know them: to list them in the
// port box and to recognise a USB adapter that was unplugged when it comes back, perhaps under
// another device name. Pseudo-terminals are not listed (the system does not know them as
// serial ports); the simulated pump is found through its alias instead.

#include <optional>
#include <QList>
#include <QString>
#include <QtGlobal>

// What tells one USB serial adapter from every other: the same three values whatever device
// name the system gives it this time. Adapters without a serial number (many cheap ones) can
// only be told apart from a second one of their kind by where they are plugged in.
struct PortIdentity
{
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString serialNumber;

    friend bool operator==(const PortIdentity &, const PortIdentity &) = default;
};

struct SystemPort
{
    // The name the port box takes for it and the console opens: "/dev/ttyUSB0", or "COM7" on
    // Windows.
    QString device;
    QString description;  // the adapter's own words, e.g. "FT232R USB UART"
    QString manufacturer; // e.g. "FTDI"
    QString serialNumber;
    // Only USB adapters have one: a built-in port keeps no vendor or product.
    std::optional<PortIdentity> identity;
};

class PortInfoSource
{
public:
    virtual ~PortInfoSource() = default;
    // The serial ports present now. Cheap enough to ask once a second.
    virtual QList<SystemPort> availablePorts() const = 0;
};
