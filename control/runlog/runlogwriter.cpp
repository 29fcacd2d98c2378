#include "control/runlog/runlogwriter.h"

#include "control/runlog/runlogformat.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#if defined(Q_OS_WIN)
#include <io.h>
#elif defined(Q_OS_UNIX)
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// More parts than any disk will hold of one connection: a bound on the search for a free name.
constexpr int maxParts = 100'000;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

RunLogWriter::RunLogWriter(qint64 maxFileBytes, QObject *parent)
    : QObject(parent), m_maxFileBytes(maxFileBytes), m_headerSize(runlog::header().size())
{
}

void RunLogWriter::begin(quint64 connection, const QString &folder, const QString &baseName)
{
    end();
    m_connection = connection;
    m_folder = folder;
    m_baseName = baseName;
    m_part = 0;
    m_broken = false;
    if (!QDir().mkpath(folder)) {
        fail(folder, u"无法创建该文件夹"_s);
        return;
    }
    openNextPart();
}

bool RunLogWriter::openNextPart()
{
    m_file.close();
    while (++m_part <= maxParts) {
        m_file.setFileName(QDir(m_folder).filePath(runlog::fileName(m_baseName, m_part)));
        // NewOnly: an older log of the same second (or from before the clock was set back)
        // is never overwritten, not even by a race with another console.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            break;
        }
        if (!QFileInfo::exists(m_file.fileName())) {
            fail(m_file.fileName(), u"无法创建文件（%1）"_s.arg(m_file.errorString()));
            return false;
        }
    }
    if (!m_file.isOpen()) {
        fail(m_folder, u"文件名已用尽"_s);
        return false;
    }
    m_size = 0;
    const QByteArray head = runlog::header();
    if (m_file.write(head) != head.size()) {
        fail(m_file.fileName(), u"写入失败（%1）"_s.arg(m_file.errorString()));
        return false;
    }
    m_size = head.size();
    sync();
    Q_EMIT fileStarted(m_file.fileName());
    return true;
}

void RunLogWriter::write(const QByteArray &rows, bool urgent)
{
    if (m_broken || rows.isEmpty()) {
        return;
    }
    // Rows never straddle two files: each part opens in a spreadsheet on its own.
    if (m_size + rows.size() > m_maxFileBytes && m_size > m_headerSize && !openNextPart()) {
        return;
    }
    if (m_file.write(rows) != rows.size()) {
        const QString why = m_file.errorString();
        // The part of the batch that did fit would end the file in half a row; cut it off so
        // that the file still reads to its end. (Shrinking a file needs no space.)
        (void)m_file.resize(m_size);
        const QStorageInfo disk(m_folder);
        const bool full = disk.isValid() && disk.bytesAvailable() < rows.size() + 65536;
        fail(m_file.fileName(), (full ? u"磁盘已满（%1）"_s : u"写入失败（%1）"_s).arg(why));
        return;
    }
    m_size += rows.size();
    // Every other half-second batch: what the timer hands over is on the disk within a second.
    if (urgent || m_sinceSync.hasExpired(900)) {
        sync();
    }
}

void RunLogWriter::end()
{
    if (m_file.isOpen()) {
        sync();
        m_file.close();
    }
    m_broken = true;
}

void RunLogWriter::sync()
{
    m_sinceSync.start();
#if defined(Q_OS_WIN)
    ::_commit(m_file.handle());
#elif defined(Q_OS_UNIX)
    ::fsync(m_file.handle());
#endif
}

void RunLogWriter::fail(const QString &path, const QString &reason)
{
    m_file.close();
    m_broken = true;
    Q_EMIT failed(m_connection, native(path), reason);
}
