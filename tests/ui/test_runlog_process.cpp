// The run log of the real console as a process of its own against the simulated pump: killed
// in the middle of a run, the log on disk holds every reply up to a second before the kill;
// starved of disk space, the console tells the operator once, runs on, and keeps every
// pressure in its record.

#include "support/csv.h"
#include "support/files.h"
#include "support/printto.h"
#include "support/simulator.h"
#include "support/wait.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/resource.h>

#ifndef RUNLOG_CONSOLE_PATH
#define RUNLOG_CONSOLE_PATH ""
#endif

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// The console process, its stdout kept line by line.
class Console
{
public:
    Console(const QProcessEnvironment &environment, const QString &device,
            const std::function<void()> &beforeExec = {})
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (beforeExec) {
            m_process.setChildProcessModifier(beforeExec);
        }
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine()) {
                m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
            }
        });
        m_process.start(QStringLiteral(RUNLOG_CONSOLE_PATH), {device});
    }
    ~Console()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    std::optional<QString> waitForPrefix(const QString &prefix, int ms = 10000)
    {
        std::optional<QString> found;
        waitUntil(
            [&] {
                for (const QString &line : m_lines) {
                    if (line.startsWith(prefix)) {
                        found = line.mid(prefix.size());
                        return true;
                    }
                }
                return m_process.state() == QProcess::NotRunning;
            },
            ms);
        return found;
    }
    QStringList linesStartingWith(const QString &prefix) const
    {
        return m_lines.filter(QRegularExpression(u"^"_s + QRegularExpression::escape(prefix)));
    }
    void send(const QByteArray &command) { m_process.write(command + '\n'); }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QStringList m_lines;
};

struct TxFrame
{
    QString frame;
    Clock::time_point seen;
};

class RunLogProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFileInfo::exists(QStringLiteral(RUNLOG_CONSOLE_PATH)));
        // The documents folder, set the way a desktop sets it, so that the console finds its
        // log folder exactly as it does on an operator's PC.
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(u"config"_s)));
        ASSERT_TRUE(writeBytes(m_dir.filePath(u"config/user-dirs.dirs"_s),
                               "XDG_DOCUMENTS_DIR=\"" + QFile::encodeName(documents()) + "\"\n"));

        m_sim = std::make_unique<Simulator>(
            m_dir.path(), QStringList{u"--rate"_s, u"100"_s, u"--flow"_s, u"20"_s, u"--verbose"_s});
        const auto pty = m_sim->waitForPrefix(u"pty: "_s);
        ASSERT_TRUE(pty) << "the simulated pump did not start: " << qPrintable(simulatorPath());
        m_device = *pty;
    }

    QString documents() const { return m_dir.filePath(u"documents"_s); }
    QString logFolder() const { return documents() + u"/pumplogs"_s; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.remove(u"PUMPCONSOLE_RUN_LOG"_s);
        return environment;
    }

    // The console connects and starts the pump, whose pressure then climbs reply by reply.
    void startRun(Console &console)
    {
        ASSERT_EQ(console.waitForPrefix(u"connected"_s), QString())
            << "the console did not connect";
        console.send("run");
        ASSERT_TRUE(m_sim->waitForExact(u"RX Q00R0000Y"_s, 5000));
    }

    // Lets the run go on for `ms`, the event loop turning so that each reply the pump logs is
    // stamped when it is written (give or take a few milliseconds).
    static void runFor(int ms)
    {
        waitUntil([] { return false; }, ms);
    }

    // The pressure replies the pump has sent so far.
    std::vector<TxFrame> pressuresSent() const
    {
        static const QRegularExpression pressure(u"^TX (Q\\d\\dN.{4}Y)$"_s);
        std::vector<TxFrame> frames;
        for (qsizetype i = 0; i < m_sim->lines().size(); ++i) {
            const auto match = pressure.match(m_sim->lines()[i]);
            if (match.hasMatch()) {
                frames.push_back({match.captured(1), m_sim->seenAt(i)});
            }
        }
        return frames;
    }

    // The only log file, read and parsed; its header row checked and removed.
    CsvRead readLog(QString *path = nullptr) const
    {
        const QStringList files = QDir(logFolder()).entryList(QDir::Files);
        EXPECT_EQ(files.size(), 1) << qPrintable(files.join(u", "_s));
        if (files.isEmpty()) {
            return {};
        }
        EXPECT_TRUE(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.csv$"_s)
                        .match(files.front())
                        .hasMatch())
            << qPrintable(files.front());
        QFile file(QDir(logFolder()).filePath(files.front()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        if (path) {
            *path = file.fileName();
        }
        QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "no byte order mark";
        CsvRead log = readCsv(bytes.mid(3));
        EXPECT_EQ(log.error, QString());
        if (!log.rows.isEmpty()) {
            EXPECT_EQ(log.rows.takeFirst(), (QStringList{u"time"_s, u"seconds"_s, u"event"_s,
                                                         u"value"_s, u"frame"_s, u"note"_s, u"pump"_s}));
        }
        return log;
    }

    // Where `got` starts in `sent`: it must be one unbroken stretch of it, beginning with one
    // of the few replies that waited on the line before the console opened it. `same` compares
    // a reply sent with an entry of `got`.
    template<typename T, typename Same>
    static std::optional<std::size_t> startIn(const std::vector<TxFrame> &sent, const QList<T> &got,
                                              Same same)
    {
        for (std::size_t start = 0; start <= 3 && start + got.size() <= sent.size(); ++start) {
            bool all = true;
            for (qsizetype i = 0; all && i < got.size(); ++i) {
                all = same(sent[start + std::size_t(i)].frame, got[i]);
            }
            if (all) {
                return start;
            }
        }
        return std::nullopt;
    }

    static std::size_t sentBefore(const std::vector<TxFrame> &sent, Clock::time_point when)
    {
        return std::size_t(std::count_if(sent.begin(), sent.end(),
                                         [&](const TxFrame &f) { return f.seen <= when; }));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Simulator> m_sim;
    QString m_device;
};

} // namespace

TEST_F(RunLogProcess, KilledMidRunTheLogHoldsEveryReplyUpToOneSecondBeforeTheKill)
{
    Console console(environment(), m_device);
    ASSERT_NO_FATAL_FAILURE(startRun(console));
    runFor(2500);

    ::kill(pid_t(console.process().processId()), SIGKILL);
    const Clock::time_point killed = Clock::now();
    ASSERT_TRUE(console.process().waitForFinished(5000));
    ASSERT_EQ(console.process().exitStatus(), QProcess::CrashExit);
    const std::vector<TxFrame> sent = pressuresSent();

    const CsvRead log = readLog();
    // A kill can cut the write that was under way; everything before it must be whole.
    EXPECT_TRUE(log.unfinished.isEmpty() || !log.unfinished.contains('\n'));
    ASSERT_GE(log.rows.size(), 3);
    EXPECT_EQ(log.rows.front().mid(2), (QStringList{u"line open"_s, {}, {}, m_device, {}}));
    EXPECT_EQ(log.rows.front()[1], u"0.000"_s);

    QStringList frames;
    QDateTime lastTime;
    double lastSeconds = 0;
    int runs = 0;
    for (const QStringList &row : log.rows) {
        SCOPED_TRACE(row.join(u","_s).toStdString());
        ASSERT_EQ(row.size(), 7);
        const QDateTime time = QDateTime::fromString(row[0], Qt::ISODateWithMs);
        ASSERT_TRUE(time.isValid());
        EXPECT_TRUE(QRegularExpression(u"\\.\\d{3}[+-]\\d\\d:\\d\\d$"_s).match(row[0]).hasMatch());
        EXPECT_GE(time, lastTime);
        lastTime = time;
        bool ok = false;
        const double seconds = row[1].toDouble(&ok);
        EXPECT_TRUE(ok && QRegularExpression(u"^\\d+\\.\\d{3}$"_s).match(row[1]).hasMatch());
        EXPECT_GE(seconds, lastSeconds);
        lastSeconds = seconds;
        if (row[2] == u"pressure"_s) {
            frames << row[4];
            EXPECT_EQ(row[3], row[4].mid(4, 4)) << "the value is the one the pump sent";
        } else if (row[2] == u"run"_s) {
            ++runs;
            EXPECT_EQ(row[4], u"Q00R0000Y"_s);
        }
    }
    EXPECT_EQ(runs, 1);

    const auto start =
        startIn(sent, frames, [](const QString &tx, const QString &row) { return tx == row; });
    ASSERT_TRUE(start) << "the logged replies are not the ones the pump sent, in its order";
    const std::size_t due = sentBefore(sent, killed - milliseconds(1000));
    EXPECT_GE(*start + std::size_t(frames.size()), due)
        << "replies sent more than a second before the kill are missing";
    EXPECT_GT(due, 100u) << "the run was too short to prove anything";
}

TEST_F(RunLogProcess, DiskFullIsToldOnceAndTheConsoleRunsOnWithItsRecordComplete)
{
    // Every file the console writes may grow to 3000 bytes: the header and a few dozen rows.
    // Past that a write fails (EFBIG) instead of killing the process.
    constexpr rlim_t limit = 3000;
    Console console(environment(), m_device, [] {
        const rlimit fileSize{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        std::signal(SIGXFSZ, SIG_IGN);
    });
    ASSERT_NO_FATAL_FAILURE(startRun(console));
    ASSERT_TRUE(console.waitForPrefix(u"notify "_s).has_value()) << "no notice";
    runFor(1500); // replies keep coming after the log has stopped

    const Clock::time_point asked = Clock::now();
    console.send("record");
    const auto record = console.waitForPrefix(u"record "_s);
    ASSERT_TRUE(record) << "the console no longer answers";
    EXPECT_EQ(console.process().state(), QProcess::Running);

    QString path;
    const CsvRead log = readLog(&path);
    const QStringList notices = console.linesStartingWith(u"notify "_s);
    ASSERT_EQ(notices.size(), 1) << qPrintable(notices.join(u"\n"_s));
    EXPECT_TRUE(notices.front().startsWith(u"notify 运行记录|运行记录无法写入 "_s + path + u"："_s))
        << qPrintable(notices.front());
    EXPECT_TRUE(console.linesStartingWith(u"tell "_s).isEmpty());

    // What did reach the file is whole rows: the part of a batch that did not fit was cut.
    EXPECT_LE(QFileInfo(path).size(), qint64(limit));
    EXPECT_TRUE(log.unfinished.isEmpty());
    EXPECT_EQ(log.error, QString());

    const std::vector<TxFrame> sent = pressuresSent();
    QStringList values = record->split(u' ');
    const qsizetype count = values.takeFirst().toLongLong();
    ASSERT_EQ(values.size(), count);
    const auto start = startIn(sent, values, [](const QString &tx, const QString &value) {
        return tx.mid(4, 4).toDouble() == value.toDouble();
    });
    ASSERT_TRUE(start) << "the record is not the replies the pump sent, in its order";
    EXPECT_GE(*start + std::size_t(count), sentBefore(sent, asked - milliseconds(1000)))
        << "the record lost replies";
    const auto logged = std::count_if(log.rows.begin(), log.rows.end(), [](const QStringList &row) {
        return row[2] == u"pressure"_s;
    });
    EXPECT_GT(count, logged + 50) << "the record must go on after the log stopped";
}
