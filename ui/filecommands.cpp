#include "ui/filecommands.h"

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "ui/form2.h"
#include "ui/recordfile.h"
#include "ui/testpageprinter.h"

#include <QDir>

namespace {
const QString saveTitle = QStringLiteral("存储数据");
}

FileCommands::FileCommands(ConsoleCore &core, Dialogs &dialogs, QWidget *mainWindow,
                           TestPagePrinter *printer, QObject *parent)
    : QObject(parent), m_core(core), m_dialogs(dialogs), m_mainWindow(mainWindow),
      m_printer(printer), m_recordPath(recordfile::defaultRecordPath())
{
}

FileCommands::~FileCommands()
{
    // The record window has no parent (it is a window of its own), so it is ours to delete.
    delete m_form2.data();
}

Form2 *FileCommands::recordWindow()
{
    if (!m_form2) {
        m_form2 = new Form2(m_dialogs, m_mainWindow, [this] { return m_recordPath; });
    }
    return m_form2;
}

void FileCommands::save_Click()
{
    const PanelState &state = m_core.state();
    const recordfile::SaveResult saved =
        recordfile::saveRecord(m_recordPath, state.prrecord, state.saveprcout);
    if (!saved.ok) {
        m_dialogs.MsgBox(QStringLiteral("压力记录未能保存到 %1：%2")
                             .arg(QDir::toNativeSeparators(m_recordPath), saved.error),
                         0, saveTitle);
        return;
    }
    // Only now: the operator takes this box as the word that the record is safe on disk.
    m_dialogs.MsgBox(QStringLiteral("当前压力数值以存储"), 0, saveTitle);
}

void FileCommands::print_Click()
{
    if (!m_printer) {
        if (!m_ownPrinter) {
            m_ownPrinter = std::make_unique<PlatformTestPagePrinter>();
        }
        m_printer = m_ownPrinter.get();
    }
    // A page that does not come out is its own message; the command says nothing either way.
    testpage::printCopies(*m_printer, m_mainWindow);
}

void FileCommands::showRecordWindow()
{
    Form2 *window = recordWindow();
    window->show();
    window->raise();
    window->activateWindow();
}
