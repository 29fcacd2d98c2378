#pragma once
// The commands of the file menu that do not talk to the pump: saving the pressure record,
// printing the test page, and the record window.

#include <memory>
#include <QObject>
#include <QPointer>
#include <QString>

class ConsoleCore;
class Dialogs;
class QWidget;
class Form2;
class TestPagePrinter;

class FileCommands : public QObject
{
    Q_OBJECT
public:
    // `mainWindow` is shown again by the record window's exit button and parents the dialogs.
    // `printer` may be null: the platform's printer dialog and default printer are used.
    FileCommands(ConsoleCore &core, Dialogs &dialogs, QWidget *mainWindow,
                 TestPagePrinter *printer = nullptr, QObject *parent = nullptr);
    ~FileCommands() override;

    // Where save_Click writes and the record window reads.
    QString recordPath() const { return m_recordPath; }
    void setRecordPath(const QString &path) { m_recordPath = path; }

    Form2 *recordWindow();

public Q_SLOTS:
    void save_Click();
    void print_Click();
    // The extra file-menu item that offers the record window.
    void showRecordWindow();

private:
    ConsoleCore &m_core;
    Dialogs &m_dialogs;
    QWidget *m_mainWindow;
    TestPagePrinter *m_printer;
    std::unique_ptr<TestPagePrinter> m_ownPrinter; // the platform's, made at the first print
    QString m_recordPath;
    QPointer<Form2> m_form2;
};
