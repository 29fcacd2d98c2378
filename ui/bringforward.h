#pragma once
// A window the operator asked for comes to the front, whether it was hidden, behind the panel
// or minimised-to-hidden: shown, raised and given the keyboard.

#include <QWidget>

inline void bringForward(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}
