// The console as `pumpconsole --port 1 --mqtt URL` starts it, for tests that must kill it: the
// real window, serial port and publishing, with only the port box answered ("1") by script.
// Prints "connected" once the line to the pump is open.
#include "app/monitoring.h"
#include "app/options.h"
#include "app/systemparts.h"
#include "control/pumpconsole.h"
#include "support/doubles.h"
#include "ui/mainwindow.h"

#include <cstdio>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    options::addMonitorOptions(parser);
    parser.process(app);
    const MonitorOptions monitorOptions =
        options::resolve(options::monitorValues(parser), {}, QStringLiteral("harness"));

    SystemParts system;
    ScriptedBoxes boxes;
    PumpConsole console(system.seams(boxes));
    MainWindow window(console, boxes);
    window.show();
    const auto monitoring = Monitoring::start(monitorOptions, console, boxes);

    boxes.answers.push_back(QStringLiteral("1"));
    window.menuAction(QStringLiteral("Communication"))->trigger();
    std::puts(window.console().isConnected() ? "connected" : "not connected");
    std::fflush(stdout);
    return QApplication::exec();
}
