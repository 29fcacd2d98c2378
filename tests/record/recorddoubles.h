#pragma once
// Just enough of the console's outside world to build a ConsoleCore for the file commands: a
// port that stays closed, a timer that never ticks, and message boxes that log what they were
// shown and can look at the disk at the moment a box appears.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/ticktimer.h"
#include "link/pumpport.h"

#include <functional>
#include <QString>
#include <vector>

class ClosedPort final : public PumpPort
{
public:
    PortStatus setCommPort(const QString &device) override
    {
        m_device = device;
        return PortStatus::success();
    }
    QString commPort() const override { return m_device; }
    PortStatus setPortOpen(bool) override { return PortStatus::failure(PortError::NoSuchPort); }
    bool portOpen() const override { return false; }
    PortStatus setSettings(const QString &) override
    {
        return PortStatus::failure(PortError::NotOpen);
    }
    void setInputLen(int) override {}
    void setRThreshold(int) override {}
    PortStatus output(const QByteArray &) override
    {
        return PortStatus::failure(PortError::NotOpen);
    }
    QByteArray input() override { return {}; }
    int commEvent() const override { return 0; }

private:
    QString m_device;
};

class IdleTimer final : public TickTimer
{
public:
    void setInterval(int milliseconds) override { m_interval = milliseconds; }
    int interval() const override { return m_interval; }
    void start() override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

private:
    int m_interval = 0;
    bool m_active = false;
};

struct ShownBox
{
    QString prompt;
    int style;
    QString title;
};

class LoggingDialogs final : public Dialogs
{
public:
    std::vector<ShownBox> boxes;
    std::vector<ShownBox> notes;
    int inputBoxes = 0;
    // Runs while the box is "open", before MsgBox returns.
    std::function<void(const ShownBox &)> onMsgBox;

    std::optional<QString> InputBox(const QString &, const QString &, const QString &) override
    {
        ++inputBoxes;
        return std::nullopt;
    }
    void MsgBox(const QString &prompt, int style, const QString &title) override
    {
        boxes.push_back({prompt, style, title});
        if (onMsgBox) {
            onMsgBox(boxes.back());
        }
    }
    void notify(const QString &prompt, const QString &title) override
    {
        notes.push_back({prompt, 0, title});
    }
};

// A ConsoleCore with its doubles, as the file commands see it.
struct CoreFixture
{
    ClosedPort port;
    LoggingDialogs dialogs;
    IdleTimer timer;
    ConsoleCore core{port, dialogs, timer};
};
