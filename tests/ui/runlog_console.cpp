// The console as an operator runs it, for the tests that kill it or starve its disk: the main
// window with the real serial port, the real one-second ticker and the run log started as the
// program starts it. Only the boxes are replaced: the port box is answered with the device
// given on the command line, and every message is printed to stdout rather than shown.
//
//   runlog_console DEVICE
//
// Prints "connected" (or "not connected: PROMPT"), "notify TITLE|PROMPT" and "tell TITLE|PROMPT"
// for each message (line breaks as " / "), and reads commands from stdin, one a line:
// "run", "stop", and "record", which prints "record N V1 V2 ..." (the in-memory record).

#include "app/systemparts.h"
#include "control/pumpconsole.h"
#include "control/runlog/runlog.h"
#include "control/seams/operatorboxes.h"
#include "ui/mainwindow.h"

#include <cstdio>
#include <QApplication>
#include <QSocketNotifier>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class PrintedBoxes final : public OperatorBoxes
{
public:
    explicit PrintedBoxes(QString portAnswer) : m_portAnswer(std::move(portAnswer)) {}

    std::optional<QString> ask(const QString &, const QString &, const QString &) override
    {
        // Only the port box is expected, once.
        if (m_portAnswer.isEmpty()) {
            return std::nullopt;
        }
        return std::exchange(m_portAnswer, {});
    }
    std::optional<QString> choose(const QString &prompt, const QString &title, const QStringList &,
                                  const QString &defaultText) override
    {
        return ask(prompt, title, defaultText);
    }
    void tell(const QString &prompt, const QString &title) override
    {
        print("tell", prompt, title);
    }
    void notify(const QString &prompt, const QString &title) override
    {
        print("notify", prompt, title);
    }
    void alarm(const QString &prompt, const QString &title, std::function<void()>) override
    {
        print("alarm", prompt, title);
    }

private:
    static void print(const char *kind, QString prompt, const QString &title)
    {
        say(QLatin1String(kind) + u' ' + title + u'|' + prompt.replace(u"\r\n"_s, u" / "_s));
    }

    QString m_portAnswer;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"pumpconsole"_s);
    if (argc != 2) {
        std::fprintf(stderr, "usage: runlog_console DEVICE\n");
        return 2;
    }
    PrintedBoxes boxes(QString::fromLocal8Bit(argv[1]));
    SystemParts system;
    PumpConsole console(system.seams(boxes));
    MainWindow window(console, boxes);
    if (const auto runLog = runlog::optionsFromEnvironment()) {
        console.startRunLog(*runLog);
    }
    window.show();

    console.choosePort();
    say(console.isConnected() ? u"connected"_s : u"not connected"_s);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray command = pending.left(end).trimmed();
            if (command == "run") {
                console.runPump();
            } else if (command == "stop") {
                console.stopPump();
            } else if (command == "record") {
                QString line = u"record %1"_s.arg(console.pump().record().size());
                for (const double value : console.pump().record().values()) {
                    line += u' ' + QString::number(value);
                }
                say(line);
            }
        }
    });
    return QApplication::exec();
}
