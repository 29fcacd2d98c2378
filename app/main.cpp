// The console's start: one main window, whose load step runs before it is shown, and, when a
// broker is named, publishing to it.
#include "app/monitoring.h"
#include "app/options.h"
#include "control/monitorfeed.h"
#include "control/pumpconsole.h"
#include "link/serialpumpport.h"
#include "ui/mainwindow.h"
#include "ui/widgetboxes.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSettings>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"pumpconsole"_s);
    QApplication::setOrganizationName(u"pumpconsole"_s);

    QCommandLineParser parser;
    parser.addHelpOption();
    options::addMonitorOptions(parser);
    parser.process(app);
    const MonitorOptions monitorOptions =
        options::resolve(options::monitorValues(parser), options::monitorValues(QSettings()),
                         QSysInfo::machineHostName());

    MainWindow::installFontSubstitutions();

    // The console writes through the tap, so that the monitor sees each frame on the line.
    SerialPumpPort serialPort;
    FrameTap port(serialPort);
    MainWindow window(&port, nullptr, nullptr);
    // The same picture stands for the program in the task bar and the window switcher.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();

    WidgetBoxes monitorBoxes(&window);
    const auto monitoring = Monitoring::start(monitorOptions, window.console(), port, monitorBoxes);
    return QApplication::exec();
}
