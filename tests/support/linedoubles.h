#pragma once
// Doubles for the line watch: a list of the system's serial ports that a test edits (adapters
// plugged in and pulled out), and a console wired to it.

#include "link/portinfo.h"
#include "support/doubles.h"

class FakePortInfoSource final : public PortInfoSource
{
public:
    QList<SystemPort> ports;
    mutable int asked = 0;

    QList<SystemPort> availablePorts() const override
    {
        ++asked;
        return ports;
    }
    void plugIn(const SystemPort &port) { ports.append(port); }
    void pullOut(const QString &device)
    {
        ports.removeIf([&](const SystemPort &port) { return port.device == device; });
    }
};

inline const PortIdentity ftdiAdapter{0x0403, 0x6001, QStringLiteral("A50285BI")};

// A USB adapter as the system lists it.
inline SystemPort usbPort(const QString &device, const PortIdentity &identity = ftdiAdapter)
{
    return {device, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
            identity.serialNumber, identity};
}

// A console wired to the doubles, the line watch's parts included.
struct WatchedConsole
{
    FakePort port;
    ScriptedBoxes boxes;
    ManualTicker ticker;
    ManualTicker pollTicker;
    FakePortInfoSource system;
    PumpConsole console{port, boxes, ticker,
                        LineWatchParts{&system, &pollTicker}};

    // The operator answers the port box with `answer`; the boxes are forgotten afterwards.
    void connect(const QString &answer)
    {
        boxes.answers.push_back(answer);
        console.choosePort();
        boxes.shown.clear();
    }
};
