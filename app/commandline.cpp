#include "app/commandline.h"

#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace commandline {

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("恒流恒压泵控制系统: the operator console for a constant-flow / "
                       "constant-pressure pump on a serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Connect at start as if the port box (通信) had been answered with ANSWER: "
                       "a port number (1), COM3, or a device such as /dev/ttyUSB0."),
        QStringLiteral("ANSWER"));
    parser.addOption(port);
    const QCommandLineOption program(
        QStringLiteral("program"),
        QStringLiteral("Open the program window (定时 → 程序) with FILE loaded: a CSV file with "
                       "the header minutes,flow_ml_min,mode,pressure_limit_mpa."),
        QStringLiteral("FILE"));
    parser.addOption(program);
    options::addMonitorOptions(parser);

    const auto refuse = [](const QString &why) {
        Parsed refused;
        refused.action = Action::Refuse;
        refused.text = why + QStringLiteral("\nTry '%1 --help' for the options.")
                                 .arg(QCoreApplication::applicationName());
        return refused;
    };
    if (!parser.parse(arguments)) {
        return refuse(parser.errorText());
    }
    // Help and version win over everything else, as in every Qt program. (--help-all, which
    // Qt adds, would also list Qt's own options; those are Qt's to document.)
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        Parsed shown;
        shown.action = Action::ShowHelp;
        shown.text = parser.helpText();
        return shown;
    }
    if (parser.isSet(version)) {
        Parsed shown;
        shown.action = Action::ShowVersion;
        shown.text = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                   QCoreApplication::applicationVersion());
        return shown;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front()));
    }
    if (parser.values(port).size() > 1) {
        return refuse(QStringLiteral("--port given more than once."));
    }
    if (parser.values(program).size() > 1) {
        return refuse(QStringLiteral("--program given more than once."));
    }
    Parsed parsed;
    parsed.monitor = options::monitorValues(parser);
    if (parser.isSet(port)) {
        parsed.port = parser.value(port);
    }
    if (parser.isSet(program)) {
        parsed.program = parser.value(program);
    }
    return parsed;
}

} // namespace commandline
