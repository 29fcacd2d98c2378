#pragma once
// Doubles for the line watch: a clock moved by hand and a list of the system's serial ports
// that a test edits (adapters plugged in and pulled out), and a console wired to them.

#include "control/clock.h"
#include "link/portinfo.h"
#include "support/doubles.h"

#include <chrono>

class ManualClock final : public Clock
{
public:
    std::chrono::milliseconds time{5'000'000}; // anywhere: only differences count

    std::chrono::milliseconds now() const override { return time; }
    void advance(std::chrono::milliseconds by) { time += by; }
};

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

// A port the system lists without a USB identity: built in, or behind a driver that gives none.
inline SystemPort builtInPort(const QString &device)
{
    return {device, QString(), QString(), QString(), std::nullopt};
}

// A console wired to the doubles, the line watch's parts included.
struct WatchedConsole
{
    FakePort port;
    ScriptedBoxes boxes;
    ManualTicker ticker;
    ManualTicker staleTicker;
    ManualTicker pollTicker;
    ManualClock clock;
    FakePortInfoSource system;
    PumpConsole console{port, boxes, ticker,
                        LineWatchParts{&system, &clock, &staleTicker, &pollTicker}};

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
