#pragma once
// What the console tells the lab's broker, as topics and JSON payloads, and what it tells the
// operator about the broker. Plain functions, so that every byte a dashboard reads is pinned
// by a test.
//
// Topics, under pumpconsole/<id>/:
//   status    "online" / "offline", retained; "offline" is also the last will
//   state     retained JSON of what the panel shows
//   pressure  {"time": …, "mpa": …} per valid reply, at most 20 a second
//   event     JSON per command sent or not sent, line lost or back, record full, the
//             safety stop, the operator's marks, program start, step, pause, continue, abort
//             and end

#include "monitoring/publisher.h"

#include <optional>
#include <QByteArray>
#include <QString>

namespace monitormessages {

inline const QByteArray online = QByteArrayLiteral("online");
inline const QByteArray offline = QByteArrayLiteral("offline");

// The console's name as one topic level: the characters a topic level cannot hold ('/', '+',
// '#', control characters) become '_'. Never empty.
QString topicLevel(const QString &id);
// "pumpconsole/<id>/<leaf>", leaf one of "status", "state", "pressure", "event".
QString topic(const QString &id, const QString &leaf);
// A pump added beside the panel's publishes the same leaves one level down:
// "pumpconsole/<id>/pumps/<pump>/<leaf>", `pump` being its port and number ("ttyUSB1-12").
QString pumpTopic(const QString &id, const QString &pump, const QString &leaf);

// An instant as the operator's PC shows it: UTC and the local offset at that instant.
struct WallTime
{
    qint64 utcMs = 0;         // milliseconds since 1970-01-01 UTC
    int utcOffsetSeconds = 0; // local time minus UTC

    bool operator==(const WallTime &) const = default;
};

// ISO 8601 in local time with milliseconds and the offset: "2024-05-01T14:03:07.250+08:00".
QString isoTime(const WallTime &time);

// What the panel shows, as the state topic carries it.
struct PanelState
{
    bool connected = false;
    QString port;                       // the device of the line, empty before the first connection
    QString runState;                   // the run-state read-out
    QString flow;                       // ml/min, as the read-out shows it ("07.5")
    QString pressureLimit;              // MPa, as the read-out shows it
    QString pressure;                   // MPa, as the read-out shows it
    std::optional<WallTime> pressureAt; // when the last valid pressure arrived
    bool live = false; // the pressure read-out follows the pump now (not stale, not cut off)
    // The safety stop: its band (empty: off), whether it guards a running pump, whether it
    // stopped the pump and waits for the operator.
    std::optional<double> safetyUpper;
    std::optional<double> safetyLower;
    std::optional<int> safetySilenceSeconds;
    bool safetyArmed = false;
    bool safetyLatched = false;
    // The program last started: its name (empty: none yet), "running", "paused", "ended",
    // "aborted", its step from 1, and the time on its clock.
    QString program;
    QString programState;
    qsizetype programStep = 0;
    qint64 programElapsedSeconds = 0;

    bool operator==(const PanelState &) const = default;
};
QByteArray statePayload(const PanelState &state);

QByteArray pressurePayload(const WallTime &time, double mpa);

// Something that happened on the line, from the run log's stream of events.
enum class EventKind {
    CommandSent,
    CommandNotSent,
    LineLost,
    LineBack,
    RecordFull,
    SafetyStop,
    SafetyStopNotSent,
    SafetyAcknowledged,
    Mark,
    ProgramStart,
    ProgramStep,
    ProgramPause,
    ProgramContinue,
    ProgramAbort,
    ProgramEnd,
};
struct MonitorEvent
{
    EventKind kind = EventKind::CommandSent;
    WallTime time;
    QString command;     // for commands: the run log's word for it ("run", "limit", …)
    QByteArray frame;    // the exact frame, for commands
    QString port;        // for the line
    QString reason;      // why a command was not sent or the line was lost, in the operator's words
    qsizetype limit = 0; // for a full record: how many values it holds
    QString value;       // for a safety stop: the pressure that tripped it (MPa), if any;
                         // a program's step: its flow; a program's start: its steps' hash
    // For a program: its name, its step from 1 and the time on its clock.
    QString program;
    qsizetype programStep = 0;
    qint64 programElapsedSeconds = 0;
    QString note; // for a mark: what the operator wrote
};
QByteArray eventPayload(const MonitorEvent &event);

// The notices, and their box's title.
inline const QString noticeTitle = QStringLiteral("监控");
QString brokerTroubleNotice(const QString &broker, const BrokerTrouble &trouble);
QString badSettingsNotice(const QString &why);

} // namespace monitormessages
