#pragma once
// Doubles for the core's outside world: a port that records what was written and can be fed
// received bytes, boxes that answer from a script and log what they were shown, and a timer
// that ticks only when told.

#include "control/consolecore.h"
#include "control/dialogs.h"
#include "control/ticktimer.h"
#include "link/pumpport.h"

#include <deque>
#include <functional>
#include <optional>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <vector>

class RecordingPort final : public PumpPort
{
public:
    // What the next operations answer; a test sets them before acting.
    PortStatus openResult = PortStatus::success();
    PortStatus settingsResult = PortStatus::success();
    bool failWrites = false; // an open port whose device refuses writes
    // A device that takes frames although the port was never opened, for tests of what the
    // console sends rather than of the connection.
    bool writesWhileClosed = false;

    std::vector<QByteArray> written;
    QStringList calls; // "CommPort=…", "PortOpen=1", "Settings=…", "InputLen=0", "RThreshold=9"
    QString device;
    bool open = false;
    int inputLen = -1;
    int rThreshold = -1;
    int event = comEvReceive;
    QByteArray received;

    PortStatus setCommPort(const QString &name) override
    {
        calls << QStringLiteral("CommPort=") + name;
        if (open) {
            return PortStatus::failure(PortError::AlreadyOpen);
        }
        device = name;
        return PortStatus::success();
    }
    QString commPort() const override { return device; }
    PortStatus setPortOpen(bool wanted) override
    {
        calls << QStringLiteral("PortOpen=%1").arg(int(wanted));
        if (wanted && !open && !openResult.ok()) {
            return openResult;
        }
        open = wanted;
        return PortStatus::success();
    }
    bool portOpen() const override { return open; }
    PortStatus setSettings(const QString &settings) override
    {
        calls << QStringLiteral("Settings=") + settings;
        if (!open) {
            return PortStatus::failure(PortError::NotOpen);
        }
        return settingsResult;
    }
    void setInputLen(int length) override
    {
        calls << QStringLiteral("InputLen=%1").arg(length);
        inputLen = length;
    }
    void setRThreshold(int count) override
    {
        calls << QStringLiteral("RThreshold=%1").arg(count);
        rThreshold = count;
    }
    PortStatus output(const QByteArray &frame) override
    {
        if (!open && !writesWhileClosed) {
            return PortStatus::failure(PortError::NotOpen);
        }
        if (failWrites) {
            return PortStatus::failure(PortError::WriteFailed, QStringLiteral("I/O error"));
        }
        written.push_back(frame);
        return PortStatus::success();
    }
    QByteArray input() override { return std::exchange(received, {}); }
    int commEvent() const override { return event; }

    // Bytes arrive on the line: the receive event reaches the core through the event loop,
    // exactly as from the real port.
    void receive(const QByteArray &bytes, int eventCode = comEvReceive)
    {
        received += bytes;
        event = eventCode;
        Q_EMIT OnComm();
        QCoreApplication::processEvents();
    }
    // The device goes away on its own.
    void lose(const QString &reason)
    {
        open = false;
        Q_EMIT connectionLost(reason);
        QCoreApplication::processEvents();
    }
};

class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "InputBox", "MsgBox", "notify"
        QString prompt;
        QString title;
        QString defaultText;
        int style = -1;
    };

    // Answers for the coming InputBoxes, in order; nullopt is Cancel. An unscripted InputBox
    // is a test error and answers Cancel.
    std::deque<std::optional<QString>> answers;
    std::vector<Shown> shown;
    // Runs while a box is "open", to act as the event loop would meanwhile.
    std::function<void()> whileOpen;

    std::optional<QString> InputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText) override
    {
        shown.push_back({QStringLiteral("InputBox"), prompt, title, defaultText});
        runWhileOpen();
        if (answers.empty()) {
            unscripted = true;
            return std::nullopt;
        }
        const bool cancel = !answers.front().has_value();
        const QString text = cancel ? QString() : *answers.front();
        answers.pop_front();
        if (cancel) {
            return std::nullopt;
        }
        return text;
    }
    void MsgBox(const QString &prompt, int style, const QString &title) override
    {
        shown.push_back({QStringLiteral("MsgBox"), prompt, title, {}, style});
        runWhileOpen();
    }
    void notify(const QString &prompt, const QString &title) override
    {
        shown.push_back({QStringLiteral("notify"), prompt, title, {}, -1});
    }

    std::vector<Shown> messages(const QString &kind = QStringLiteral("MsgBox")) const
    {
        std::vector<Shown> result;
        for (const auto &s : shown) {
            if (s.kind == kind) {
                result.push_back(s);
            }
        }
        return result;
    }

    bool unscripted = false;

private:
    void runWhileOpen()
    {
        if (whileOpen) {
            auto once = std::exchange(whileOpen, nullptr);
            once();
        }
    }
};

class ManualTimer final : public TickTimer
{
public:
    int intervalMs = 0;
    bool active = true; // as designed: enabled with interval 0 until start-up stops it
    int starts = 0;     // starts of a stopped timer (each begins a full interval)

    void setInterval(int milliseconds) override { intervalMs = milliseconds; }
    int interval() const override { return intervalMs; }
    void start() override
    {
        if (!active) {
            active = true;
            ++starts;
        }
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    // One interval passes: a tick only while enabled.
    void tick()
    {
        if (active) {
            Q_EMIT Timer();
        }
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            tick();
        }
    }
};

// A core wired to the doubles, loaded as at start-up.
struct Console
{
    RecordingPort port;
    ScriptedDialogs dialogs;
    ManualTimer timer;
    ConsoleCore core{port, dialogs, timer};

    Console() { core.Form_Load(); }

    // Opens the port as the operator does, answering the port box with "1".
    void connect()
    {
        dialogs.answers.push_back(QStringLiteral("1"));
        core.Communication_Click();
        port.written.clear();
        dialogs.shown.clear();
    }
    PanelState &s() { return core.state(); }
    QString caption(Label label) const { return core.caption(label); }
    QByteArray lastWritten() const
    {
        return port.written.empty() ? QByteArray() : port.written.back();
    }
};

// Runs the event loop until `condition` holds or `ms` have passed; returns the condition.
inline bool waitUntil(const std::function<bool()> &condition, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}
