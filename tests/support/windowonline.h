#pragma once
// The real window over the real serial line, as the program builds it: the system's parts, the
// console on them and the window on the console, taken down in reverse (window, console, then
// the port). The test chooses the seams, so that it can keep its own boxes, tickers or clock.

#include "app/systemparts.h"
#include "ui/mainwindow.h"

#include <functional>

struct LineAndConsole
{
    explicit LineAndConsole(const std::function<ConsoleSeams(SystemParts &)> &seams)
        : m_lineConsole(seams(m_system))
    {
    }
    SystemParts m_system;
    PumpConsole m_lineConsole;
};

class WindowOnLine : private LineAndConsole, public MainWindow
{
public:
    WindowOnLine(OperatorBoxes &boxes, const std::function<ConsoleSeams(SystemParts &)> &seams)
        : LineAndConsole(seams), MainWindow(m_lineConsole, boxes)
    {
    }
    const PumpPort &port() const { return m_system.port; }

    // The test's boxes and timed-run ticker, the system's everything else.
    static auto withBoxesAndTicker(OperatorBoxes &boxes, Ticker &runTicker)
    {
        return [&boxes, &runTicker](SystemParts &s) {
            return ConsoleSeams{s.port,          boxes,         s.ports,      s.clock,
                                runTicker,       s.staleTicker, s.pollTicker, s.safetyTicker,
                                s.programTicker, &s.rigParts};
        };
    }
};
