// Start-up, opening the serial line to the pump, and closing it.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/numbertext.h"
#include "control/ticktimer.h"
#include "link/portnames.h"

namespace {

const QString lineSettings = QStringLiteral("9600,n,8,1");
constexpr int replyLength = 9;

QString openFailure(const PortStatus &status, const QString &port)
{
    switch (status.error) {
    case PortError::NoSuchPort:
        return QStringLiteral("串口 %1 不存在。\r\n请检查串口号和连接线。").arg(port);
    case PortError::Busy:
        return QStringLiteral("串口 %1 正被其他程序占用。\r\n请关闭占用该串口的程序后再连接。")
            .arg(port);
    case PortError::PermissionDenied:
        return QStringLiteral("没有权限打开串口 %1。\r\n请把当前用户加入 dialout 组"
                              "（sudo usermod -aG dialout 用户名），重新登录后再连接。")
            .arg(port);
    default:
        return QStringLiteral("无法打开串口 %1：%2").arg(port, status.detail);
    }
}

} // namespace

void ConsoleCore::Form_Load()
{
    for (Menu menu : {Menu::file, Menu::settime, Menu::Pump, Menu::rightkey, Menu::seting}) {
        setMenuEnabled(menu, false);
    }
    m_state.lq = 0;
    m_state.pr = 0;
    m_state.Set_Pump_NO = 0;
    m_timer.setInterval(1000);
    m_timer.stop();
    setTimeDisplayVisible(false);
    // x counts chart steps, y is the pressure in MPa.
    m_chart.setScale(0, 2, 100, -0.8);
    m_state.prchart[1] = 0;
}

void ConsoleCore::Communication_Click()
{
    const auto answer = m_dialogs.InputBox(QStringLiteral("Input communication port"),
                                           QStringLiteral("Commport"), QStringLiteral("1"));
    if (!answer) {
        return; // the operator changed their mind
    }
    const auto fail = [this](const QString &prompt) {
        m_dialogs.MsgBox(prompt, 0, QStringLiteral("通信"));
    };

    QString device;
    QString port; // the port as the operator will recognise it in a message
    if (const auto number = numbertext::toInt16(*answer)) {
        const auto mapped = portnames::deviceForPortNumber(*number);
        if (!mapped) {
            fail(QStringLiteral("串口号 %1 无效：串口号从 1 开始。").arg(*number));
            return;
        }
        device = *mapped;
        port = QStringLiteral("%1（%2）").arg(*number).arg(device);
    } else if (const auto named = portnames::deviceFromName(*answer)) {
        device = *named;
        port = device;
    } else {
        fail(QStringLiteral("“%1”不是串口号。\r\n请输入串口号（例如 1），"
                            "或设备名（例如 COM3、/dev/ttyUSB0）。")
                 .arg(answer->trimmed()));
        return;
    }

    if (const PortStatus status = m_port.setCommPort(device); !status.ok()) {
        if (status.error == PortError::AlreadyOpen) {
            fail(QStringLiteral("已经连接在串口 %1 上，连接保持不变。\r\n"
                                "连接时不能更换串口；如需更换，请退出程序后重新启动。")
                     .arg(m_port.commPort()));
        } else {
            fail(openFailure(status, port));
        }
        return;
    }
    if (const PortStatus status = m_port.setPortOpen(true); !status.ok()) {
        fail(openFailure(status, port));
        return;
    }
    if (const PortStatus status = m_port.setSettings(lineSettings); !status.ok()) {
        // An open port with the wrong line settings would only garble frames: give it back.
        m_port.setPortOpen(false);
        fail(QStringLiteral("串口 %1 无法设置为 %2：%3").arg(port, lineSettings, status.detail));
        return;
    }
    m_port.setInputLen(0);
    m_port.setRThreshold(replyLength);
    m_reader.clear();
    m_retryFailureTold = false;
    setConnectedMenus(true);
}

void ConsoleCore::onConnectionLost(const QString &reason)
{
    // The port is closed already; go back to Not connected so that the operator can choose
    // the port again without restarting, and say so once, without blocking the event loop.
    m_reader.clear();
    setConnectedMenus(false);
    m_dialogs.notify(reason + QStringLiteral("\r\n泵已失去连接。请检查连接线，然后在“通信”菜单中"
                                             "重新连接。"),
                     QStringLiteral("通信"));
}

void ConsoleCore::Form_Unload()
{
    m_port.setPortOpen(false);
}

void ConsoleCore::end_Click()
{
    Q_EMIT endRequested();
}
