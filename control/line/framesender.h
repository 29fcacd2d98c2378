#pragma once
// Every frame to the pump leaves through here: one write, and a frame that does not go out is
// told to the operator, naming the command. A stop that silently fails to reach the pump is
// the worst thing this console could do. Both outcomes go into the run's events.

#include "control/runlog/pumpcommand.h"

#include <functional>
#include <map>
#include <QByteArray>
#include <QString>

class OperatorBoxes;
class PumpPort;
class RunEvents;
struct PortStatus;

class FrameSender
{
public:
    FrameSender(PumpPort &port, OperatorBoxes &boxes, RunEvents &events);

    // A command the operator gave: a failure is told each time. Returns whether the frame went
    // out; callers may ignore it, the operator has been told. `value` is the number the
    // operator gave, as the run log shows it; empty for commands without one.
    bool send(const QByteArray &frame, PumpCommand command, const QString &value = {});
    // A command the timer repeats every second until it goes out: a failure is told once until
    // a frame goes out again, so that the box does not keep coming back between the operator
    // and the menus.
    bool sendRepeated(const QByteArray &frame, PumpCommand command, const QString &value = {});

    // A command whose failure the caller gathers and tells itself (stopping every pump at
    // once): written and reported to the run's events, nothing told.
    [[nodiscard]] PortStatus sendQuietly(const QByteArray &frame, PumpCommand command);
    // A frame whose outcome the caller reports and tells itself (the safety stop): written,
    // nothing told, no event.
    [[nodiscard]] PortStatus writeOnly(const QByteArray &frame);

    // Told of every command that went out, with its frame (each pump's safety envelope arms
    // and disarms on its own). Returns a key for removing the watcher.
    using SentWatcher = std::function<void(PumpCommand, const QByteArray &frame)>;
    int addSentWatcher(SentWatcher watcher);
    void removeSentWatcher(int key) { m_sentWatchers.erase(key); }

    // A new line: an outage told on the old one says nothing about this one.
    void startConnection() { m_repeatFailureTold = false; }

private:
    // Writes the frame and reports to the run's events whether it went out.
    PortStatus writeAndReport(const QByteArray &frame, PumpCommand command, const QString &value);
    // Returns whether the box was shown (not when another one is still open).
    bool tellFailure(const QString &prompt);

    PumpPort &m_port;
    OperatorBoxes &m_boxes;
    RunEvents &m_events;
    bool m_boxOpen = false;
    bool m_repeatFailureTold = false;
    std::map<int, SentWatcher> m_sentWatchers; // in the order they were added
    int m_nextWatcherKey = 0;
};
