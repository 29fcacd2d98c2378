#pragma once
// A file with one line per frame the pump received or sent, stamped with both clocks:
// "<monotonic ns> <utc ms> RX|TX FRAME". The monotonic time is CLOCK_MONOTONIC, which is
// std::chrono::steady_clock on Linux, so a test or benchmark in another process can set the
// pump's times against its own; the UTC time is for a person lining the file up with other logs.

#include <QByteArrayView>
#include <QString>

class FrameLog
{
public:
    FrameLog() = default;
    FrameLog(const FrameLog &) = delete;
    FrameLog &operator=(const FrameLog &) = delete;
    ~FrameLog();

    // Opens `path` for appending, creating it if need be.
    [[nodiscard]] bool open(const QString &path, QString *error);
    bool isOpen() const { return m_fd >= 0; }

    void received(QByteArrayView frame) { add("RX", frame); }
    void sent(QByteArrayView frame) { add("TX", frame); }

private:
    void add(const char *direction, QByteArrayView frame);

    int m_fd = -1;
    bool m_failed = false;
};
