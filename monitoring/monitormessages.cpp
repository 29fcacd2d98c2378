#include "monitoring/monitormessages.h"

#include "link/wire/numbertext.h"

#include <cstdlib>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace monitormessages {

namespace {

// A read-out as a number when it reads as one; a half-typed or garbled one is null, never 0.
QJsonValue readoutValue(const QString &caption)
{
    const auto value = numbertext::toDouble(caption);
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString eventName(EventKind kind)
{
    switch (kind) {
    case EventKind::CommandSent:
        return u"command_sent"_s;
    case EventKind::CommandNotSent:
        return u"command_not_sent"_s;
    case EventKind::LineLost:
        return u"line_lost"_s;
    case EventKind::LineBack:
        return u"line_back"_s;
    case EventKind::RecordFull:
        return u"record_full"_s;
    case EventKind::SafetyStop:
        return u"safety_stop"_s;
    case EventKind::SafetyStopNotSent:
        return u"safety_stop_not_sent"_s;
    case EventKind::SafetyAcknowledged:
        return u"safety_acknowledged"_s;
    case EventKind::Mark:
        return u"mark"_s;
    case EventKind::ProgramStart:
        return u"program_start"_s;
    case EventKind::ProgramStep:
        return u"program_step"_s;
    case EventKind::ProgramPause:
        return u"program_pause"_s;
    case EventKind::ProgramContinue:
        return u"program_continue"_s;
    case EventKind::ProgramAbort:
        return u"program_abort"_s;
    case EventKind::ProgramEnd:
        return u"program_end"_s;
    }
    return u"other"_s;
}

QString troubleReason(const BrokerTrouble &trouble)
{
    switch (trouble.problem) {
    case BrokerProblem::Unreachable:
        return u"服务器没有运行，或地址、端口不对"_s;
    case BrokerProblem::NameNotFound:
        return u"找不到这个主机名"_s;
    case BrokerProblem::BadLogin:
        return u"用户名或密码不对（密码取自环境变量 PUMPCONSOLE_MQTT_PASSWORD）"_s;
    case BrokerProblem::NotAuthorised:
        return u"服务器不允许本控制台连接"_s;
    case BrokerProblem::IdRejected:
        return u"服务器不接受本控制台的名称"_s;
    case BrokerProblem::Tls:
        return u"安全连接（TLS）失败：证书或主机名不对"_s;
    case BrokerProblem::NoAnswer:
        return u"服务器没有及时回应"_s;
    case BrokerProblem::Lost:
        return u"连接中断"_s;
    case BrokerProblem::Other:
        break;
    }
    return u"通信错误"_s;
}

} // namespace

QString topicLevel(const QString &id)
{
    QString level = id.trimmed();
    for (QChar &c : level) {
        if (c == u'/' || c == u'+' || c == u'#' || c.category() == QChar::Other_Control) {
            c = u'_';
        }
    }
    return level.isEmpty() ? u"_"_s : level;
}

QString topic(const QString &id, const QString &leaf)
{
    return u"pumpconsole/"_s + topicLevel(id) + u'/' + leaf;
}

QString pumpTopic(const QString &id, const QString &pump, const QString &leaf)
{
    return topic(id, u"pumps/"_s + topicLevel(pump) + u'/' + leaf);
}

QString isoTime(const WallTime &time)
{
    // The local fields without asking the time zone again: UTC shifted by the offset.
    const QDateTime local =
        QDateTime::fromMSecsSinceEpoch(time.utcMs + qint64(time.utcOffsetSeconds) * 1000, Qt::UTC);
    const int minutes = std::abs(time.utcOffsetSeconds) / 60;
    return local.toString(u"yyyy-MM-dd'T'HH:mm:ss.zzz"_s) +
           (time.utcOffsetSeconds < 0 ? u'-' : u'+') +
           u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

template<typename T> QJsonValue optionalValue(const std::optional<T> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QByteArray statePayload(const PanelState &state)
{
    return compact({
        {u"connected"_s, state.connected},
        {u"port"_s, state.port.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(state.port)},
        {u"run"_s, state.runState.trimmed().toLower()},
        {u"flow_ml_min"_s, readoutValue(state.flow)},
        {u"pressure_limit_mpa"_s, readoutValue(state.pressureLimit)},
        {u"pressure_mpa"_s, readoutValue(state.pressure)},
        {u"pressure_time"_s,
         state.pressureAt ? QJsonValue(isoTime(*state.pressureAt)) : QJsonValue(QJsonValue::Null)},
        {u"live"_s, state.live},
        {u"safety_upper_mpa"_s, optionalValue(state.safetyUpper)},
        {u"safety_lower_mpa"_s, optionalValue(state.safetyLower)},
        {u"safety_silence_s"_s, optionalValue(state.safetySilenceSeconds)},
        {u"safety_armed"_s, state.safetyArmed},
        {u"safety_latched"_s, state.safetyLatched},
        {u"program"_s,
         state.program.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(state.program)},
        {u"program_state"_s,
         state.program.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(state.programState)},
        {u"program_step"_s,
         state.program.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(state.programStep)},
        {u"program_elapsed_s"_s, state.program.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                         : QJsonValue(state.programElapsedSeconds)},
    });
}

QByteArray pressurePayload(const WallTime &time, double mpa)
{
    return compact({{u"time"_s, isoTime(time)}, {u"mpa"_s, mpa}});
}

QByteArray eventPayload(const MonitorEvent &event)
{
    QJsonObject object{{u"event"_s, eventName(event.kind)}, {u"time"_s, isoTime(event.time)}};
    switch (event.kind) {
    case EventKind::CommandNotSent:
        object.insert(u"reason"_s, event.reason);
        [[fallthrough]];
    case EventKind::CommandSent:
        object.insert(u"command"_s, event.command);
        object.insert(u"frame"_s, QString::fromLatin1(event.frame));
        break;
    case EventKind::LineLost:
        object.insert(u"reason"_s, event.reason);
        [[fallthrough]];
    case EventKind::LineBack:
        object.insert(u"port"_s, event.port);
        break;
    case EventKind::RecordFull:
        object.insert(u"limit"_s, event.limit);
        break;
    case EventKind::SafetyStop:
    case EventKind::SafetyStopNotSent:
        object.insert(u"frame"_s, QString::fromLatin1(event.frame));
        object.insert(u"mpa"_s, readoutValue(event.value));
        object.insert(u"reason"_s, event.reason);
        break;
    case EventKind::SafetyAcknowledged:
        break;
    case EventKind::Mark:
        object.insert(u"note"_s, event.note);
        break;
    case EventKind::ProgramStart:
        object.insert(u"program"_s, event.program);
        object.insert(u"hash"_s, event.value);
        break;
    case EventKind::ProgramStep:
        object.insert(u"program"_s, event.program);
        object.insert(u"step"_s, event.programStep);
        object.insert(u"flow_ml_min"_s, readoutValue(event.value));
        break;
    case EventKind::ProgramPause:
    case EventKind::ProgramAbort:
        object.insert(u"reason"_s, event.reason);
        [[fallthrough]];
    case EventKind::ProgramContinue:
    case EventKind::ProgramEnd:
        object.insert(u"program"_s, event.program);
        object.insert(u"step"_s, event.programStep);
        object.insert(u"elapsed_s"_s, event.programElapsedSeconds);
        break;
    }
    return compact(object);
}

QString brokerTroubleNotice(const QString &broker, const BrokerTrouble &trouble)
{
    const QString reason = trouble.detail.isEmpty()
                               ? troubleReason(trouble)
                               : u"%1（%2）"_s.arg(troubleReason(trouble), trouble.detail);
    const QString what = trouble.problem == BrokerProblem::Lost
                             ? u"与监控服务器 %1 的连接中断"_s.arg(broker)
                             : u"无法连接监控服务器 %1：%2"_s.arg(broker, reason);
    return what + u"。\r\n控制台照常工作，压力数据照常记录；后台会自动重试连接。"_s;
}

QString badSettingsNotice(const QString &why)
{
    return u"监控设置有误：%1。\r\n本次不向监控服务器发布数据；控制台照常工作。"_s.arg(why);
}

} // namespace monitormessages
