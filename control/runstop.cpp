// Run and stop from the Pump menu, the right-click popup and the keypad.

#include "control/consolecore.h"
#include "link/pumpframes.h"

namespace {
const QString runCommand = QStringLiteral("运行");
const QString stopCommand = QStringLiteral("停止");
} // namespace

void ConsoleCore::run_Click()
{
    sendFrame(pumpframes::runFrame(m_state.Set_Pump_NO), runCommand);
}

void ConsoleCore::stop_Click()
{
    sendFrame(pumpframes::stopFrame(m_state.Set_Pump_NO), stopCommand);
}

void ConsoleCore::rrun_Click()
{
    sendFrame(pumpframes::runFrame(m_state.Set_Pump_NO), runCommand);
}

void ConsoleCore::rstop_Click()
{
    sendFrame(pumpframes::stopFrame(m_state.Set_Pump_NO), stopCommand);
}

void ConsoleCore::Cmdr_Click(qint16 /*Index*/)
{
    // The label tells what the keypad last sent, so it changes only once the frame is out.
    if (sendFrame(pumpframes::runFrame(m_state.Set_Pump_NO), runCommand)) {
        setCaption(Label::Lstate, startup::LstateRun);
    }
}

void ConsoleCore::Cmds_Click(qint16 /*Index*/)
{
    if (sendFrame(pumpframes::stopFrame(m_state.Set_Pump_NO), stopCommand)) {
        setCaption(Label::Lstate, startup::Lstate);
    }
}

void ConsoleCore::Form_MouseDown(qint16 Button, qint16 /*Shift*/, float /*X*/, float /*Y*/)
{
    // Before the line is open the popup would offer commands that cannot reach the pump.
    if (Button == vbRightButton && menuEnabled(Menu::rightkey)) {
        Q_EMIT popupRequested(Menu::rightkey);
    }
}
