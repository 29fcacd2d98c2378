// The bytes a dashboard reads from the broker: topic names, times, and the JSON of each topic.

#include "monitoring/monitormessages.h"
#include "support/printto.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace monitormessages;

namespace {

TEST(MonitorMessages, ConsoleNameBecomesOneTopicLevel)
{
    const std::pair<QString, QString> cases[] = {
        {u"bench3"_s, u"bench3"_s},
        {u"  lab-pc.local "_s, u"lab-pc.local"_s},
        {u"a/b"_s, u"a_b"_s},         // would open a level of its own
        {u"pump+1#"_s, u"pump_1_"_s}, // wildcards would make the topic unpublishable
        {u"x\ty"_s, u"x_y"_s},
        {u"泵房一"_s, u"泵房一"_s},
        {u""_s, u"_"_s},
        {u"   "_s, u"_"_s},
    };
    for (const auto &[id, level] : cases) {
        EXPECT_EQ(topicLevel(id), level) << id.toStdString();
    }
    EXPECT_EQ(topic(u"a/b"_s, u"state"_s), u"pumpconsole/a_b/state"_s);
    // A pump added beside the panel's: one level down, its port and number as one level.
    EXPECT_EQ(pumpTopic(u"lab"_s, u"COM3-12"_s, u"pressure"_s),
              u"pumpconsole/lab/pumps/COM3-12/pressure"_s);
    EXPECT_EQ(pumpTopic(u"lab"_s, u"a/b+1"_s, u"event"_s), u"pumpconsole/lab/pumps/a_b_1/event"_s);
}

TEST(MonitorMessages, TimesAreLocalWithMillisecondsAndTheirOffset)
{
    // 2024-05-01T06:03:07.250Z
    const qint64 utc = 1714543387250;
    const std::pair<WallTime, QString> cases[] = {
        {{utc, 8 * 3600}, u"2024-05-01T14:03:07.250+08:00"_s},
        {{utc, 0}, u"2024-05-01T06:03:07.250+00:00"_s},
        {{utc, -(3 * 3600 + 30 * 60)}, u"2024-05-01T02:33:07.250-03:30"_s},
        {{utc, 5 * 3600 + 45 * 60}, u"2024-05-01T11:48:07.250+05:45"_s},
        {{utc + 750, -10 * 3600}, u"2024-04-30T20:03:08.000-10:00"_s}, // the day before
        {{0, 0}, u"1970-01-01T00:00:00.000+00:00"_s},
    };
    for (const auto &[time, text] : cases) {
        EXPECT_EQ(isoTime(time), text);
    }
}

TEST(MonitorMessages, StateCarriesThePanelAsNumbers)
{
    PanelState state;
    EXPECT_EQ(
        statePayload(state),
        R"({"connected":false,"flow_ml_min":null,"live":false,"port":null,)"
        R"("pressure_limit_mpa":null,"pressure_mpa":null,"pressure_time":null,"program":null,)"
        R"("program_elapsed_s":null,"program_state":null,"program_step":null,"run":"",)"
        R"("safety_armed":false,"safety_latched":false,"safety_lower_mpa":null,)"
        R"("safety_silence_s":null,"safety_upper_mpa":null})"_ba);

    state.connected = true;
    state.port = u"/dev/ttyUSB0"_s;
    state.runState = u"     RUN "_s;
    state.flow = u"07.5"_s;
    state.pressureLimit = u"05.0"_s;
    state.pressure = u"01.3"_s;
    state.pressureAt = WallTime{1714543387250, 8 * 3600};
    state.live = true;
    state.safetyUpper = 12.5;
    state.safetySilenceSeconds = 5;
    state.safetyArmed = true;
    state.program = u"冲洗.csv"_s;
    state.programState = u"paused"_s;
    state.programStep = 2;
    state.programElapsedSeconds = 3725;
    EXPECT_EQ(statePayload(state),
              R"({"connected":true,"flow_ml_min":7.5,"live":true,"port":"/dev/ttyUSB0",)"
              R"("pressure_limit_mpa":5,"pressure_mpa":1.3,)"
              R"("pressure_time":"2024-05-01T14:03:07.250+08:00","program":"冲洗.csv",)"
              R"("program_elapsed_s":3725,"program_state":"paused","program_step":2,"run":"run",)"
              R"("safety_armed":true,"safety_latched":false,"safety_lower_mpa":null,)"
              R"("safety_silence_s":5,"safety_upper_mpa":12.5})"_ba);

    // A read-out that is not a number (a garbled reply) is null, never a made-up 0.
    state.pressure = u"ab.c"_s;
    state.runState = u"     STOP"_s;
    const QByteArray garbled = statePayload(state);
    EXPECT_TRUE(garbled.contains(R"("pressure_mpa":null)")) << garbled.toStdString();
    EXPECT_TRUE(garbled.contains(R"("run":"stop")")) << garbled.toStdString();
}

TEST(MonitorMessages, PressureAndEventPayloads)
{
    const WallTime t{1714543387250, 8 * 3600};
    EXPECT_EQ(pressurePayload(t, 1.3), R"({"mpa":1.3,"time":"2024-05-01T14:03:07.250+08:00"})"_ba);
    EXPECT_EQ(pressurePayload(t, 0), R"({"mpa":0,"time":"2024-05-01T14:03:07.250+08:00"})"_ba);

    struct Case
    {
        MonitorEvent event;
        QByteArray json;
    };
    const QByteArray at = R"("time":"2024-05-01T14:03:07.250+08:00")"_ba;
    auto ev = [&](EventKind kind, QString command, QByteArray frame, QString port = {},
                  QString reason = {}, qsizetype limit = 0, QString value = {}) {
        return MonitorEvent{kind, t, command, frame, port, reason, limit, value, {}, 0, 0, {}};
    };
    auto programEvent = [&](EventKind kind, QString value, QString reason) {
        return MonitorEvent{kind, t, {}, {}, {}, reason, 0, value, u"冲洗.csv"_s, 2, 75, {}};
    };
    const Case cases[] = {
        {ev(EventKind::CommandSent, u"run"_s, "Q00R0000Y"_ba),
         R"({"command":"run","event":"command_sent","frame":"Q00R0000Y",)" + at + "}"},
        {ev(EventKind::CommandNotSent, u"stop"_s, "Q00S0000Y"_ba, {}, u"串口尚未打开"_s),
         R"({"command":"stop","event":"command_not_sent","frame":"Q00S0000Y",)"
         R"("reason":"串口尚未打开",)"_ba +
             at + "}"},
        {ev(EventKind::LineLost, {}, {}, u"/dev/ttyUSB0"_s, u"读取失败"_s),
         R"({"event":"line_lost","port":"/dev/ttyUSB0","reason":"读取失败",)"_ba + at + "}"},
        {ev(EventKind::LineBack, {}, {}, u"/dev/ttyUSB0"_s),
         R"({"event":"line_back","port":"/dev/ttyUSB0",)"_ba + at + "}"},
        {ev(EventKind::RecordFull, {}, {}, {}, {}, 1000000),
         R"({"event":"record_full","limit":1000000,)"_ba + at + "}"},
        {ev(EventKind::SafetyStop, {}, "Q00S0000Y"_ba, {}, u"高于上限 12.0 MPa"_s, 0, u"12.6"_s),
         R"({"event":"safety_stop","frame":"Q00S0000Y","mpa":12.6,"reason":"高于上限 12.0 MPa",)"_ba +
             at + "}"},
        {ev(EventKind::SafetyStopNotSent, {}, "Q00S0000Y"_ba, {}, u"5 秒没有压力数据"_s),
         R"({"event":"safety_stop_not_sent","frame":"Q00S0000Y","mpa":null,)"
         R"("reason":"5 秒没有压力数据",)"_ba +
             at + "}"},
        {ev(EventKind::SafetyAcknowledged, {}, {}),
         R"({"event":"safety_acknowledged",)"_ba + at + "}"},
        {[&] {
             MonitorEvent mark = ev(EventKind::Mark, {}, {});
             mark.note = u"换柱, \"B\" 批"_s;
             return mark;
         }(),
         R"({"event":"mark","note":"换柱, \"B\" 批",)"_ba + at + "}"},
        {programEvent(EventKind::ProgramStart, u"3f9a1c2e"_s, {}),
         R"({"event":"program_start","hash":"3f9a1c2e","program":"冲洗.csv",)"_ba + at + "}"},
        {programEvent(EventKind::ProgramStep, u"01.5"_s, {}),
         R"({"event":"program_step","flow_ml_min":1.5,"program":"冲洗.csv","step":2,)"_ba + at +
             "}"},
        {programEvent(EventKind::ProgramPause, u"75.0"_s, u"通信中断"_s),
         R"({"elapsed_s":75,"event":"program_pause","program":"冲洗.csv","reason":"通信中断",)"
         R"("step":2,)"_ba +
             at + "}"},
        {programEvent(EventKind::ProgramContinue, u"75.0"_s, {}),
         R"({"elapsed_s":75,"event":"program_continue","program":"冲洗.csv","step":2,)"_ba + at +
             "}"},
        {programEvent(EventKind::ProgramAbort, u"75.0"_s, u"安全停泵"_s),
         R"({"elapsed_s":75,"event":"program_abort","program":"冲洗.csv","reason":"安全停泵",)"
         R"("step":2,)"_ba +
             at + "}"},
        {programEvent(EventKind::ProgramEnd, u"75.0"_s, {}),
         R"({"elapsed_s":75,"event":"program_end","program":"冲洗.csv","step":2,)"_ba + at + "}"},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(eventPayload(k.event), k.json);
    }
}

TEST(MonitorMessages, NoticeNamesTheBrokerAndSaysTheConsoleGoesOn)
{
    const QString refused = brokerTroubleNotice(u"lab:1883"_s, {BrokerProblem::BadLogin, {}});
    EXPECT_TRUE(refused.startsWith(u"无法连接监控服务器 lab:1883：用户名或密码不对"_s))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(u"控制台照常工作"_s));

    const QString down =
        brokerTroubleNotice(u"lab:1883"_s, {BrokerProblem::Unreachable, u"Connection refused"_s});
    EXPECT_TRUE(down.contains(u"（Connection refused）"_s)) << down.toStdString();

    const QString lost = brokerTroubleNotice(u"lab:1883"_s, {BrokerProblem::Lost, {}});
    EXPECT_TRUE(lost.startsWith(u"与监控服务器 lab:1883 的连接中断"_s)) << lost.toStdString();
}

} // namespace
