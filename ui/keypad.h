#pragma once
// The on-screen keypad: sixteen picture keys at their places on the window's surface, each
// named as operators' tools know it ("Cmd1_0", "Cmdr_11") and read out by its face.

#include <array>
#include <QObject>

class QAbstractButton;
class QWidget;

class Keypad : public QObject
{
    Q_OBJECT
public:
    static constexpr int keyCount = 16;

    // The keys become children of `surface`, which places them in twips.
    explicit Keypad(QWidget *surface);

    // In the order the Tab key walks them: 1 2 3 L, 4 5 6 P, 7 8 9 RUN, 0 STOP ▲ ▼.
    const std::array<QAbstractButton *, keyCount> &tabOrder() const { return m_tabOrder; }

Q_SIGNALS:
    // The arrow keys type a 0, as they always have.
    void digitPressed(int digit);
    void flowPressed();
    void pressureLimitPressed();
    void runPressed();
    void stopPressed();

private:
    std::array<QAbstractButton *, keyCount> m_tabOrder{};
};
