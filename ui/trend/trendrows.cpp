#include "ui/trend/trendrows.h"

#include "link/wire/numbertext.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace trendrows {

namespace {

constexpr float unknown = std::numeric_limits<float>::quiet_NaN();

// One event, whichever way it came.
struct Item
{
    std::optional<runlog::EventWord> word;
    QByteArrayView eventName; // for an event this console does not write
    runlog::LocalTime time;
    std::optional<float> number;
    QString note;
    std::optional<qint16> pump;
};

QString withNote(const QString &what, const QString &note)
{
    return note.isEmpty() ? what : u"%1：%2"_s.arg(what, note);
}

void apply(TrendSeries &series, const Item &item)
{
    const qint64 t = item.time.utcMs;
    series.setOffset(t, item.time.utcOffsetSeconds);
    const auto mark = [&](TrendMark::Kind kind, const QString &text) {
        series.addMark({t, kind, text});
    };
    // The operator set another pump number: the curve goes on with that pump's replies.
    if (item.word && item.word->kind == RunEventKind::PumpNumber) {
        if (item.pump && item.pump != series.pump()) {
            series.setPump(*item.pump);
            series.breakCurve();
            mark(TrendMark::Kind::Command, u"泵编号改为 %1"_s.arg(*item.pump));
        }
        return;
    }
    // Another pump on the same line is another curve, not a jump in this one; the curve is
    // of the first pump that answered.
    if (item.pump) {
        if (!series.pump() && item.word && item.word->kind == RunEventKind::Pressure) {
            series.setPump(*item.pump);
        } else if (series.pump() && *series.pump() != *item.pump) {
            return;
        }
    }
    if (!item.word) {
        series.addMark(
            {t, TrendMark::Kind::Other, withNote(QString::fromUtf8(item.eventName), item.note)});
        return;
    }
    switch (item.word->kind) {
    case RunEventKind::Pressure:
        if (item.number) {
            series.addPressure(t, *item.number);
        }
        return;
    case RunEventKind::FlowSetpoint:
        if (item.number) {
            series.addFlow(t, *item.number);
        }
        return;
    case RunEventKind::PressureLimit:
        if (item.number) {
            series.addLimit(t, *item.number);
        }
        return;
    case RunEventKind::PumpNumber: // above
        return;
    case RunEventKind::LineOpened:
        series.setPort(item.note);
        series.breakCurve();
        mark(TrendMark::Kind::Line, withNote(u"连接"_s, item.note));
        return;
    case RunEventKind::LineBack:
        series.breakCurve();
        mark(TrendMark::Kind::Line, withNote(u"线路恢复"_s, item.note));
        return;
    case RunEventKind::LineLost:
    case RunEventKind::LineClosed:
        series.breakCurve();
        // Nobody knows the setpoints while the line is down.
        series.addFlow(t, unknown);
        series.addLimit(t, unknown);
        mark(TrendMark::Kind::Line, item.word->kind == RunEventKind::LineLost
                                        ? withNote(u"线路断开"_s, item.note)
                                        : u"关闭连接"_s);
        return;
    case RunEventKind::CommandSent:
        // A new setpoint shows as its step, once the pump confirms it.
        if (item.word->command != PumpCommand::Flow &&
            item.word->command != PumpCommand::PressureLimit) {
            mark(TrendMark::Kind::Command, pumpcommand::operatorName(item.word->command));
        }
        return;
    case RunEventKind::CommandNotSent:
        mark(TrendMark::Kind::Command, withNote(u"命令未发出"_s, item.note));
        return;
    case RunEventKind::RecordFull:
        // The note says it all: "压力记录已满（…个数值）".
        mark(TrendMark::Kind::Other, item.note.isEmpty() ? u"压力记录已满"_s : item.note);
        return;
    case RunEventKind::SafetyStop:
        mark(TrendMark::Kind::Safety, withNote(u"安全停泵"_s, item.note));
        return;
    case RunEventKind::SafetyStopNotSent:
        mark(TrendMark::Kind::Safety, withNote(u"安全停泵未发出"_s, item.note));
        return;
    case RunEventKind::SafetyAcknowledged:
        mark(TrendMark::Kind::Safety, u"安全报警已确认"_s);
        return;
    case RunEventKind::Mark:
        mark(TrendMark::Kind::Operator, withNote(u"标记"_s, item.note));
        return;
    // A program's own frames show as their steps and commands; these say where it stood.
    case RunEventKind::ProgramStart:
        mark(TrendMark::Kind::Command, withNote(u"程序开始"_s, item.note));
        return;
    case RunEventKind::ProgramStep:
        mark(TrendMark::Kind::Command, withNote(u"程序"_s, item.note));
        return;
    case RunEventKind::ProgramPause:
        mark(TrendMark::Kind::Command, withNote(u"程序暂停"_s, item.note));
        return;
    case RunEventKind::ProgramContinue:
        mark(TrendMark::Kind::Command, u"程序继续"_s);
        return;
    case RunEventKind::ProgramAbort:
        mark(TrendMark::Kind::Command, withNote(u"程序中止"_s, item.note));
        return;
    case RunEventKind::ProgramEnd:
        mark(TrendMark::Kind::Command, u"程序结束"_s);
        return;
    }
}

// A value as the trend draws it, read by the same rules live and from the log.
template<typename Text> std::optional<float> numberIn(const Text &text)
{
    const std::optional<double> value = numbertext::toDouble(text);
    if (!value || !std::isfinite(float(*value))) {
        return std::nullopt; // beyond what the curve can hold
    }
    return float(*value);
}

} // namespace

void add(TrendSeries &series, const RunEvent &event)
{
    // A pressure reply's value was read once, as the reply came.
    const std::optional<float> number =
        event.kind == RunEventKind::Pressure
            ? (event.mpa ? std::optional<float>(float(*event.mpa)) : std::nullopt)
            : numberIn(event.value);
    apply(series, {runlog::EventWord{event.kind, event.command},
                   {},
                   {event.time.utcMs, event.time.utcOffsetSeconds},
                   number,
                   runlog::rowNote(event),
                   event.pump});
}

void add(TrendSeries &series, const runlog::RowView &row)
{
    apply(series, {row.word, row.event, row.time, numberIn(row.value), QString::fromUtf8(row.note),
                   row.pump});
}

} // namespace trendrows
