#include "sim/framelog.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

qint64 nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

FrameLog::~FrameLog()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FrameLog::open(const QString &path, QString *error)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                  0644);
    if (m_fd < 0) {
        *error = QStringLiteral("cannot open the frame log %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    return true;
}

void FrameLog::add(const char *direction, QByteArrayView frame)
{
    if (m_fd < 0) {
        return;
    }
    // The time first, before the formatting costs anything.
    const qint64 monotonic = nanoseconds(CLOCK_MONOTONIC);
    const qint64 utcMs = nanoseconds(CLOCK_REALTIME) / 1'000'000;
    QByteArray line =
        QByteArray::number(monotonic) + ' ' + QByteArray::number(utcMs) + ' ' + direction + ' ';
    line.append(frame).append('\n');
    // One write a line and no buffer of ours: the reader on the other side sees each line as
    // soon as the frame has passed, and an O_APPEND write is never interleaved with another.
    if (::write(m_fd, line.constData(), size_t(line.size())) != line.size() && !m_failed) {
        m_failed = true;
        std::fprintf(stderr, "pumpsim: writing the frame log: %s\n", strerror(errno));
    }
}
