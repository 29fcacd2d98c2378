// The console's record commands in a process of their own, for tests that must run them where
// the test itself cannot: as another user, in a private mount with a full or read-only disk, or
// to be killed half-way through a save.
//
//   recordhelper save PATH COUNT   COUNT pressures reported, then saved to PATH
//   recordhelper read PATH         the record window's read of PATH's last line
//
// Prints "saving" just before the save starts and every message the console tells as
// "told:PROMPT" (UTF-8, line ends in the prompt kept as \r\n).
#include "control/record/recordfile.h"
#include "support/doubles.h"

#include <cstdio>
#include <QCoreApplication>

namespace {

void print(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QStringLiteral("save")) {
        TestConsole c;
        c.connect();
        const int count = args[3].toInt();
        QByteArray replies;
        replies.reserve(qsizetype(count) * 9);
        for (int i = 0; i < count; ++i) {
            replies += i % 2 ? "Q01N01.5Y" : "Q01N-0.5Y";
        }
        c.port.receive(replies);
        c.console.setRecordPath(args[2]);
        print(QStringLiteral("saving"));
        c.console.saveRecord();
        for (const auto &box : c.boxes.messages()) {
            print(QStringLiteral("told:") + box.prompt);
        }
        return 0;
    }
    if (args.size() == 3 && args[1] == QStringLiteral("read")) {
        const recordfile::LastLineResult read = recordfile::readLastLine(args[2]);
        print(read.ok ? QStringLiteral("line:") + read.line
                      : QStringLiteral("error:") + read.error);
        return 0;
    }
    std::fprintf(stderr, "usage: recordhelper save PATH COUNT | read PATH\n");
    return 2;
}
