#pragma once
// The record window: shows the last line of the pressure record file so the operator can see
// what the console last wrote without leaving the console.

#include <functional>
#include <QString>
#include <QWidget>

class Dialogs;
class QLineEdit;
class QPushButton;

class Form2 : public QWidget
{
    Q_OBJECT
public:
    // `recordPath` is asked at every read, so a changed record location applies at once.
    // `mainWindow` is shown again by the exit button; it may be null.
    Form2(Dialogs &dialogs, QWidget *mainWindow, std::function<QString()> recordPath,
          QWidget *parent = nullptr);
    ~Form2() override;

    QPushButton *Command1() const { return m_command1; }
    QPushButton *Command2() const { return m_command2; }
    QLineEdit *Text1() const { return m_text1; }

public Q_SLOTS:
    // 退出: back to the main window; this window only hides and keeps its text.
    void Command1_Click();
    // Reads the record file's last line into Text1.
    void Command2_Click();

private:
    Dialogs &m_dialogs;
    QWidget *m_mainWindow;
    std::function<QString()> m_recordPath;
    QPushButton *m_command1;
    QPushButton *m_command2;
    QLineEdit *m_text1;
};
