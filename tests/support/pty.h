#pragma once
// A pseudo-terminal for tests of the real serial layer, so that no real serial device is ever
// touched. The test plays the pump on the master side and holds the slave open itself, so that
// the port under test closing its end never hangs up the line.

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair() : m_master(posix_openpt(O_RDWR | O_NOCTTY))
    {
        const char *name = m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0
                               ? ptsname(m_master)
                               : nullptr;
        if (name) {
            m_slaveName = QString::fromLocal8Bit(name);
            m_slave = ::open(name, O_RDWR | O_NOCTTY);
        }
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;
    ~PtyPair()
    {
        hangUp();
        if (m_slave >= 0) {
            ::close(m_slave);
        }
    }

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString slaveName() const { return m_slaveName; }

    // The pump sends.
    bool send(QByteArrayView bytes)
    {
        return ::write(m_master, bytes.data(), size_t(bytes.size())) == bytes.size();
    }
    // What the console sent: `count` bytes, or what came within `ms`.
    QByteArray receive(qsizetype count, int ms = 2000)
    {
        QByteArray bytes;
        char buffer[256];
        pollfd fd{m_master, POLLIN, 0};
        for (QDeadlineTimer deadline(ms); bytes.size() < count && !deadline.hasExpired();) {
            if (poll(&fd, 1, int(deadline.remainingTime())) > 0) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                bytes.append(buffer, qMax<ssize_t>(n, 0));
            }
        }
        return bytes;
    }
    // The cable is pulled: the console's side of the line hangs up.
    void hangUp()
    {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    int m_master;
    int m_slave = -1;
    QString m_slaveName;
};
