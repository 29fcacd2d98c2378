// The console's start, and the one place that builds it: the command line, then the real port,
// boxes, tickers, clock and port list, the console on them, its window, and, when a broker is
// named, publishing to it.
#include "app/commandline.h"
#include "app/monitoring.h"
#include "app/options.h"
#include "app/pumpsettings.h"
#include "app/safetysettings.h"
#include "app/systemparts.h"
#include "control/pumpconsole.h"
#include "control/runlog/runlog.h"
#include "ui/mainwindow.h"
#include "ui/program/programwindow.h"
#include "ui/qttranslation.h"
#include "ui/widgetboxes.h"

#include <cstdio>
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QSettings>
#include <QSysInfo>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

int print(std::FILE *stream, const QString &text, int exitCode)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(u"pumpconsole"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(PUMP_VERSION));
    QCoreApplication::setOrganizationName(u"pumpconsole"_s);

    // The command line is read before the QApplication, which cannot start without a display:
    // --help and --version answer over ssh too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (const commandline::Parsed early = commandline::parse(arguments);
        early.action == commandline::Action::ShowHelp) {
        // Qt's help names the program as it was started only when an application object
        // exists; a QCoreApplication connects to no display.
        const QCoreApplication core(argc, argv);
        return print(stdout, commandline::parse(arguments).text, 0);
    } else if (early.action == commandline::Action::ShowVersion) {
        return print(stdout, early.text, 0);
    }

    // The window's pixels go to an X display over its connection, not in shared memory: with
    // Qt's default shared memory each small repaint of the read-out waited for an X round trip
    // with Qt's X reader thread; over the socket it does not. Qt reads the switch when it
    // connects, and any value turns shared memory off, so an operator's own setting is left
    // alone. Other platforms ignore it.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    // Parsed again without Qt's own options (-platform, -style, …), which the application
    // object has taken out of the arguments.
    const commandline::Parsed command = commandline::parse(QApplication::arguments());
    switch (command.action) {
    case commandline::Action::Run:
        break;
    case commandline::Action::ShowHelp:
    case commandline::Action::ShowVersion:
        return print(stdout, command.text, 0);
    case commandline::Action::Refuse:
        return print(stderr, command.text + u'\n', 1);
    }
    const MonitorOptions monitorOptions = options::resolve(
        command.monitor, options::monitorValues(QSettings()), QSysInfo::machineHostName());

    MainWindow::installFontSubstitutions();
    qttranslation::install(app);
    SystemParts system;
    WidgetBoxes boxes;
    PumpConsole console(system.seams(boxes));
    MainWindow window(console, boxes);
    boxes.setParentWindow(&window);
    ProgramWindow programWindow(console, boxes, &window);
    QObject::connect(window.menuAction(u"program"_s), &QAction::triggered, &programWindow,
                     &ProgramWindow::showAndRaise);
    if (const auto runLog = runlog::optionsFromEnvironment()) {
        console.startRunLog(*runLog);
    }
    {
        QSettings settings;
        console.setSafetyLimits(safetysettings::load(settings));
    }
    QObject::connect(&console, &PumpConsole::safetyChanged, &console,
                     [&console, saved = console.safetyLimits()]() mutable {
                         if (console.safetyLimits() != saved) {
                             saved = console.safetyLimits();
                             QSettings settings;
                             safetysettings::save(settings, saved);
                         }
                     });
    // The same picture stands for the program in the task bar and the window switcher.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    if (command.port) {
        // Once the window is up, so that a message about the port has a window to sit on.
        QTimer::singleShot(0, &console,
                           [&console, answer = *command.port] { console.connectTo(answer); });
    }
    // The pumps added last time, after the panel's own port.
    QTimer::singleShot(0, &console, [&console] { pumpsettings::restoreAndKeep(console.rig()); });
    if (command.program) {
        // Shown even when the file is refused: the refusal's box sits on it.
        QTimer::singleShot(0, &programWindow, [&programWindow, file = *command.program] {
            programWindow.showAndRaise();
            (void)programWindow.openFile(file);
        });
    }

    const auto monitoring = Monitoring::start(monitorOptions, console, boxes);
    return QApplication::exec();
}
