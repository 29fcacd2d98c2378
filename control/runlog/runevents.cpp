#include "control/runlog/runevents.h"

#include "link/wire/commandframes.h"

#include <QMetaMethod>

using namespace Qt::StringLiterals;

RunEvents::RunEvents(Clock &clock, QObject *parent) : QObject(parent), m_clock(clock) {}

bool RunEvents::heard() const
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&RunEvents::runEvent);
    return isSignalConnected(signal);
}

void RunEvents::report(RunEventKind kind, const QString &value, const QByteArray &frame,
                       const QString &note, PumpCommand command, std::optional<double> mpa,
                       std::optional<qint16> pump)
{
    if (!heard()) {
        return;
    }
    if (!pump) {
        pump = commandframes::pumpOf(frame);
    }
    Q_EMIT runEvent(RunEvent{kind, m_clock.stamp(), command, value, frame, note, mpa, pump});
}

void RunEvents::lineOpened(const QString &device)
{
    report(RunEventKind::LineOpened, {}, {}, device);
}

void RunEvents::lineBack(const QString &device)
{
    report(RunEventKind::LineBack, {}, {}, device);
}

void RunEvents::reply(qint16 pump, RunEventKind kind, const QString &value, const QByteArray &frame,
                      std::optional<double> mpa)
{
    report(kind, value, frame, {}, PumpCommand::Run, mpa, pump);
}

void RunEvents::commandSent(PumpCommand command, const QByteArray &frame, const QString &value)
{
    report(RunEventKind::CommandSent, value, frame, {}, command);
}

void RunEvents::commandNotSent(PumpCommand command, const QByteArray &frame, const QString &reason)
{
    report(RunEventKind::CommandNotSent, {}, frame, reason, command);
}

void RunEvents::pumpNumberSet(qint16 number)
{
    report(RunEventKind::PumpNumber, QString::number(number), {}, {}, PumpCommand::Run, {}, number);
}

void RunEvents::lineLost(const QString &reason)
{
    report(RunEventKind::LineLost, {}, {}, reason);
}

void RunEvents::lineClosed()
{
    report(RunEventKind::LineClosed);
}

void RunEvents::recordFull(qint16 pump, qsizetype limit)
{
    report(RunEventKind::RecordFull, {}, {}, u"压力记录已满（%1 个数值）"_s.arg(limit),
           PumpCommand::Run, {}, pump);
}

void RunEvents::safetyStop(const QByteArray &frame, const QString &value, const QString &note)
{
    report(RunEventKind::SafetyStop, value, frame, note);
}

void RunEvents::safetyStopNotSent(const QByteArray &frame, const QString &value,
                                  const QString &note)
{
    report(RunEventKind::SafetyStopNotSent, value, frame, note);
}

void RunEvents::safetyAcknowledged(qint16 pump)
{
    report(RunEventKind::SafetyAcknowledged, {}, {}, {}, PumpCommand::Run, {}, pump);
}

void RunEvents::mark(const RunTime &at, const QString &note)
{
    if (heard()) {
        Q_EMIT runEvent(RunEvent{RunEventKind::Mark, at, PumpCommand::Run, {}, {}, note, {}, {}});
    }
}

void RunEvents::program(qint16 pump, RunEventKind kind, const QString &value, const QString &note)
{
    report(kind, value, {}, note, PumpCommand::Run, {}, pump);
}
