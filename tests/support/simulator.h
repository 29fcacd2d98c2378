#pragma once
// The simulated pump as a child process of a test, with its log collected line by line.

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#ifndef PUMPSIM_PATH
#define PUMPSIM_PATH ""
#endif

inline QString simulatorPath()
{
    const QString fromEnvironment = qEnvironmentVariable("PUMPSIM");
    return fromEnvironment.isEmpty() ? QStringLiteral(PUMPSIM_PATH) : fromEnvironment;
}

class Simulator
{
public:
    Simulator(const QString &runtimeDir, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_partial += m_process.readAllStandardOutput();
            qsizetype end;
            while ((end = m_partial.indexOf('\n')) >= 0) {
                m_lines.append(QString::fromLocal8Bit(m_partial.left(end)));
                m_seenAt.push_back(std::chrono::steady_clock::now());
                m_partial.remove(0, end + 1);
            }
        });
        m_process.start(simulatorPath(), arguments);
    }

    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(2000)) {
                m_process.kill();
                m_process.waitForFinished(1000);
            }
        }
    }

    // The first line (counting from `from`) that `match` accepts; nothing after `ms`.
    std::optional<QString> waitForLine(const std::function<bool(const QString &)> &match,
                                       int ms = 3000, qsizetype from = 0)
    {
        QDeadlineTimer deadline(ms);
        for (qsizetype checked = from;;) {
            for (; checked < m_lines.size(); ++checked) {
                if (match(m_lines[checked])) {
                    return m_lines[checked];
                }
            }
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                return std::nullopt;
            }
            QSignalSpy output(&m_process, &QProcess::readyReadStandardOutput);
            output.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    std::optional<QString> waitForPrefix(const QString &prefix, int ms = 3000)
    {
        const auto line = waitForLine([&](const QString &l) { return l.startsWith(prefix); }, ms);
        return line ? std::optional(line->mid(prefix.size())) : std::nullopt;
    }

    bool waitForExact(const QString &text, int ms = 3000)
    {
        return waitForLine([&](const QString &l) { return l == text; }, ms).has_value();
    }

    qsizetype countExact(const QString &text) const { return m_lines.count(text); }
    // Every line so far, and when this process read each one (no earlier than it was written).
    const QStringList &lines() const { return m_lines; }
    std::chrono::steady_clock::time_point seenAt(qsizetype line) const
    {
        return m_seenAt[std::size_t(line)];
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    std::vector<std::chrono::steady_clock::time_point> m_seenAt;
};
