#include "control/consolecore.h"

#include "control/dialogs.h"
#include "control/ticktimer.h"

#include <algorithm>

namespace {

QString portReason(const PortStatus &status)
{
    switch (status.error) {
    case PortError::NotOpen:
        return QStringLiteral("串口尚未打开，请先在“通信”菜单中连接泵");
    case PortError::WriteFailed:
        return status.detail.isEmpty() ? QStringLiteral("串口写入失败")
                                       : QStringLiteral("串口写入失败：%1").arg(status.detail);
    default:
        return status.detail.isEmpty() ? QStringLiteral("串口错误") : status.detail;
    }
}

} // namespace

ConsoleCore::ConsoleCore(PumpPort &port, Dialogs &dialogs, TickTimer &timer, QObject *parent)
    : QObject(parent), m_port(port), m_dialogs(dialogs), m_timer(timer)
{
    m_captions[int(Label::LcurrP)] = startup::LcurrP;
    m_captions[int(Label::LsetP)] = startup::LsetP;
    m_captions[int(Label::LsetF)] = startup::LsetF;
    m_captions[int(Label::Lstate)] = startup::Lstate;
    m_captions[int(Label::LSetState)] = QString();
    m_captions[int(Label::lhour)] = QStringLiteral("00");
    m_captions[int(Label::Label1)] = QStringLiteral("时");
    m_captions[int(Label::lmin)] = QStringLiteral("00");
    m_captions[int(Label::Label2)] = QStringLiteral("分");
    m_captions[int(Label::lsed)] = QStringLiteral("00");
    m_captions[int(Label::Label3)] = QStringLiteral("秒");
    m_visible.fill(true);
    m_menuEnabled.fill(true);

    // Queued: a receive or a lost line is handled after the current handler has finished,
    // never in the middle of a write.
    connect(&m_port, &PumpPort::OnComm, this, &ConsoleCore::MSComm1_OnComm, Qt::QueuedConnection);
    connect(&m_port, &PumpPort::connectionLost, this, &ConsoleCore::onConnectionLost,
            Qt::QueuedConnection);
    connect(&m_timer, &TickTimer::Timer, this, &ConsoleCore::Timer1_Timer);
}

ConsoleCore::~ConsoleCore() = default;

QString ConsoleCore::caption(Label label) const
{
    return m_captions[int(label)];
}

bool ConsoleCore::isVisible(Label label) const
{
    return m_visible[int(label)];
}

bool ConsoleCore::menuEnabled(Menu menu) const
{
    return m_menuEnabled[int(menu)];
}

void ConsoleCore::setRecordLimit(qint32 limit)
{
    m_recordLimit = std::clamp(limit, qint32(0), PanelState::recordCapacity);
}

void ConsoleCore::setCaption(Label label, const QString &text)
{
    QString &current = m_captions[int(label)];
    if (current == text) {
        return;
    }
    current = text;
    Q_EMIT captionChanged(label, text);
}

void ConsoleCore::setVisible(Label label, bool visible)
{
    if (m_visible[int(label)] == visible) {
        return;
    }
    m_visible[int(label)] = visible;
    Q_EMIT visibilityChanged(label, visible);
}

void ConsoleCore::setMenuEnabled(Menu menu, bool enabled)
{
    if (m_menuEnabled[int(menu)] == enabled) {
        return;
    }
    m_menuEnabled[int(menu)] = enabled;
    Q_EMIT menuEnabledChanged(menu, enabled);
}

void ConsoleCore::setConnectedMenus(bool enabled)
{
    for (Menu menu : {Menu::file, Menu::settime, Menu::Pump, Menu::rightkey, Menu::seting}) {
        setMenuEnabled(menu, enabled);
    }
}

void ConsoleCore::setTimeDisplayVisible(bool visible)
{
    for (Label label :
         {Label::lhour, Label::lmin, Label::lsed, Label::Label1, Label::Label2, Label::Label3}) {
        setVisible(label, visible);
    }
}

bool ConsoleCore::sendFrame(const QByteArray &frame, const QString &command, Report report)
{
    const PortStatus status = m_port.output(frame);
    if (status.ok()) {
        m_retryFailureTold = false;
        return true;
    }
    if (report == Report::OncePerOutage && m_retryFailureTold) {
        return false;
    }
    // A stop that silently fails to reach the pump is the worst thing this console could do,
    // so every failed frame is told, naming the command.
    const bool told =
        reportPortFailure(QStringLiteral("“%1”命令没有发送到泵（%2）。\r\n请检查连接后重新操作。")
                              .arg(command, portReason(status)));
    if (report == Report::OncePerOutage) {
        m_retryFailureTold = told;
    }
    return false;
}

bool ConsoleCore::reportPortFailure(const QString &prompt)
{
    // A tick or a receive can fail again while the first box is still open (the box keeps the
    // event loop running); one box at a time is enough for the operator to act on.
    if (m_failureBoxOpen) {
        return false;
    }
    m_failureBoxOpen = true;
    m_dialogs.MsgBox(prompt, 0, QStringLiteral("通信错误"));
    m_failureBoxOpen = false;
    return true;
}

void ConsoleCore::keyClicked(KeyGroup group, qint16 Index)
{
    switch (group) {
    case KeyGroup::Cmd0:
        return Cmd0_Click(Index);
    case KeyGroup::Cmd1:
        return Cmd1_Click(Index);
    case KeyGroup::Cmd2:
        return Cmd2_Click(Index);
    case KeyGroup::Cmd3:
        return Cmd3_Click(Index);
    case KeyGroup::Cmd4:
        return Cmd4_Click(Index);
    case KeyGroup::Cmd5:
        return Cmd5_Click(Index);
    case KeyGroup::Cmd6:
        return Cmd6_Click(Index);
    case KeyGroup::Cmd7:
        return Cmd7_Click(Index);
    case KeyGroup::Cmd8:
        return Cmd8_Click(Index);
    case KeyGroup::Cmd9:
        return Cmd9_Click(Index);
    case KeyGroup::Cmdl:
        return Cmdl_Click(Index);
    case KeyGroup::Cmdp:
        return Cmdp_Click(Index);
    case KeyGroup::Cmdr:
        return Cmdr_Click(Index);
    case KeyGroup::Cmds:
        return Cmds_Click(Index);
    }
}
