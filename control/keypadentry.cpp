#include "control/keypadentry.h"

#include "control/line/framesender.h"
#include "control/pump/readouts.h"
#include "control/pump/setpoints.h"
#include "control/seams/operatorboxes.h"
#include "link/wire/commandframes.h"
#include "link/wire/numbertext.h"

namespace {

constexpr int pointAfter = 2;
constexpr int completeAt = 4;

struct FieldInfo
{
    Readout readout;
    QChar letter;
    double bound;
    QString mode;
    QString refusal;
    PumpCommand command;
};

FieldInfo info(EntryField field)
{
    if (field == EntryField::Flow) {
        return {Readout::Flow,
                u'L',
                limits::maxFlow,
                QStringLiteral("Lset"),
                QStringLiteral("流量设定错误"),
                PumpCommand::Flow};
    }
    return {Readout::PressureLimit,         u'P',
            limits::maxPressureLimit,       QStringLiteral("Pset"),
            QStringLiteral("压力设定错误"), PumpCommand::PressureLimit};
}

} // namespace

KeypadEntry::KeypadEntry(Readouts &readouts, FrameSender &sender, OperatorBoxes &boxes,
                         const Setpoints &setpoints)
    : m_readouts(readouts), m_sender(sender), m_boxes(boxes), m_setpoints(setpoints)
{
}

void KeypadEntry::begin(EntryField field)
{
    if (m_field != EntryField::None || field == EntryField::None) {
        return; // one entry at a time
    }
    m_field = field;
    m_readouts.setCaption(info(field).readout, QString());
    m_readouts.setCaption(Readout::EntryMode, info(field).mode);
}

void KeypadEntry::pressDigit(int digit)
{
    if (m_field == EntryField::None || digit < 0 || digit > 9) {
        return;
    }
    const Readout readout = info(m_field).readout;
    const QString typed = m_readouts.caption(readout) + QChar(u'0' + digit);
    m_readouts.setCaption(readout, typed);
    if (typed.size() == pointAfter) {
        m_readouts.setCaption(readout, typed + u'.');
    } else if (typed.size() == completeAt) {
        complete();
    }
}

void KeypadEntry::complete()
{
    const FieldInfo field = info(m_field);
    m_field = EntryField::None; // closed from here on, whatever follows
    // Always two digits, a point and a digit: it reads as a number.
    const QString typed = m_readouts.caption(field.readout);
    const double value = numbertext::toDouble(typed).value_or(0.0);
    if (value > field.bound) {
        m_boxes.tell(field.refusal, QStringLiteral("设定错误"));
        return;
    }
    m_lastFrameBody = commandframes::keypadBody(m_setpoints.pumpNumber(), field.letter, value);
    if (m_sender.send(commandframes::keypad(m_lastFrameBody), field.command, typed)) {
        m_readouts.setCaption(Readout::EntryMode, QString());
    }
}
