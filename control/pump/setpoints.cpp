#include "control/pump/setpoints.h"

#include "control/line/framesender.h"
#include "control/runlog/runevents.h"
#include "control/seams/operatorboxes.h"
#include "link/wire/commandframes.h"
#include "link/wire/numbertext.h"

Setpoints::Setpoints(OperatorBoxes &boxes, FrameSender &sender, RunEvents &events)
    : m_boxes(boxes), m_sender(sender), m_events(events)
{
}

void Setpoints::askFlow()
{
    askAndSend(Kind::Flow);
}

void Setpoints::askPressureLimit()
{
    askAndSend(Kind::PressureLimit);
}

void Setpoints::askAndSend(Kind kind)
{
    const bool flow = kind == Kind::Flow;
    // The pressure prompt names 2.0 MPa, yet the pump takes limits up to 5.0; the bound is the
    // pump's.
    const QString title = flow ? QStringLiteral("流量设定") : QStringLiteral("压力设定");
    const auto answer =
        flow ? m_boxes.ask(QStringLiteral("请输入您需要的流量 单位 ml/min \r\n"
                                          "流量范围为0.1—50.0ml/min"),
                           title, QStringLiteral("0"))
             : m_boxes.ask(QStringLiteral("请输入您需要保护压 单位 MPa\r\n压力设定范围为0—2.0MPa"),
                           title, QStringLiteral("2"));
    const auto value = numbertext::toDouble(answer.value_or(QString()));
    if (!value) {
        return;
    }
    (flow ? m_lastFlow : m_lastPressureLimit) = *value; // kept even when refused below
    // Small negatives have always gone out (as ten-character frames); only a number too long
    // for the frame's value field is refused with the too-large ones.
    if (*value > (flow ? limits::maxFlow : limits::maxPressureLimit) ||
        !commandframes::valueFits(*value)) {
        m_boxes.tell(flow ? QStringLiteral("流量设定错误!") : QStringLiteral("压力设定错误!"),
                     QStringLiteral("错误"));
        return;
    }
    // The log keeps the number as typed; the frame beside it shows what the pump was told.
    m_sender.send(flow ? commandframes::dialogFlow(m_pumpNumber, *value)
                       : commandframes::dialogPressureLimit(m_pumpNumber, *value),
                  flow ? PumpCommand::Flow : PumpCommand::PressureLimit,
                  numbertext::shortest(*value));
}

void Setpoints::askPumpNumber()
{
    const auto answer = m_boxes.ask(QStringLiteral("请输入要控制泵的编号 "),
                                    QStringLiteral("编号设定"), QStringLiteral("0"));
    if (const auto number = numbertext::toInt16(answer.value_or(QString()))) {
        m_pumpNumber = *number;
        m_events.pumpNumberSet(*number);
    }
}
