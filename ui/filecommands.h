#pragma once
// The file menu's commands that need the desktop: printing the test page, the record window
// and the run logs' folder. (Saving the record is the console's own.)

#include <memory>
#include <QObject>
#include <QPointer>

class FolderOpener;
class OperatorBoxes;
class PumpConsole;
class QWidget;
class RecordWindow;
class TestPagePrinter;

class FileCommands : public QObject
{
    Q_OBJECT
public:
    // `mainWindow` is shown again by the record window's exit button and parents the dialogs.
    // `printer` may be null: the platform's printer dialog and default printer are used.
    FileCommands(const PumpConsole &console, OperatorBoxes &boxes, QWidget *mainWindow,
                 TestPagePrinter *printer = nullptr, QObject *parent = nullptr);
    ~FileCommands() override;

    RecordWindow *recordWindow();
    // Tests show the folder somewhere else than in the desktop's file manager.
    void setFolderOpener(FolderOpener *opener) { m_folderOpener = opener; }

public Q_SLOTS:
    void printTestPage();
    void showRecordWindow();
    void openLogFolder();

private:
    const PumpConsole &m_console;
    OperatorBoxes &m_boxes;
    QWidget *m_mainWindow;
    TestPagePrinter *m_printer;
    std::unique_ptr<TestPagePrinter> m_ownPrinter; // the platform's, made at the first print
    QPointer<RecordWindow> m_recordWindow;
    FolderOpener *m_folderOpener = nullptr;
    std::unique_ptr<FolderOpener> m_ownFolderOpener;
};
