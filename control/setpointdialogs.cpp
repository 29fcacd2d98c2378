// Flow, pressure limit and pump number through input boxes.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/numbertext.h"
#include "link/pumpframes.h"

void ConsoleCore::liquid_Click()
{
    setpointDialog(QStringLiteral("请输入您需要的流量 单位 ml/min \r\n流量范围为0.1—50.0ml/min"),
                   QStringLiteral("流量设定"), QStringLiteral("0"), m_state.setliq, 50.0,
                   QStringLiteral("流量设定错误!"), true);
}

void ConsoleCore::pressure_Click()
{
    // The prompt names 2.0 MPa, yet the pump takes limits up to 5.0; the bound is the pump's.
    setpointDialog(QStringLiteral("请输入您需要保护压 单位 MPa\r\n压力设定范围为0—2.0MPa"),
                   QStringLiteral("压力设定"), QStringLiteral("2"), m_state.setpresure, 5.0,
                   QStringLiteral("压力设定错误!"), false);
}

void ConsoleCore::setpointDialog(const QString &prompt, const QString &title,
                                 const QString &defaultText, double &stored, double bound,
                                 const QString &refusal, bool flow)
{
    const auto answer = m_dialogs.InputBox(prompt, title, defaultText);
    const auto value = numbertext::toDouble(answer.value_or(QString()));
    if (!value) {
        return;
    }
    stored = *value; // kept even when refused below
    if (*value > bound) {
        m_dialogs.MsgBox(refusal, 0, QStringLiteral("错误"));
        return;
    }
    const qint16 pump = m_state.Set_Pump_NO;
    sendFrame(flow ? pumpframes::dialogFlowFrame(pump, *value)
                   : pumpframes::dialogPressureFrame(pump, *value),
              title);
}

void ConsoleCore::Pump_NO_Click()
{
    const auto answer = m_dialogs.InputBox(QStringLiteral("请输入要控制泵的编号 "),
                                           QStringLiteral("编号设定"), QStringLiteral("0"));
    if (const auto number = numbertext::toInt16(answer.value_or(QString()))) {
        m_state.Set_Pump_NO = *number;
    }
}
