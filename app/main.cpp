// The console's start: the command line, then one main window, whose load step runs before it
// is shown.
#include "app/commandline.h"
#include "control/pumpconsole.h"
#include "control/runlog.h"
#include "ui/mainwindow.h"

#include <cstdio>
#include <QApplication>
#include <QIcon>
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

    MainWindow::installFontSubstitutions();
    MainWindow window;
    if (const auto runLog = runlog::optionsFromEnvironment()) {
        window.console().startRunLog(*runLog);
    }
    // The same picture stands for the program in the task bar and the window switcher.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    if (command.port) {
        // Once the window is up, so that a message about the port has a window to sit on.
        QTimer::singleShot(
            0, &window, [&window, answer = *command.port] { window.console().connectTo(answer); });
    }
    return QApplication::exec();
}
