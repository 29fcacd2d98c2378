#pragma once
// Publishing the console to the lab's broker, put together from the options: the broker
// connection, the monitor that words the messages, and the feed from the console into it.

#include "app/options.h"

#include <map>
#include <memory>

class MonitorFeed;
class OperatorBoxes;
class Pump;
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
    // A monitor and a feed for each pump added beside the panel's, made and dropped as the
    // pumps are.
    void followAddedPumps(const PumpConsole &console, OperatorBoxes &boxes, const QString &id);
    struct Added
    {
        std::unique_ptr<PumpMonitor> monitor;
        std::unique_ptr<MonitorFeed> feed;
    };

    // Goes last: its goodbye ("offline") follows everything the monitor said.
    std::unique_ptr<Publisher> m_publisher;
    std::unique_ptr<PumpMonitor> m_monitor;
    std::unique_ptr<MonitorFeed> m_feed;
    std::map<const Pump *, Added> m_added;
};
