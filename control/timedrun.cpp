// Running the pump for a set number of minutes, counted in one-second ticks of Timer1.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/numbertext.h"
#include "control/ticktimer.h"
#include "link/pumpframes.h"

#include <cmath>
#include <limits>

namespace {

// The elapsed count is a 16-bit number of seconds: 9 h 6 min 7 s at most.
constexpr qint16 maxElapsed = std::numeric_limits<qint16>::max();

} // namespace

void ConsoleCore::stset_Click()
{
    // Ticks go on while this box is open; the new time counts from the first tick after it.
    const auto answer = m_dialogs.InputBox(QStringLiteral("请输入设定时间 单位 分 "),
                                           QStringLiteral("时间设定"), QStringLiteral("0"));
    const auto minutes = numbertext::toDouble(answer.value_or(QString()));
    if (!minutes) {
        return;
    }
    const double seconds = *minutes * 60.0;
    if (!std::isfinite(seconds) || seconds > maxElapsed) {
        // The count could never reach such a time, and the pump would never be stopped.
        m_dialogs.MsgBox(
            QStringLiteral("设定时间过长：定时最长为 %1 分（%2 小时 %3 分 %4 秒）。\r\n"
                           "设定时间保持不变。")
                .arg(std::floor(maxElapsed / 60.0 * 100) / 100, 0, 'f', 2)
                .arg(maxElapsed / 3600)
                .arg(maxElapsed % 3600 / 60)
                .arg(maxElapsed % 60),
            0, QStringLiteral("时间设定"));
        return;
    }
    m_state.timeset = *minutes;
}

void ConsoleCore::ststart_Click()
{
    m_state.tset = 0;
    m_timer.start();
    if (!sendFrame(pumpframes::runFrame(m_state.Set_Pump_NO), QStringLiteral("定时开始"))) {
        return;
    }
    setTimeDisplayVisible(true);
}

void ConsoleCore::stzanting_Click()
{
    m_timer.stop();
    sendFrame(pumpframes::stopFrame(m_state.Set_Pump_NO), QStringLiteral("定时暂停"));
}

void ConsoleCore::stcontiune_Click()
{
    m_timer.start();
    sendFrame(pumpframes::runFrame(m_state.Set_Pump_NO), QStringLiteral("定时继续"));
}

void ConsoleCore::stend_Click()
{
    m_state.timeset = 0;
    m_timer.stop();
    if (!sendFrame(pumpframes::stopFrame(m_state.Set_Pump_NO), QStringLiteral("定时结束"))) {
        return;
    }
    setTimeDisplayVisible(false);
}

void ConsoleCore::Timer1_Timer()
{
    PanelState &s = m_state;
    // Only a stop frame that cannot be written keeps the count going past the set time;
    // even then it must not wrap to negative seconds.
    if (s.tset < maxElapsed) {
        ++s.tset;
    }
    setCaption(Label::lhour, QString::number(s.tset / 3600));
    setCaption(Label::lmin, QString::number(s.tset % 3600 / 60));
    setCaption(Label::lsed, QString::number(s.tset % 60));

    if (!(s.timeset * 60.0 > s.tset)) {
        // Tried again on every tick until it goes out, but told only once.
        if (!sendFrame(pumpframes::stopFrame(s.Set_Pump_NO), QStringLiteral("定时到，停止"),
                       Report::OncePerOutage)) {
            return;
        }
        s.tset = 0;
        m_timer.stop();
    }
}
