#pragma once
// The pumps the console drives together: the panel's pump on the panel's line, and pumps added
// beside it, each on a line of its own or sharing one by its number. Decides which pump each
// reply belongs to, stops them all at once, and, with the interlock on, stops them all when
// one's safety stop trips. Each added pump is a Pump like the panel's, with its own envelope,
// stale watch, record and timed run.

#include "control/line/portresolver.h"
#include "control/pump/pump.h"

#include <functional>
#include <memory>
#include <optional>
#include <QList>
#include <QObject>
#include <vector>

class Clock;
class OperatorBoxes;
class PortInfoSource;
class PumpLine;
class RigParts;
struct RunLogOptions;

struct RigSeams
{
    OperatorBoxes &boxes;
    PortInfoSource &ports;
    Clock &clock;
    RigParts *parts; // none: no pump can be added
    // Where every reply of an added line is handled, as the panel's line's are.
    std::function<void(PumpLine &, const PumpReply &)> handleReply;
};

class PumpRig : public QObject
{
    Q_OBJECT
public:
    PumpRig(PumpLine &panelLine, Pump &panelPump, RigSeams seams, QObject *parent = nullptr);
    ~PumpRig() override;

    struct Row
    {
        PumpLine *line;
        Pump *pump;
        bool panel; // the panel's own pump: it cannot be taken off here
    };
    // In the order the pumps were added, the panel's first while its line is open.
    QList<Row> rows() const;

    // The pump a reply on `line` belongs to; none when it belongs to no pump on that line.
    Pump *pumpFor(const PumpLine &line, const PumpReply &reply);
    // Replies dropped so far because no pump on their line carries their number.
    qint64 droppedReplies() const { return m_dropped; }

    // Asks for the port, in the port box the panel connects with, then the pump number, and
    // adds the pump. Every refusal is told.
    void addPump();
    // As if the operator had answered `port` and `number` in those boxes (the settings at
    // start). Returns whether the pump was added.
    bool addPump(const QString &port, qint16 number);
    // Takes an added pump off; its line closes when no other pump is on it.
    void removePump(const Pump *pump);

    // Writes the stop frame of every pump, one write each, in row order, and tells in one box
    // those that could not be written. Returns how many went out.
    int stopAll();
    // Whether a safety stop of one pump stops all of them.
    bool interlock() const { return m_interlock; }
    void setInterlock(bool on) { m_interlock = on; }

    // The added pumps as the operator named them, for keeping them until the next start.
    struct Added
    {
        QString port; // the answer in the port box
        qint16 number;
        Pump *pump;
    };
    QList<Added> added() const;
    // Where `pump`'s port is, as the rows name it.
    QString portOf(const Pump *pump) const;

    void startRunLog(const RunLogOptions &options);
    // The window is closing: every added line goes with it, no stop frame on the way out.
    void closeLines();

Q_SIGNALS:
    // A pump was added or taken off, or a line opened or closed: the rows changed.
    void pumpsChanged();
    // An added pump's safety band or state changed.
    void bandChanged();
    // A reply was dropped; `total` since the start.
    void replyDropped(qint64 total);

private:
    struct OwnedLine;
    struct OwnedPump;

    PumpLine *lineOn(const QString &device) const;
    QList<Pump *> pumpsOn(const PumpLine &line) const;
    void watch(Pump &pump);
    void lineChanged(PumpLine &line, bool connected);
    // Stops every pump but `spared`; returns how many went out, failures told under `title`.
    int stopEvery(const Pump *spared, const QString &title);

    PumpLine &m_panelLine;
    Pump &m_panelPump;
    RigSeams m_seams;
    PortResolver m_resolver;
    std::vector<std::unique_ptr<OwnedLine>> m_lines;
    std::vector<std::unique_ptr<OwnedPump>> m_pumps; // in the order added
    std::unique_ptr<RunLogOptions> m_runLog;
    qint64 m_dropped = 0;
    bool m_interlock = false;
};
