#include "ui/trend/trendrows.h"

#include <charconv>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace trendrows {

namespace {

constexpr float unknown = std::numeric_limits<float>::quiet_NaN();

// One event, whichever way it came; the note is made only for the few events that show it.
struct Item
{
    std::optional<runlog::EventWord> word;
    QByteArrayView eventName; // for an event this console does not write
    runlog::LocalTime time;
    std::optional<float> number;
    const std::function<QString()> &note;
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
            {t, TrendMark::Kind::Other, withNote(QString::fromUtf8(item.eventName), item.note())});
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
        series.setPort(item.note());
        series.breakCurve();
        mark(TrendMark::Kind::Line, withNote(u"连接"_s, item.note()));
        return;
    case RunEventKind::LineBack:
        series.breakCurve();
        mark(TrendMark::Kind::Line, withNote(u"线路恢复"_s, item.note()));
        return;
    case RunEventKind::LineLost:
    case RunEventKind::LineClosed:
        series.breakCurve();
        // Nobody knows the setpoints while the line is down.
        series.addFlow(t, unknown);
        series.addLimit(t, unknown);
        mark(TrendMark::Kind::Line, item.word->kind == RunEventKind::LineLost
                                        ? withNote(u"线路断开"_s, item.note())
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
        mark(TrendMark::Kind::Command, withNote(u"命令未发出"_s, item.note()));
        return;
    case RunEventKind::RecordFull:
        // The note says it all: "压力记录已满（…个数值）".
        mark(TrendMark::Kind::Other, item.note().isEmpty() ? u"压力记录已满"_s : item.note());
        return;
    case RunEventKind::SafetyStop:
        mark(TrendMark::Kind::Safety, withNote(u"安全停泵"_s, item.note()));
        return;
    case RunEventKind::SafetyStopNotSent:
        mark(TrendMark::Kind::Safety, withNote(u"安全停泵未发出"_s, item.note()));
        return;
    case RunEventKind::SafetyAcknowledged:
        mark(TrendMark::Kind::Safety, u"安全报警已确认"_s);
        return;
    case RunEventKind::Mark:
        mark(TrendMark::Kind::Operator, withNote(u"标记"_s, item.note()));
        return;
    // A program's own frames show as their steps and commands; these say where it stood.
    case RunEventKind::ProgramStart:
        mark(TrendMark::Kind::Command, withNote(u"程序开始"_s, item.note()));
        return;
    case RunEventKind::ProgramStep:
        mark(TrendMark::Kind::Command, withNote(u"程序"_s, item.note()));
        return;
    case RunEventKind::ProgramPause:
        mark(TrendMark::Kind::Command, withNote(u"程序暂停"_s, item.note()));
        return;
    case RunEventKind::ProgramContinue:
        mark(TrendMark::Kind::Command, u"程序继续"_s);
        return;
    case RunEventKind::ProgramAbort:
        mark(TrendMark::Kind::Command, withNote(u"程序中止"_s, item.note()));
        return;
    case RunEventKind::ProgramEnd:
        mark(TrendMark::Kind::Command, u"程序结束"_s);
        return;
    }
}

std::optional<float> numberIn(QByteArrayView text)
{
    float value = 0;
    const auto [end, error] = std::from_chars(text.begin(), text.end(), value);
    if (error != std::errc() || end != text.end() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

void add(TrendSeries &series, const RunEvent &event)
{
    std::optional<float> number;
    if (event.kind == RunEventKind::Pressure) {
        if (event.mpa) {
            number = float(*event.mpa);
        }
    } else if (event.kind == RunEventKind::FlowSetpoint ||
               event.kind == RunEventKind::PressureLimit) {
        bool ok = false;
        const float value = event.value.toFloat(&ok);
        if (ok) {
            number = value;
        }
    }
    const std::function<QString()> note = [&event] { return runlog::rowNote(event); };
    apply(series, {runlog::EventWord{event.kind, event.command},
                   {},
                   {event.time.utcMs, event.time.utcOffsetSeconds},
                   number,
                   note,
                   event.pump});
}

void add(TrendSeries &series, const runlog::RowView &row)
{
    const std::function<QString()> note = [&row] { return QString::fromUtf8(row.note); };
    apply(series, {row.word, row.event, row.time, numberIn(row.value), note, row.pump});
}

} // namespace trendrows
