#pragma once
// Runs the event loop until a condition holds, without the 10 ms naps of QTRY_*.

#include <functional>
#include <QCoreApplication>
#include <QElapsedTimer>

// Returns the condition after it held or `ms` passed.
inline bool waitUntil(const std::function<bool()> &condition, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}
