#pragma once
// The console's command line, in Qt's conventions:
//   pumpconsole [--port ANSWER] [--program FILE]    -h/--help, -v/--version
// --port connects at start as if the operator had answered the port box with ANSWER (a number,
// COM3, /dev/ttyUSB0), with every message as usual. --program opens the program window with
// FILE loaded (or its refusal told).

#include "app/options.h"

#include <optional>
#include <QString>
#include <QStringList>

namespace commandline {

enum class Action {
    Run,         // start the console
    ShowHelp,    // print `text` and end successfully
    ShowVersion, // likewise
    Refuse,      // print `text` as an error and end with a failure
};

struct Parsed
{
    Action action = Action::Run;
    QString text;
    std::optional<QString> port;    // the port box answer to connect with at start
    std::optional<QString> program; // the program file to open the program window with
    MonitorOptionValues monitor;    // the broker to publish to, as far as the command line says
};

// `arguments` as QCoreApplication::arguments() gives them, the program first. The help and
// version texts use the application's name and version.
[[nodiscard]] Parsed parse(const QStringList &arguments);

} // namespace commandline
