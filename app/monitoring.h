#pragma once
// Publishing the console to the lab's broker, put together from the options: the broker
// connection, the monitor that words the messages, and the feed from the console into it.

#include "app/options.h"

#include <memory>

class MonitorFeed;
class OperatorBoxes;
class Publisher;
class PumpConsole;
class PumpMonitor;

class Monitoring
{
public:
    // Nothing when the options name no broker. A setting that cannot work is told to the
    // operator (without blocking) and nothing starts; the console works on either way.
    static std::unique_ptr<Monitoring> start(const MonitorOptions &options,
                                             const PumpConsole &console, OperatorBoxes &boxes);
    ~Monitoring();

    Publisher &publisher() { return *m_publisher; }

private:
    Monitoring() = default;

    // Goes last: its goodbye ("offline") follows everything the monitor said.
    std::unique_ptr<Publisher> m_publisher;
    std::unique_ptr<PumpMonitor> m_monitor;
    std::unique_ptr<MonitorFeed> m_feed;
};
