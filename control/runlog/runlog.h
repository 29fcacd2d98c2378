#pragma once
// The run log: while the line is open, every reply and every command, with its time, goes to
// a CSV file of its own per connection (runlogformat.h has the bytes). Rows are gathered here,
// on the console's thread, and handed to a writer in a thread of its own at least twice a
// second and at once for every row that is not a reply, so that a crash loses at most the last
// half second of replies and the window never waits for the disk.
//
// When the log cannot be written the operator is told once, with the path and the reason; the
// console runs on as before and the log tries again at the next connection. Once a file has
// been started again, a new failure is told again.

#include "control/runlog/runevents.h"

#include <chrono>
#include <optional>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

class OperatorBoxes;
class RunLogWriter;

struct RunLogOptions
{
    QString folder;
    qint64 maxFileBytes = 100LL * 1024 * 1024; // then the log goes on in a new part
    std::chrono::milliseconds flushInterval{500};
};

namespace runlog {
// The "pumplogs" folder beside the record file: ~/Documents/pumplogs, on Windows d:\pumplogs.
QString defaultFolder();
// The log as the console starts it: in defaultFolder(), unless the environment variable
// PUMPCONSOLE_RUN_LOG turns it off (for comparing the console's cost with and without it).
std::optional<RunLogOptions> optionsFromEnvironment();
} // namespace runlog

class RunLog : public QObject
{
    Q_OBJECT
public:
    RunLog(const RunEvents &events, OperatorBoxes &boxes, RunLogOptions options,
           QObject *parent = nullptr);
    // Writes what is left and closes the file before returning.
    ~RunLog() override;

    const RunLogOptions &options() const { return m_options; }
    // A connection's log is open and has not failed (as far as the writer has said).
    bool isWriting() const { return m_open && !m_failed; }

    // Hands the rows gathered so far to the writer now, as the timer does; `toDisk` as a row
    // the operator caused does: the writer syncs the file at once.
    void flush(bool toDisk = false);
    // Returns once the writer has written everything handed to it (tests, benchmarks).
    void waitForWriter();

Q_SIGNALS:
    void fileStarted(const QString &path);
    void failed(const QString &path, const QString &reason);

private:
    void onEvent(const RunEvent &event);
    void begin(const RunEvent &event);
    void end();
    void onWriterFailed(quint64 connection, const QString &path, const QString &reason);

    OperatorBoxes &m_boxes;
    const RunLogOptions m_options;
    QThread m_thread;
    RunLogWriter *m_writer; // lives in m_thread
    QTimer m_flushTimer;
    QByteArray m_pending;
    qint64 m_openedNs = 0;
    quint64 m_connection = 0; // counts connections, so that a late failure finds its own
    bool m_open = false;
    bool m_failureTold = false;
    bool m_failed = false;
};
