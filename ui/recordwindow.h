#pragma once
// The record window: shows the last line of the pressure record file so the operator can see
// what the console last wrote without leaving the console.

#include <functional>
#include <QString>
#include <QWidget>

class OperatorBoxes;
class QLineEdit;
class QPushButton;

class RecordWindow : public QWidget
{
    Q_OBJECT
public:
    // `recordPath` is asked at every read, so a changed record location applies at once.
    // `mainWindow` is shown again by the exit button; it may be null.
    RecordWindow(OperatorBoxes &boxes, QWidget *mainWindow, std::function<QString()> recordPath,
                 QWidget *parent = nullptr);
    ~RecordWindow() override;

    QPushButton *exitButton() const { return m_exitButton; }
    QPushButton *readButton() const { return m_readButton; }
    QLineEdit *lastLine() const { return m_lastLine; }

public Q_SLOTS:
    // 退出: back to the main window; this window only hides and keeps its text.
    void returnToMainWindow();
    // Reads the record file's last line into the text field.
    void readLastLine();

private:
    OperatorBoxes &m_boxes;
    QWidget *m_mainWindow;
    std::function<QString()> m_recordPath;
    QPushButton *m_exitButton;
    QPushButton *m_readButton;
    QLineEdit *m_lastLine;
};
