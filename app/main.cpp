// The console's start, and the one place that builds it: the command line, then the real port,
// boxes, tickers, clock and port list, the console on them, its window, and, when a broker is
// named, publishing to it.
#include "app/commandline.h"
#include "app/monitoring.h"
#include "app/options.h"
#include "app/systemparts.h"
#include "control/pumpconsole.h"
#include "control/runlog/runlog.h"
#include "ui/displaytransfer.h"
#include "ui/mainwindow.h"
#include "ui/qttranslation.h"
#include "ui/widgetboxes.h"

#include <cstdio>
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
    displaytransfer::chooseSocketTransfer();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"pumpconsole"_s);
    QApplication::setApplicationVersion(QStringLiteral(PUMP_VERSION));
    QApplication::setOrganizationName(u"pumpconsole"_s);

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
    if (const auto runLog = runlog::optionsFromEnvironment()) {
        console.startRunLog(*runLog);
    }
    // The same picture stands for the program in the task bar and the window switcher.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    if (command.port) {
        // Once the window is up, so that a message about the port has a window to sit on.
        QTimer::singleShot(0, &console,
                           [&console, answer = *command.port] { console.connectTo(answer); });
    }

    const auto monitoring = Monitoring::start(monitorOptions, console, boxes);
    return QApplication::exec();
}
