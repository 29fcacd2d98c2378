// Flow and pressure typed on the on-screen keypad: a mode key, then three digits "ab.c".
// The entry lives in the text of the label being typed into; the point comes by itself
// after the second digit and the third digit completes the entry.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/numbertext.h"
#include "link/pumpframes.h"

namespace {
constexpr int pointAfter = 2;
constexpr int completeAt = 4;
} // namespace

void ConsoleCore::openEntry(qint16 &flag, Label label, const QString &mode)
{
    if (m_state.lq == 1 || m_state.pr == 1) {
        return; // one entry at a time; a second press keeps what was typed
    }
    flag = 1;
    setCaption(label, QString());
    setCaption(Label::LSetState, mode);
}

void ConsoleCore::Cmdl_Click(qint16 /*Index*/)
{
    openEntry(m_state.lq, Label::LsetF, QStringLiteral("Lset"));
}

void ConsoleCore::Cmdp_Click(qint16 /*Index*/)
{
    openEntry(m_state.pr, Label::LsetP, QStringLiteral("Pset"));
}

void ConsoleCore::digitKey(QChar digit)
{
    PanelState &s = m_state;
    if (s.lq == 1) {
        setCaption(Label::LsetF, caption(Label::LsetF) + digit);
    }
    if (s.pr == 1) {
        setCaption(Label::LsetP, caption(Label::LsetP) + digit);
    }
    if (s.lq == 1) {
        const auto n = caption(Label::LsetF).size();
        if (n == pointAfter) {
            setCaption(Label::LsetF, caption(Label::LsetF) + u'.');
        } else if (n == completeAt) {
            completeEntry(s.lq, Label::LsetF, u'L', 50.0, QStringLiteral("流量设定错误"));
        }
    }
    if (s.pr == 1) {
        const auto n = caption(Label::LsetP).size();
        if (n == pointAfter) {
            setCaption(Label::LsetP, caption(Label::LsetP) + u'.');
        } else if (n == completeAt) {
            completeEntry(s.pr, Label::LsetP, u'P', 5.0, QStringLiteral("压力设定错误"));
        }
    }
}

void ConsoleCore::completeEntry(qint16 &flag, Label label, QChar letter, double bound,
                                const QString &refusal)
{
    flag = 0; // closed from here on, whatever follows
    // Always two digits, a point and a digit: it reads as a number.
    const double value = numbertext::toDouble(caption(label)).value_or(0.0);
    if (value > bound) {
        m_dialogs.MsgBox(refusal, 0, QStringLiteral("设定错误"));
        return;
    }
    m_state.setliqstr = pumpframes::keypadFrameBody(m_state.Set_Pump_NO, letter, value);
    if (!sendFrame(pumpframes::keypadFrame(m_state.setliqstr),
                   letter == u'L' ? QStringLiteral("流量设定") : QStringLiteral("压力设定"))) {
        return;
    }
    setCaption(Label::LSetState, QString());
}

// clang-format off
void ConsoleCore::Cmd0_Click(qint16 /*Index*/) { digitKey(u'0'); }
void ConsoleCore::Cmd1_Click(qint16 /*Index*/) { digitKey(u'1'); }
void ConsoleCore::Cmd2_Click(qint16 /*Index*/) { digitKey(u'2'); }
void ConsoleCore::Cmd3_Click(qint16 /*Index*/) { digitKey(u'3'); }
void ConsoleCore::Cmd4_Click(qint16 /*Index*/) { digitKey(u'4'); }
void ConsoleCore::Cmd5_Click(qint16 /*Index*/) { digitKey(u'5'); }
void ConsoleCore::Cmd6_Click(qint16 /*Index*/) { digitKey(u'6'); }
void ConsoleCore::Cmd7_Click(qint16 /*Index*/) { digitKey(u'7'); }
void ConsoleCore::Cmd8_Click(qint16 /*Index*/) { digitKey(u'8'); }
void ConsoleCore::Cmd9_Click(qint16 /*Index*/) { digitKey(u'9'); }
// clang-format on
