// The console's command line: what it accepts and refuses, and the program itself started with
// --help, --version and --port (the last against the simulated pump, seen from outside: the
// console holds the pump's pseudo-terminal open).

#include "app/commandline.h"
#include "support/printto.h"
#include "support/simulator.h"
#include "support/wait.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

#ifndef PUMPCONSOLE_PATH
#define PUMPCONSOLE_PATH ""
#endif

namespace {

using commandline::Action;

TEST(CommandLine, WhatItAcceptsAndRefuses)
{
    struct Case
    {
        QStringList arguments;
        Action action;
        std::optional<QString> port;
        QString textHas; // part of the text printed
    };
    const Case cases[] = {
        {{}, Action::Run, std::nullopt, {}},
        {{u"--port"_s, u"1"_s}, Action::Run, u"1"_s, {}},
        {{u"--port=/dev/ttyUSB0"_s}, Action::Run, u"/dev/ttyUSB0"_s, {}},
        {{u"--port"_s, u"COM3"_s}, Action::Run, u"COM3"_s, {}},
        {{u"--port"_s, u" 2 "_s}, Action::Run, u" 2 "_s, {}}, // the port box trims, not we
        {{u"--port="_s}, Action::Run, QString(), {}},         // told as the box would tell it
        {{u"--help"_s}, Action::ShowHelp, std::nullopt, u"--port <ANSWER>"_s},
        {{u"-h"_s}, Action::ShowHelp, std::nullopt, u"--version"_s},
        {{u"--help-all"_s}, Action::ShowHelp, std::nullopt, u"--port <ANSWER>"_s},
        {{u"--port"_s, u"1"_s, u"--help"_s}, Action::ShowHelp, std::nullopt, u"--help"_s},
        {{u"--version"_s}, Action::ShowVersion, std::nullopt, u"2.0"_s},
        {{u"-v"_s}, Action::ShowVersion, std::nullopt, u"2.0"_s},
        {{u"--port"_s}, Action::Refuse, std::nullopt, u"Missing value after '--port'."_s},
        {{u"--baud"_s, u"9600"_s}, Action::Refuse, std::nullopt, u"Unknown option 'baud'."_s},
        {{u"1"_s}, Action::Refuse, std::nullopt, u"Unexpected argument '1'."_s},
        {{u"--port"_s, u"1"_s, u"--port"_s, u"2"_s},
         Action::Refuse,
         std::nullopt,
         u"--port given more than once."_s},
        {{u"--help"_s}, Action::ShowHelp, std::nullopt, u"--program <FILE>"_s},
        {{u"--program"_s}, Action::Refuse, std::nullopt, u"Missing value after '--program'."_s},
        {{u"--program"_s, u"a.csv"_s, u"--program=b.csv"_s},
         Action::Refuse,
         std::nullopt,
         u"--program given more than once."_s},
    };
    const QString savedVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(u"2.0"_s);
    for (const Case &c : cases) {
        const QString line = c.arguments.join(u' ');
        SCOPED_TRACE(line.toStdString());
        const commandline::Parsed parsed =
            commandline::parse(QStringList{u"pumpconsole"_s} + c.arguments);
        EXPECT_EQ(parsed.action, c.action);
        EXPECT_EQ(parsed.port, c.port);
        EXPECT_TRUE(parsed.text.contains(c.textHas)) << parsed.text.toStdString();
        if (c.action == Action::Refuse) {
            EXPECT_TRUE(parsed.text.endsWith(u"--help' for the options."_s));
        }
    }
    QCoreApplication::setApplicationVersion(savedVersion);

    const commandline::Parsed both = commandline::parse(
        {u"pumpconsole"_s, u"--program"_s, u"方法 1.csv"_s, u"--port"_s, u"1"_s});
    EXPECT_EQ(both.action, Action::Run);
    EXPECT_EQ(both.program, u"方法 1.csv"_s);
    EXPECT_EQ(both.port, u"1"_s);
}

#ifdef Q_OS_LINUX

class Program : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QString(QStringLiteral(PUMPCONSOLE_PATH)).isEmpty()) {
            GTEST_SKIP() << "the console program was not built";
        }
        ASSERT_TRUE(m_runtime.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        m_console.setProcessEnvironment(environment);
    }
    void TearDown() override
    {
        if (m_console.state() != QProcess::NotRunning) {
            m_console.kill();
            m_console.waitForFinished(2000);
        }
    }
    // Runs the console to its end; its exit code.
    int run(const QStringList &arguments)
    {
        m_console.start(QStringLiteral(PUMPCONSOLE_PATH), arguments);
        EXPECT_TRUE(m_console.waitForFinished(10000));
        m_out = QString::fromLocal8Bit(m_console.readAllStandardOutput());
        m_err = QString::fromLocal8Bit(m_console.readAllStandardError());
        return m_console.exitCode();
    }
    // The devices the running console holds open.
    QStringList openDevices() const
    {
        QStringList devices;
        const QDir fds(u"/proc/%1/fd"_s.arg(m_console.processId()));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            devices << fd.symLinkTarget();
        }
        return devices;
    }

    QTemporaryDir m_runtime;
    QProcess m_console;
    QString m_out;
    QString m_err;
};

