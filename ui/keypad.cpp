#include "ui/keypad.h"

#include "ui/twips.h"

#include <QPainter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

enum class Action { Digit, Flow, PressureLimit, Run, Stop };

// The sixteen keys in the order of their places on the keypad, row by row.
struct KeyPlace
{
    QStringView name;    // objectName
    QStringView face;    // what the key shows, and what a screen reader says
    QStringView picture; // under :/images/
    Action action;
    int digit;
};
constexpr std::array<int, 4> keyColumns{6720, 7360, 8020, 8680};
constexpr std::array<int, 4> keyRows{2160, 2640, 3120, 3600};
constexpr int keyWidth = 615, keyHeight = 375;
constexpr std::array<KeyPlace, Keypad::keyCount> keyPlaces{{
    {u"Cmd0_13", u"0", u"key_0.png", Action::Digit, 0},
    {u"Cmd1_0", u"1", u"key_1.png", Action::Digit, 1},
    {u"Cmd2_1", u"2", u"key_2.png", Action::Digit, 2},
    {u"Cmd3_2", u"3", u"key_3.png", Action::Digit, 3},
    {u"Cmd4_4", u"4", u"key_4.png", Action::Digit, 4},
    {u"Cmd5_5", u"5", u"key_5.png", Action::Digit, 5},
    {u"Cmd6_6", u"6", u"key_6.png", Action::Digit, 6},
    {u"Cmd7_8", u"7", u"key_7.png", Action::Digit, 7},
    {u"Cmd8_9", u"8", u"key_8.png", Action::Digit, 8},
    {u"Cmd9_10", u"9", u"key_9.png", Action::Digit, 9},
    {u"Cmd0_0", u"\u25B2", u"key_up.png", Action::Digit, 0},
    {u"Cmd0_1", u"\u25BC", u"key_down.png", Action::Digit, 0},
    {u"Cmdl_3", u"L", u"key_L.png", Action::Flow, 0},
    {u"Cmdp_7", u"P", u"key_P.png", Action::PressureLimit, 0},
    {u"Cmdr_11", u"RUN", u"key_RUN.png", Action::Run, 0},
    {u"Cmds_15", u"STOP", u"key_STOP.png", Action::Stop, 0},
}};
// Tab order, as places in keyPlaces.
constexpr std::array<int, Keypad::keyCount> keyTabOrder{1, 2, 3, 12, 4, 5,  6,  13,
                                                        7, 8, 9, 14, 0, 15, 10, 11};

// A key: its picture centred on a dark rim, which turns yellow while the key has the focus so
// that an operator on the keyboard sees where Space will land.
class KeyButton final : public QPushButton
{
public:
    KeyButton(const QPixmap &face, QWidget *parent) : QPushButton(parent), m_face(face)
    {
        setIcon(face);
        setIconSize(face.size());
        setAttribute(Qt::WA_NoMousePropagation);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, hasFocus() ? QColor(255, 255, 0) : QColor(0, 0, 96));
        QRect face(QPoint(0, 0), m_face.deviceIndependentSize().toSize());
        face.moveCenter(r.center());
        if (isDown()) {
            face.translate(1, 1);
        }
        p.drawPixmap(face.topLeft(), m_face);
        if (isDown()) {
            p.fillRect(face, QColor(0, 0, 0, 60));
        }
    }

private:
    QPixmap m_face;
};

} // namespace

Keypad::Keypad(QWidget *surface) : QObject(surface)
{
    std::array<QAbstractButton *, keyCount> buttons{};
    for (std::size_t i = 0; i < keyPlaces.size(); ++i) {
        const KeyPlace &place = keyPlaces[i];
        auto *button = new KeyButton(QPixmap(u":/images/"_s + place.picture.toString()), surface);
        button->setObjectName(place.name.toString());
        button->setAccessibleName(place.face.toString());
        button->setGeometry(twips::rect(keyColumns[i % 4], keyRows[i / 4], keyWidth, keyHeight));
        connect(button, &QAbstractButton::clicked, this,
                [this, action = place.action, digit = place.digit] {
                    switch (action) {
                    case Action::Digit:
                        return Q_EMIT digitPressed(digit);
                    case Action::Flow:
                        return Q_EMIT flowPressed();
                    case Action::PressureLimit:
                        return Q_EMIT pressureLimitPressed();
                    case Action::Run:
                        return Q_EMIT runPressed();
                    case Action::Stop:
                        return Q_EMIT stopPressed();
                    }
                });
        buttons[i] = button;
    }
    for (std::size_t i = 0; i < keyTabOrder.size(); ++i) {
        m_tabOrder[i] = buttons[std::size_t(keyTabOrder[i])];
    }
}
