#include "control/runlog/runlog.h"

#include "control/record/recordfile.h"
#include "control/runlog/runlogformat.h"
#include "control/runlog/runlogwriter.h"
#include "control/seams/operatorboxes.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace runlog {

QString defaultFolder()
{
    return QFileInfo(recordfile::defaultRecordPath()).absoluteDir().filePath(u"pumplogs"_s);
}

std::optional<RunLogOptions> optionsFromEnvironment()
{
    if (!enabledBy(qEnvironmentVariable("PUMPCONSOLE_RUN_LOG"))) {
        return std::nullopt;
    }
    return RunLogOptions{defaultFolder()};
}

} // namespace runlog

RunLog::RunLog(const RunEvents &events, OperatorBoxes &boxes, RunLogOptions options,
               QObject *parent)
    : QObject(parent), m_boxes(boxes), m_options(std::move(options)),
      m_writer(new RunLogWriter(m_options.maxFileBytes))
{
    m_thread.setObjectName(u"run log"_s);
    m_writer->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    connect(m_writer, &RunLogWriter::fileStarted, this, [this](const QString &path) {
        m_failureTold = false;
        Q_EMIT fileStarted(path);
    });
    connect(m_writer, &RunLogWriter::failed, this, &RunLog::onWriterFailed);
    m_thread.start();

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(m_options.flushInterval);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { flush(); });
    connect(&events, &RunEvents::runEvent, this, &RunLog::onEvent);
}

RunLog::~RunLog()
{
    end();
    // Queued behind every write, so the thread stops only once they are on disk.
    QMetaObject::invokeMethod(m_writer, [] { QThread::currentThread()->quit(); });
    m_thread.wait();
}

void RunLog::onEvent(const RunEvent &event)
{
    switch (event.kind) {
    case RunEventKind::LineOpened:
    case RunEventKind::LineBack:
        begin(event);
        return;
    default:
        break;
    }
    if (!m_open) {
        return;
    }
    if (!m_failed) {
        runlog::appendRow(m_pending, event, m_openedNs);
    }
    switch (event.kind) {
    case RunEventKind::Pressure:
    case RunEventKind::FlowSetpoint:
    case RunEventKind::PressureLimit:
        // Replies come up to a hundred times a second: they wait for the timer.
        if (!m_flushTimer.isActive()) {
            m_flushTimer.start();
        }
        break;
    case RunEventKind::LineLost:
    case RunEventKind::LineClosed:
        end();
        break;
    default:
        flush(true);
        break;
    }
}

void RunLog::begin(const RunEvent &event)
{
    end();
    ++m_connection;
    m_open = true;
    m_failed = false;
    m_openedNs = event.time.steadyNs;
    QMetaObject::invokeMethod(
        m_writer,
        [writer = m_writer, connection = m_connection, folder = m_options.folder,
         base = runlog::fileBaseName(event.time)] { writer->begin(connection, folder, base); });
    runlog::appendRow(m_pending, event, m_openedNs);
    flush(true);
}

void RunLog::end()
{
    if (!m_open) {
        return;
    }
    flush(true);
    m_open = false;
    QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->end(); });
}

void RunLog::flush(bool toDisk)
{
    m_flushTimer.stop();
    if (m_pending.isEmpty()) {
        return;
    }
    const qsizetype size = m_pending.size();
    QMetaObject::invokeMethod(m_writer, [writer = m_writer, rows = std::exchange(m_pending, {}),
                                         toDisk] { writer->write(rows, toDisk); });
    // The next batch will be about as large: one allocation rather than a string of growths.
    m_pending.reserve(size);
}

void RunLog::waitForWriter()
{
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}

void RunLog::onWriterFailed(quint64 connection, const QString &path, const QString &reason)
{
    if (connection == m_connection) {
        m_failed = true;
        m_pending.clear();
        m_flushTimer.stop();
    }
    Q_EMIT failed(path, reason);
    if (m_failureTold) {
        return;
    }
    m_failureTold = true;
    m_boxes.notify(u"运行记录无法写入 %1：%2。\r\n"
                   "本次连接不再写运行记录；压力照常显示，并记录在内存中，"
                   "可用“文件”菜单中的“保存”存储。\r\n"
                   "下次连接时将重新尝试写运行记录。"_s.arg(path, reason),
                   u"运行记录"_s);
}
