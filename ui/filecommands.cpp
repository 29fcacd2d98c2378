#include "ui/filecommands.h"

#include "control/pumpconsole.h"
#include "control/seams/operatorboxes.h"
#include "ui/bringforward.h"
#include "ui/folderopener.h"
#include "ui/recordwindow.h"
#include "ui/testpageprinter.h"

#include <QDir>

using namespace Qt::StringLiterals;

FileCommands::FileCommands(const PumpConsole &console, OperatorBoxes &boxes, QWidget *mainWindow,
                           TestPagePrinter *printer, QObject *parent)
    : QObject(parent), m_console(console), m_boxes(boxes), m_mainWindow(mainWindow),
      m_printer(printer)
{
}

FileCommands::~FileCommands()
{
    // The record window has no parent (it is a window of its own), so it is ours to delete.
    delete m_recordWindow.data();
}

RecordWindow *FileCommands::recordWindow()
{
    if (!m_recordWindow) {
        m_recordWindow =
            new RecordWindow(m_boxes, m_mainWindow, [this] { return m_console.recordPath(); });
    }
    return m_recordWindow;
}

void FileCommands::printTestPage()
{
    if (!m_printer) {
        if (!m_ownPrinter) {
            m_ownPrinter = std::make_unique<PlatformTestPagePrinter>();
        }
        m_printer = m_ownPrinter.get();
    }
    // A page that comes out is its own message; one that does not is told, without holding up
    // the window.
    const testpage::PrintResult result = testpage::printCopies(*m_printer, m_mainWindow);
    if (!result.failure.isEmpty()) {
        m_boxes.notify(result.failure, u"打印"_s);
    }
}

void FileCommands::showRecordWindow()
{
    bringForward(*recordWindow());
}

void FileCommands::openLogFolder()
{
    if (!m_folderOpener) {
        m_ownFolderOpener = std::make_unique<DesktopFolderOpener>();
        m_folderOpener = m_ownFolderOpener.get();
    }
    // Before the first log the folder does not exist yet; an empty one says more than an error.
    const QString folder = m_console.runLogFolder();
    const bool made = QDir().mkpath(folder);
    if (made && m_folderOpener->open(folder)) {
        return;
    }
    m_boxes.tell(u"无法打开记录文件夹 %1：%2。"_s.arg(QDir::toNativeSeparators(folder),
                                                      made ? u"桌面没有能显示文件夹的程序"_s
                                                           : u"无法创建该文件夹"_s),
                 u"打开记录文件夹"_s);
}
