#pragma once
// Flow and pressure limit typed on the on-screen keypad: a mode key, then three digits "ab.c".
// The entry lives in the text of the read-out being typed into; the point comes by itself
// after the second digit and the third digit completes the entry.

#include <QString>

class FrameSender;
class OperatorBoxes;
class Readouts;
class Setpoints;

enum class EntryField { None, Flow, PressureLimit };

class KeypadEntry
{
public:
    KeypadEntry(Readouts &readouts, FrameSender &sender, OperatorBoxes &boxes,
                const Setpoints &setpoints);

    // Opens an entry; a second mode key while one is open keeps what was typed.
    void begin(EntryField field);
    void pressDigit(int digit);

    EntryField field() const { return m_field; }
    // The last frame the keypad built, without its leading 'Q'.
    const QString &lastFrameBody() const { return m_lastFrameBody; }

private:
    void complete();

    Readouts &m_readouts;
    FrameSender &m_sender;
    OperatorBoxes &m_boxes;
    const Setpoints &m_setpoints;
    EntryField m_field = EntryField::None;
    QString m_lastFrameBody;
};