// Help and version without any display (as over ssh): the console answers them before it would
// connect to one. Qt's own options still reach Qt.
TEST_F(Program, HelpAndVersionNeedNoDisplayQtOptionsStillWork)
{
    QProcessEnvironment environment = m_console.processEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s}) {
        environment.remove(name);
    }
    m_console.setProcessEnvironment(environment);

    struct Case
    {
        QStringList arguments;
        int exitCode;
        QString out; // exactly, or where `outHas` is given, only that part of it
        QString outHas;
        QString errHas;
    };
    const QString program = QStringLiteral(PUMPCONSOLE_PATH);
    const Case cases[] = {
        {{u"--version"_s}, 0, u"pumpconsole 2.0\n"_s, {}, {}},
        {{u"--help"_s}, 0, {}, u"Usage: "_s + program + u" [options]\n"_s, {}},
        {{u"-h"_s}, 0, {}, u"--port <ANSWER>"_s, {}},
        {{u"-platform"_s, u"offscreen"_s, u"--what"_s}, 1, {}, {}, u"Unknown option 'what'."_s},
        {{u"-platform"_s, u"offscreen"_s, u"--port"_s},
         1,
         {},
         {},
         u"Missing value after '--port'."_s},
        {{u"-platform"_s, u"offscreen"_s, u"-v"_s}, 0, u"pumpconsole 2.0\n"_s, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        EXPECT_EQ(run(c.arguments), c.exitCode) << m_err.toStdString();
        if (c.outHas.isEmpty()) {
            EXPECT_EQ(m_out, c.out);
        } else {
            EXPECT_TRUE(m_out.contains(c.outHas)) << m_out.toStdString();
        }
        EXPECT_TRUE(m_err.contains(c.errHas)) << m_err.toStdString();
        EXPECT_FALSE(m_err.contains(u"display"_s)) << m_err.toStdString();
    }
}

TEST_F(Program, PortOptionConnectsAtStart)
{
    Simulator pump(m_runtime.path(), {u"--port"_s, u"1"_s});
    const auto pty = pump.waitForPrefix(u"pty: "_s);
    ASSERT_TRUE(pty.has_value());
    ASSERT_TRUE(pump.waitForPrefix(u"alias: "_s).has_value());

    m_console.start(QStringLiteral(PUMPCONSOLE_PATH), {u"--port"_s, u"1"_s});
    ASSERT_TRUE(m_console.waitForStarted());
    EXPECT_TRUE(waitUntil([&] { return openDevices().contains(*pty); }, 10000))
        << "the console did not open the pump's line; it holds: "
        << openDevices().join(u' ').toStdString();
    EXPECT_EQ(m_console.state(), QProcess::Running);
}

#endif

} // namespace
