#pragma once
// The system's serial ports as tests list them, and a console wired to the doubles for watching
// the line.

#include "support/doubles.h"

inline const PortIdentity ftdiAdapter{0x0403, 0x6001, QStringLiteral("A50285BI")};

// A USB adapter as the system lists it.
inline SystemPort usbPort(const QString &device, const PortIdentity &identity = ftdiAdapter)
{
    return {device, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
            identity.serialNumber, identity};
}

// A port the system lists without a USB identity: built in, or behind a driver that gives none.
inline SystemPort builtInPort(const QString &device)
{
    return {device, QString(), QString(), QString(), std::nullopt};
}

// A console wired to the doubles, the line watch's parts included.
struct WatchedConsole : ConsoleDoubles
{
    PumpConsole console{seams()};

    // The operator answers the port box with `answer`; the boxes are forgotten afterwards.
    void connect(const QString &answer)
    {
        boxes.answers.push_back(answer);
        console.choosePort();
        boxes.shown.clear();
    }
    // As connect(), with a device that refuses to open.
    void connectInVain(const QString &answer)
    {
        port.openResult = PortStatus::failure(PortError::NoSuchPort);
        connect(answer);
        port.openResult = PortStatus::success();
    }
};
