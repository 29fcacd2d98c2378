// The console's start: one main window, whose load step runs before it is shown.
#include "control/pumpconsole.h"
#include "control/runlog.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"pumpconsole"_s);
    QApplication::setOrganizationName(u"pumpconsole"_s);
    MainWindow::installFontSubstitutions();

    MainWindow window;
    if (const auto runLog = runlog::optionsFromEnvironment()) {
        window.console().startRunLog(*runLog);
    }
    // The same picture stands for the program in the task bar and the window switcher.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
