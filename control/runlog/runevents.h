#pragma once
// What happens on the line during a run, as one stream of timed events: the pump's replies,
// every command the console sent or failed to send, and the line opening, closing or going
// away. The run log writes them to disk; anything else that wants to follow a run (a
// publisher, a status bar) listens to the same stream.

#include "control/runlog/pumpcommand.h"
#include "control/seams/clock.h"

#include <optional>
#include <QByteArray>
#include <QObject>
#include <QString>

enum class RunEventKind {
    LineOpened, // note: the device
    LineBack,   // the line came back by itself after it was lost; note: the device
    Pressure,   // the pump's replies: value as the console read it, frame as received
    FlowSetpoint,
    PressureLimit,
    CommandSent,        // command, frame, value as the operator gave it (if any)
    CommandNotSent,     // command, frame, note: why
    PumpNumber,         // value: the number later frames carry; nothing goes on the line
    LineLost,           // note: why
    LineClosed,         // the console closed the line itself (closing the window)
    RecordFull,         // the in-memory record stopped taking values; note: its bound
    SafetyStop,         // the safety stop went out: value (MPa, none for silence), frame, note: why
    SafetyStopNotSent,  // the safety stop could not be written; note: why, and the port's reason
    SafetyAcknowledged, // the operator acknowledged a safety stop
    Mark,               // the operator marked the moment; note: what the operator wrote
    ProgramStart,       // a program began: value: its steps' short hash; note: its name
    ProgramStep,        // a program's step began: value: its flow as sent; note: its number
    ProgramPause,       // note: why
    ProgramContinue,    //
    ProgramAbort,       // note: why
    ProgramEnd,         // the program's last step is over and its stop frame went out
};

struct RunEvent
{
    RunEventKind kind = RunEventKind::Pressure;
    RunTime time;
    PumpCommand command = PumpCommand::Run; // CommandSent and CommandNotSent only
    QString value;    // MPa or ml/min (the pump number for PumpNumber); empty when none
    QByteArray frame; // the bytes as they went over the line; empty when none
    QString note;
    std::optional<double> mpa; // a pressure reply's value, read once; empty when it is no number
    // The pump the event concerns: a reply's, a command's, the record's; none for the line's
    // own events (opened, lost, closed).
    std::optional<qint16> pump;
};

class RunEvents : public QObject
{
    Q_OBJECT
public:
    explicit RunEvents(Clock &clock, QObject *parent = nullptr);

    void lineOpened(const QString &device);
    void lineBack(const QString &device);
    // `kind` is Pressure, FlowSetpoint or PressureLimit; `mpa` a pressure's value; `pump` the
    // pump the reply went to (on a line with one pump, whatever number the reply carries).
    void reply(qint16 pump, RunEventKind kind, const QString &value, const QByteArray &frame,
               std::optional<double> mpa = std::nullopt);
    void commandSent(PumpCommand command, const QByteArray &frame, const QString &value);
    void commandNotSent(PumpCommand command, const QByteArray &frame, const QString &reason);
    void pumpNumberSet(qint16 number);
    void lineLost(const QString &reason);
    void lineClosed();
    void recordFull(qint16 pump, qsizetype limit);
    void safetyStop(const QByteArray &frame, const QString &value, const QString &note);
    void safetyStopNotSent(const QByteArray &frame, const QString &value, const QString &note);
    void safetyAcknowledged(qint16 pump);
    // The operator's mark, stamped `at` (when the key was pressed, before the note was typed).
    void mark(const RunTime &at, const QString &note);
    RunTime stamp() { return m_clock.stamp(); }
    // `kind` is one of the Program… kinds; `pump` the pump the program drives.
    void program(qint16 pump, RunEventKind kind, const QString &value, const QString &note);

Q_SIGNALS:
    void runEvent(const RunEvent &event);

private:
    bool heard() const;
    // Stamps and emits, only when someone listens: a console without a log builds no events.
    // A command frame names its pump itself.
    void report(RunEventKind kind, const QString &value = {}, const QByteArray &frame = {},
                const QString &note = {}, PumpCommand command = PumpCommand::Run,
                std::optional<double> mpa = std::nullopt, std::optional<qint16> pump = {});

    Clock &m_clock;
};
